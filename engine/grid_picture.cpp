#include "grid_picture.h"

#include "mandel11.h"

namespace quilfen {

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
