#pragma once

// What the conditions dialog draws over its preview of the whole set: the
// axes, the outline of the chosen square and the four lines from the corners
// of the whole picture to the corners of the square. Plain arithmetic, so it
// can be checked without a window.

#include "engine/picture_surface.h"

#include <vector>

namespace quilfen {

// One figure in the preview's user coordinates: a segment, or with box set
// the outline of the rectangle with corners (x1, y1) and (x2, y2).
struct PreviewFigure {
    int number = 0;  // 1 … 7, the figure's place in the drawing order
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    Colour colour = 0;
    bool box = false;
};

inline constexpr Colour kAxisColour = rgb(0, 0, 255);       // light blue
inline constexpr Colour kOutlineColour = rgb(255, 255, 0);  // light yellow
inline constexpr Colour kCornerColour = rgb(128, 128, 0);   // dark yellow

// Corner values reach the drawing as 32-bit floats. A figure with a corner
// that is not a number or lies beyond the float range is left out; the others
// are cut to a margin around the visible square, so that far corners keep
// their direction and never reach the drawing as huge pixel positions.
std::vector<PreviewFigure> rangePreviewFigures(double centreRe, double centreIm, double range);

}  // namespace quilfen
