#pragma once

#include "engine/calc_condition.h"
#include "engine/escape_time_scalar.h"
#include "engine/grids.h"

#include <cstddef>
#include <cstdint>

namespace quilfen {

// How much of the iteration the engine may skip. The counts are the same either way.
enum class EngineWork {
    // Every iteration of every point up to its escape or the limit: the work
    // the benchmark times.
    Full,
    // A point whose iterate comes back exactly to an earlier value never
    // escapes, so it stops there with the count limit + 1: for drawing.
    StopCycles,
};

// The production engine: fills grid[i][j] for 0 ≤ i, j ≤ 2·halfSize with the
// same counts as computeIterMapScalar, on every core with the widest vectors
// the CPU has. Returns when the whole grid is written; processes no events.
// Points beyond the grid (a halfSize above kMaxHalfSize) are not computed.
void computeIterMap(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                    IterGrid& grid, EngineWork work = EngineWork::StopCycles);

// The same engine on any number of columns and rows: writes the counts of
// columns firstColumn … firstColumn + columns − 1 of the frame, rows 0 …
// lastRow, column i's from counts + (i − firstColumn)·columnStride on. Lets a
// picture of any size be computed a strip of columns at a time.
void computeColumns(const GridFrame& frame, std::int32_t firstColumn, std::int32_t columns,
                    std::int32_t lastRow, std::int32_t maxIter, std::int32_t* counts,
                    std::ptrdiff_t columnStride, EngineWork work = EngineWork::StopCycles);

// Sets how many threads computeIterMap uses, the calling thread included;
// 0 or less means one per hardware thread. Returns the number it will use.
int setEngineThreads(int threads);

// Number of threads computeIterMap uses.
int engineThreads();

}  // namespace quilfen
