#pragma once

// How a grid of counts lands on a picture: the one mapping from grid points
// to pixels that the main window, quilfen-cli render and the preview picture
// share.

#include "engine/grids.h"
#include "engine/picture_surface.h"

#include <cstdint>

namespace quilfen {

// Sets the user scale of a drawing area `pixels` wide and high so that grid
// point (i, j) of a grid whose rows run 0 … lastRow sits at user position
// (i, j), which is pixel column i, row lastRow − j: one user unit a pixel, up
// is +j. With pixels = lastRow = 2N this is Scale(0, 2N, 2N, 0), and the
// column i = 2N and the row j = 0 fall just outside the picture.
void scaleToGrid(PictureSurface& picture, std::int32_t lastRow, std::int32_t pixels);

// Paints column i of a grid (counts[0 … lastRow]) through the palette, one
// PSet per point at user position (i, j), judging each count against maxIter.
void drawGridColumn(PictureSurface& picture, std::int32_t i, const std::int32_t* counts,
                    std::int32_t lastRow, std::int32_t maxIter, const PaletteTable& table);

}  // namespace quilfen
