#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quilfen {

// Writes the image as a BMP file, under exactly the path's bytes (the
// system's own, which need not be valid UTF-8), through a temporary file in
// the same folder that replaces the target only once complete: a failed
// write (full disk, no permission, vanished folder) leaves an existing file
// exactly as it was and no temporary file behind.
//
// Only a regular file is ever replaced: a target that exists and is anything
// else (a folder, a device such as /dev/null, a named pipe, a socket) is
// refused before anything is written, and so is a file the user may not
// write (as cp refuses it), and a link that leads to no file. A target that
// is a link to a regular file stays a link; the file it leads to is
// replaced. The new file keeps the permission bits of the file it replaces
// and, when the program runs as root, its owner and group; a new file gets
// the usual ones (0666 less the umask).
//
// On failure returns false and, if error is given, the reason: the system's
// text for the error of the call that failed ("No space left on device",
// "File too large", "Permission denied"), or what kind of thing the target is.
bool writeBmpAtomically(const QImage& image, const QByteArray& nativePath, QString* error = nullptr);

// The same in two steps, for a caller that takes long to make the picture:
// open() makes the checks and creates the temporary file, so a target that
// cannot be written is known before the work starts; commit() writes the
// picture and replaces the target. The temporary file is removed when the
// object goes away uncommitted.
class AtomicImageFile {
public:
    AtomicImageFile() = default;
    ~AtomicImageFile();
    AtomicImageFile(const AtomicImageFile&) = delete;
    AtomicImageFile& operator=(const AtomicImageFile&) = delete;

    bool open(const QByteArray& nativePath, QString* error = nullptr);
    bool commit(const QImage& image, const char* format, QString* error = nullptr);

private:
    void discard();

    int m_fd = -1;
    bool m_registered = false;  // m_temporary is the one temporaryImageFile() names
    QByteArray m_temporary;
    QByteArray m_target;
};

// The temporary file an AtomicImageFile holds, or nullptr: for a signal
// handler that removes it before the program ends. Async-signal-safe. Only
// one file at a time is named; a program that writes one picture at a time
// (quilfen-cli, the window's save) always has it named.
const char* temporaryImageFile() noexcept;

// Writes the image in format ("BMP", "PNG") to an open descriptor, such as
// standard output; the reason on failure as above.
bool writeImage(const QImage& image, int fd, const char* format, QString* error = nullptr);

}  // namespace quilfen
