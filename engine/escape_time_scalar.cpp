#include "engine/escape_time_scalar.h"

namespace quilfen {

GridFrame gridFrame(const CalcCondition& cond, std::int32_t spacings)
{
    GridFrame f;
    f.x0 = cond.CentreRe - cond.Range * 0.5;
    f.y0 = cond.CentreIm - cond.Range * 0.5;
    f.d = cond.Range / static_cast<double>(spacings);
    return f;
}

std::int32_t escapeCount(double cr, double ci, std::int32_t maxIter)
{
    double zr = 0.0;
    double zi = 0.0;
    for (std::int32_t k = 1; k <= maxIter; ++k) {
        const double zr2 = zr * zr;
        const double zi2 = zi * zi;
        zi = (zr + zr) * zi + ci;
        zr = (zr2 - zi2) + cr;
        // The squares of the new values are computed afresh here, as the
        // program always has; the fast engine reuses them as the next zr2, zi2.
        if (zr * zr + zi * zi > 10.0)
            return k;
    }
    return maxIter + 1;
}

void computeIterMapScalar(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                          IterGrid& grid)
{
    const std::int32_t last = 2 * halfSize;
    const GridFrame f = gridFrame(cond, last);
    for (std::int32_t i = 0; i <= last; ++i) {
        const double cr = static_cast<double>(i) * f.d + f.x0;
        auto& column = grid[static_cast<std::size_t>(i)];
        for (std::int32_t j = 0; j <= last; ++j) {
            const double ci = static_cast<double>(j) * f.d + f.y0;
            column[static_cast<std::size_t>(j)] = escapeCount(cr, ci, maxIter);
        }
    }
}

}  // namespace quilfen
