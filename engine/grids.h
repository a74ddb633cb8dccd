#pragma once

#include <array>
#include <cstdint>

namespace quilfen {

// HalfSize of every picture the program shows: 401 × 401 points on 400 ×
// 400 pixels.
inline constexpr int kHalfSize = 200;

// Largest HalfSize the grid can hold: (2 * 250 + 1) points per side.
inline constexpr int kMaxHalfSize = 250;
inline constexpr int kGridSide = 2 * kMaxHalfSize + 1;

// Escape-time counts indexed [i][j]: i along the real axis, j along the
// imaginary axis, so one column (fixed i) is contiguous. The counts are
// 32-bit so that iteration limits beyond 32766 follow the same rules.
using IterGrid = std::array<std::array<std::int32_t, kGridSide>, kGridSide>;

inline constexpr int kPaletteEntries = 1025;

// Colour table: entry k (0 … 1024) holds red, green, blue as 16-bit signed values.
using PaletteTable = std::array<std::array<std::int16_t, 3>, kPaletteEntries>;

}  // namespace quilfen
