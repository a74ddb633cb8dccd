#include "ui/calc_cond/range_preview.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>

namespace quilfen {

namespace {

// The preview shows -2 … 1.94 on both axes; everything is cut to this
// square, well outside it, so the cut ends never show.
constexpr double kMargin = 4.0;

// The value as a 32-bit float, or nothing when it has none.
std::optional<double> asSingle(double v)
{
    if (!(std::fabs(v) <= static_cast<double>(FLT_MAX)))
        return std::nullopt;
    return static_cast<double>(static_cast<float>(v));
}

// Cuts the segment to the margin square (Liang–Barsky); false if nothing is left.
bool clipSegment(double& x1, double& y1, double& x2, double& y2)
{
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 + kMargin, kMargin - x1, y1 + kMargin, kMargin - y1};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    x2 = x1 + t1 * dx;
    y2 = y1 + t1 * dy;
    x1 += t0 * dx;
    y1 += t0 * dy;
    return true;
}

}  // namespace

std::vector<PreviewFigure> rangePreviewFigures(double centreRe, double centreIm, double range)
{
    const std::optional<double> sxl = asSingle(centreRe - range * 0.5);
    const std::optional<double> sxh = asSingle(centreRe + range * 0.5);
    const std::optional<double> syl = asSingle(centreIm - range * 0.5);
    const std::optional<double> syh = asSingle(centreIm + range * 0.5);

    // Room for all seven figures from the start. Growing the vector one
    // figure at a time is just as correct, but GCC 14 at -O2 then follows an
    // impossible path through push_back (the next figure placed into the
    // full two-figure buffer instead of a new one) and warns of a write past
    // its end (-Wstringop-overflow).
    std::vector<PreviewFigure> figures;
    figures.reserve(7);
    figures.push_back({1, -2.0, 0.0, 2.0, 0.0, kAxisColour, false});
    figures.push_back({2, 0.0, -2.0, 0.0, 2.0, kAxisColour, false});

    // The outline: corners pulled in to the margin keep every visible edge
    // where it is, since the rectangle's sides are parallel to the axes.
    if (sxl && sxh && syl && syh) {
        auto pull = [](double v) { return std::clamp(v, -kMargin, kMargin); };
        figures.push_back({3, pull(*sxl), pull(*syl), pull(*sxh), pull(*syh), kOutlineColour, true});
    }

    auto cornerLine = [&](int number, double fromX, double fromY, std::optional<double> toX,
                          std::optional<double> toY) {
        if (!toX || !toY)
            return;
        PreviewFigure line{number, fromX, fromY, *toX, *toY, kCornerColour, false};
        if (clipSegment(line.x1, line.y1, line.x2, line.y2))
            figures.push_back(line);
    };
    cornerLine(4, -2.0, -2.0, sxl, syl);
    cornerLine(5, 2.0, -2.0, sxh, syl);
    cornerLine(6, -2.0, 2.0, sxl, syh);
    cornerLine(7, 2.0, 2.0, sxh, syh);
    return figures;
}

}  // namespace quilfen
