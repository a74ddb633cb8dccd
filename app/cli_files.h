#pragma once

// The files of quilfen-cli render: where the picture goes and in which
// format, its temporary file when a signal ends the program, and why a
// palette could not be used.

#include "palette/palette_reader.h"
#include "platform/image/bmp_writer.h"

#include <string>

class QImage;
class QString;

namespace quilfen::cli {

class Options;

// Where the picture goes, from --out and --format: a name ending in .bmp or
// .png (in any letter case) says the format, --format bmp|png writes that
// format under any name, and "-" is standard output (BMP unless --format
// says otherwise). A bad or empty name or format throws UsageError.
class PictureDestination {
public:
    explicit PictureDestination(const Options& options);

    // Checks the destination and starts the file, before the picture is
    // made; on failure says why on stderr and returns false.
    bool open();
    // Writes the picture; on failure says why on stderr and returns false.
    bool write(const QImage& picture);

private:
    // Says on stderr why the picture cannot be written; returns false.
    bool failed(const QString& why) const;

    std::string m_path;  // as given; "-" for standard output
    const char* m_format = "BMP";
    AtomicImageFile m_file;
};

// Makes SIGTERM, SIGINT and SIGHUP remove the temporary file of a picture
// being written, then end the program as they would have (status 128 + N).
// A signal that was ignored when the program started stays ignored.
void removeTemporaryFileOnSignals();

// Why a palette could not be used, to follow its name: "is empty, not a
// palette file".
std::string paletteProblem(const PaletteReadDetail& detail);

}  // namespace quilfen::cli
