#pragma once

#include "engine/calc_condition.h"
#include "engine/grids.h"

namespace quilfen {

// Far corner of the square selection that starts at (startX, startY) and
// follows the pointer (x, y), in the picture's user units; the larger of the
// two distances is the side, and a zero distance extends towards larger values.
double SquareEndX(double startX, double startY, double x, double y);
double SquareEndY(double startX, double startY, double x, double y);

// Width of the picture in user units (2 × HalfSize).
inline constexpr double kSelectionPictureUnits = 2.0 * kHalfSize;

// The region that the square from (startX, startY) to (endX, endY), in user
// units of a picture showing `drawn`, selects: its centre and its side mapped
// onto the complex plane. Positions outside the picture are used as they are.
CalcCondition selectedRegion(const CalcCondition& drawn, double startX, double startY,
                             double endX, double endY);

}  // namespace quilfen
