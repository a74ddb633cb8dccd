#pragma once

// The region a rendered picture shows, kept in text entries of its PNG file,
// so that the picture can be made again, or larger, later.

#include "engine/calc_condition.h"

#include <QImage>

#include <cstdint>
#include <string>

namespace quilfen::cli {

// What a picture needs to be rendered again.
struct PictureRegion {
    CalcCondition cond;
    std::int32_t maxIter = 1;
    std::int32_t size = 1;             // pixels a side
    std::string palette;               // kDefaultPaletteEntry, or the palette file's absolute path
    std::uint64_t paletteChecksum = 0; // paletteChecksum() of the table drawn with
    std::string version;               // of the program that rendered it
};

// The palette entry of a picture drawn with the default palette beside the
// program (a palette given by name is kept with its whole path).
inline constexpr char kDefaultPaletteEntry[] = "default.qpl";

// Sets the region as the image's text entries (written as PNG text chunks).
void setRegionText(QImage& image, const PictureRegion& region);

// Reads the region from the text entries of the PNG file at path, each
// number as the option it stands for would be read, within the same limits.
// On failure returns false and the reason in error ("is not a PNG picture",
// "has no quilfen-range entry", ...), to follow the file's name.
bool readRegionText(const std::string& path, std::int32_t maxIterLimit, std::int32_t maxSize,
                    PictureRegion& region, std::string& error);

}  // namespace quilfen::cli
