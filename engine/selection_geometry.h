#pragma once

namespace quilfen {

// Far corner of the square selection that starts at (startX, startY) and
// follows the pointer (x, y); the larger of the two distances is the side.
double SquareEndX(double startX, double startY, double x, double y);
double SquareEndY(double startX, double startY, double x, double y);

}  // namespace quilfen
