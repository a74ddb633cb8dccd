#include "bench/grid_checksum.h"

#include "bench/benchmark_figures.h"

namespace quilfen {

std::uint64_t gridChecksum(const IterGrid& grid, std::int32_t halfSize)
{
    constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
    constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t hash = kOffsetBasis;
    const std::int32_t last = 2 * halfSize;
    for (std::int32_t i = 0; i <= last; ++i) {
        const auto& column = grid[static_cast<std::size_t>(i)];
        for (std::int32_t j = 0; j <= last; ++j) {
            auto value = static_cast<std::uint32_t>(column[static_cast<std::size_t>(j)]);
            for (int byte = 0; byte < 4; ++byte) {
                hash ^= value & 0xFFU;
                hash *= kPrime;
                value >>= 8;
            }
        }
    }
    return hash;
}

bool benchmarkGridValid(const IterGrid& grid)
{
    return gridChecksum(grid, kBenchHalfSize) == kBenchmarkChecksum;
}

}  // namespace quilfen
