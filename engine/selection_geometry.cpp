#include "engine/selection_geometry.h"

#include <cmath>

namespace quilfen {

namespace {

double squareSide(double dx, double dy)
{
    return std::fabs(dx) > std::fabs(dy) ? std::fabs(dx) : std::fabs(dy);
}

}  // namespace

double SquareEndX(double startX, double startY, double x, double y)
{
    const double dx = x - startX;
    const double side = squareSide(dx, y - startY);
    return dx < 0.0 ? startX - side : startX + side;
}

double SquareEndY(double startX, double startY, double x, double y)
{
    const double dy = y - startY;
    const double side = squareSide(x - startX, dy);
    return dy < 0.0 ? startY - side : startY + side;
}

CalcCondition selectedRegion(const CalcCondition& drawn, double startX, double startY,
                             double endX, double endY)
{
    // u and v: the square's centre as a fraction of the picture's width and
    // height, from the left and bottom edges.
    const double u = (startX + (endX - startX) * 0.5) / kSelectionPictureUnits;
    const double v = (startY + (endY - startY) * 0.5) / kSelectionPictureUnits;
    const double r = drawn.Range;
    CalcCondition region;
    region.CentreRe = (drawn.CentreRe - 0.5 * r) + u * r;
    region.CentreIm = (drawn.CentreIm - 0.5 * r) + v * r;
    region.Range = std::fabs(endX - startX) * r / kSelectionPictureUnits;
    return region;
}

}  // namespace quilfen
