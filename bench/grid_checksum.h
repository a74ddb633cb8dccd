#pragma once

// A fingerprint of a computed count grid, so a benchmark figure is only
// reported for an engine that computed the right counts; and of a colour
// table, so a picture can name the colours it was drawn with.

#include "engine/grids.h"

#include <cstdint>

namespace quilfen {

// 64-bit FNV-1a over the counts grid[i][j] for 0 ≤ i, j ≤ 2·halfSize, column
// by column, each count as four little-endian bytes. Any changed, swapped or
// shifted count changes it.
std::uint64_t gridChecksum(const IterGrid& grid, std::int32_t halfSize);

// The checksum of the benchmark region's grid as the scalar reference
// computes it (see benchmark_figures.h for the region).
inline constexpr std::uint64_t kBenchmarkChecksum = 0x7e8bf63de1d35d9bULL;

// 64-bit FNV-1a over the table's entries in order, red, green, blue, each
// value as two little-endian bytes.
std::uint64_t paletteChecksum(const PaletteTable& table);

// Whether a grid computed for the benchmark region holds the right counts.
bool benchmarkGridValid(const IterGrid& grid);

}  // namespace quilfen
