#include "bench/grid_checksum.h"

#include "bench/benchmark_figures.h"

namespace quilfen {

namespace {

// 64-bit FNV-1a, fed values as little-endian bytes.
class Fnv1a {
public:
    void add(std::uint32_t value, int bytes)
    {
        for (int byte = 0; byte < bytes; ++byte) {
            m_hash ^= value & 0xFFU;
            m_hash *= kPrime;
            value >>= 8;
        }
    }
    std::uint64_t hash() const { return m_hash; }

private:
    static constexpr std::uint64_t kPrime = 0x100000001b3ULL;
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;  // the offset basis
};

}  // namespace

std::uint64_t gridChecksum(const IterGrid& grid, std::int32_t halfSize)
{
    Fnv1a hash;
    const std::int32_t last = 2 * halfSize;
    for (std::int32_t i = 0; i <= last; ++i) {
        const auto& column = grid[static_cast<std::size_t>(i)];
        for (std::int32_t j = 0; j <= last; ++j)
            hash.add(static_cast<std::uint32_t>(column[static_cast<std::size_t>(j)]), 4);
    }
    return hash.hash();
}

std::uint64_t paletteChecksum(const PaletteTable& table)
{
    Fnv1a hash;
    for (const auto& entry : table)
        for (const std::int16_t value : entry)
            hash.add(static_cast<std::uint16_t>(value), 2);
    return hash.hash();
}

bool benchmarkGridValid(const IterGrid& grid)
{
    return gridChecksum(grid, kBenchHalfSize) == kBenchmarkChecksum;
}

}  // namespace quilfen
