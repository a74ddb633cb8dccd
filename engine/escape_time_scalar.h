#pragma once

#include "engine/calc_condition.h"
#include "engine/grids.h"

#include <cstdint>

namespace quilfen {

// Left edge, bottom edge and spacing of the grid for a region whose width is
// `spacings` spacings (2·HalfSize for the window's grid of 2·HalfSize + 1 points).
struct GridFrame {
    double x0;  // real part of column 0
    double y0;  // imaginary part of row 0
    double d;   // spacing between neighbouring points
};

GridFrame gridFrame(const CalcCondition& cond, std::int32_t spacings);

// Escape-time count of c = cr + ci·i: the first iteration k (1 … maxIter)
// whose |z|² exceeds 10, or maxIter + 1 if none does.
std::int32_t escapeCount(double cr, double ci, std::int32_t maxIter);

// The plain reference: fills grid[i][j] for 0 ≤ i, j ≤ 2·halfSize one point
// at a time. Every faster engine must agree with it bit for bit.
void computeIterMapScalar(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                          IterGrid& grid);

}  // namespace quilfen
