#pragma once

#include "calc_condition.h"
#include "grids.h"

#include <cstdint>

namespace quilfen {

// The production engine: fills grid[i][j] for 0 ≤ i, j ≤ 2·halfSize with the
// same counts as computeIterMapScalar, as fast as the machine allows.
void computeIterMap(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                    IterGrid& grid);

}  // namespace quilfen
