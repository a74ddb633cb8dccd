#pragma once

// The vectorised escape-time kernel. Compiled once per instruction set; each
// call runs the best set the CPU supports. No vector type crosses this header.

#include "engine/escape_time_scalar.h"
#include "engine/grids.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quilfen {

// One grid computation shared by several threads: each thread takes
// columnsPerGrab columns at a time from nextColumn until it passes lastColumn.
struct EscapeJob {
    GridFrame frame;                       // as gridFrame() gives it
    std::int32_t lastColumn = 0;           // columns 0 … lastColumn are computed
    std::int32_t lastRow = 0;              // rows 0 … lastRow of each column
    std::int32_t maxIter = 1;              // 1 or more
    std::int32_t columnsPerGrab = 1;       // 1 or more
    bool stopCycles = false;               // stop points whose state comes back exactly
    // Column i's counts start at counts + (i − firstColumn)·columnStride.
    std::int32_t* counts = nullptr;
    std::int32_t firstColumn = 0;
    std::ptrdiff_t columnStride = 0;
    std::atomic<std::int32_t>* nextColumn = nullptr;  // shared column counter
};

// Computes columns drawn from job.nextColumn until none is left, writing the
// same counts as computeIterMapScalar, with or without job.stopCycles. Safe to
// call from several threads at once on the same job.
void computeColumnsSimd(const EscapeJob& job);

// Name of the instruction set computeColumnsSimd runs with now ("AVX3", "AVX2",
// "SSE4", "NEON", "EMU128", …).
std::string simdTargetName();

// The instruction sets compiled into the kernel, as Highway target bits; the
// CPU may not run them all.
std::int64_t simdCompiledTargets();

}  // namespace quilfen
