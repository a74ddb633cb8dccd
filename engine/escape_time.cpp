#include "escape_time.h"

#include "escape_time_scalar.h"

namespace quilfen {

void computeIterMap(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                    IterGrid& grid)
{
    computeIterMapScalar(cond, halfSize, maxIter, grid);
}

}  // namespace quilfen
