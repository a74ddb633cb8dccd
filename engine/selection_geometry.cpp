#include "selection_geometry.h"

// Placeholder bodies until the zoom selection lands.
namespace quilfen {
double SquareEndX(double startX, double, double, double) { return startX; }
double SquareEndY(double, double startY, double, double) { return startY; }
}  // namespace quilfen
