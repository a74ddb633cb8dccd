#include "engine/grid_picture.h"

#include "engine/mandel11.h"

#include <algorithm>
#include <cstddef>

namespace quilfen {

// The colouring of a count is defined here, beside the column drawing that
// calls it once per point, so that it is inlined there.
int paletteIndex(std::int32_t m, std::int32_t maxIter)
{
    // Counts at or above the limit, and the 0 of a grid never computed, take entry 0.
    if (m >= maxIter || m <= 0)
        return 0;
    const double f = static_cast<double>(m) / static_cast<double>(maxIter);
    // The argument is at least 0.5 here, so truncation is the floor (and cheaper).
    return static_cast<int>(f * 1024.0 + 0.5);
}

Colour paletteColour(const PaletteTable& table, int k)
{
    const auto& entry = table[static_cast<std::size_t>(k)];
    auto clamp = [](std::int16_t c) { return std::clamp<int>(c, 0, 255); };
    return rgb(clamp(entry[0]), clamp(entry[1]), clamp(entry[2]));
}

void scaleToGrid(PictureSurface& picture, std::int32_t lastRow, std::int32_t pixels)
{
    picture.Scale(0.0, lastRow, pixels, lastRow - pixels);
}

void drawGridColumn(PictureSurface& picture, std::int32_t i, const std::int32_t* counts,
                    std::int32_t lastRow, std::int32_t maxIter, const PaletteTable& table)
{
    for (std::int32_t j = 0; j <= lastRow; ++j)
        picture.PSet(i, j, paletteColour(table, paletteIndex(counts[j], maxIter)));
}

}  // namespace quilfen
