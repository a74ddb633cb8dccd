// What the checks of the fast engine against the scalar reference share: grids
// marked untouched, regions drawn at random, the instruction sets to force, and
// a readable first difference. Plain C++ (no Qt), so that the engine checker in
// tools/ uses it in a cross build of the engine alone as well.

#pragma once

#include "engine/calc_condition.h"
#include "engine/escape_time_simd.h"
#include "engine/grids.h"

#include <hwy/targets.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace quilfen {

// Marks entries no computation should touch.
inline constexpr std::int32_t kUntouched = -777;

inline void fillUntouched(IterGrid& grid)
{
    for (auto& column : grid)
        column.fill(kUntouched);
}

inline std::unique_ptr<IterGrid> untouchedGrid()
{
    auto grid = std::make_unique<IterGrid>();
    fillUntouched(*grid);
    return grid;
}

struct EngineRegion {
    CalcCondition cond;
    std::int32_t halfSize = 0;
    std::int32_t maxIter = 1;
};

// How large the grids of random regions get: small for large limits, so that
// a whole run stays short.
struct RegionSizes {
    int largeLimitHalfSize;   // most for limits 1001 … 5000
    int smallLimitHalfSize;   // most for limits 1 … 1000
    int fullGridPercent = 0;  // chance of the full grid when the limit is at most 200
};

// Centres over the whole set and around it, ranges from 1e-13 to 5 (some
// negative, some zero), limits mostly up to 1000 and some to 5000.
inline EngineRegion randomRegion(std::mt19937_64& rng, const RegionSizes& sizes)
{
    std::uniform_real_distribution<double> re(-2.5, 1.5);
    std::uniform_real_distribution<double> im(-1.5, 1.5);
    std::uniform_real_distribution<double> logRange(std::log(1e-13), std::log(5.0));
    std::uniform_int_distribution<int> percent(0, 99);
    EngineRegion r;
    r.cond.CentreRe = re(rng);
    r.cond.CentreIm = im(rng);
    const int kind = percent(rng);
    if (kind < 5)
        r.cond.Range = 0.0;
    else if (kind < 8)
        r.cond.Range = kind % 2 == 0 ? 1e-13 : 5.0;
    else
        r.cond.Range = std::exp(logRange(rng)) * (kind < 20 ? -1.0 : 1.0);
    if (percent(rng) < 15) {
        r.maxIter = std::uniform_int_distribution<int>(1001, 5000)(rng);
        r.halfSize = std::uniform_int_distribution<int>(0, sizes.largeLimitHalfSize)(rng);
    } else {
        r.maxIter = std::uniform_int_distribution<int>(1, 1000)(rng);
        const bool fullGrid =
            r.maxIter <= 200 && sizes.fullGridPercent > 0 && percent(rng) < sizes.fullGridPercent;
        r.halfSize = fullGrid ? 200 : std::uniform_int_distribution<int>(0, sizes.smallLimitHalfSize)(rng);
    }
    return r;
}

inline std::string describe(const EngineRegion& r)
{
    char text[160];
    std::snprintf(text, sizeof text, "centre %.17g %.17g range %.17g halfSize %d maxIter %d",
                  r.cond.CentreRe, r.cond.CentreIm, r.cond.Range, r.halfSize, r.maxIter);
    return text;
}

// Whole pictures at high limits, with many points that never escape and some
// that escape late, whose reference grids are too slow to compute on every
// run (about five minutes of the scalar loop in all): their checksums (gridChecksum) were
// computed once with computeIterMapScalar by
//   quilfen-engine-cross-check --reference-checksums
// which prints these lines afresh.
struct StoredRegion {
    const char* name;
    EngineRegion region;
    std::uint64_t checksum;
};

inline const std::vector<StoredRegion>& storedRegions()
{
    static const std::vector<StoredRegion> regions = {
        {"start-up view, limit 1000000", {{-0.5, 0.0, 2.5}, 200, 1000000}, 0x3f48bc69dc976158ULL},
        {"cardioid meets period-2 bulb, limit 100000", {{-0.75, 0.1, 0.05}, 200, 100000}, 0x5f9f9300f6640f50ULL},
        {"beside the cusp, limit 100000", {{0.282, 0.01, 0.01}, 200, 100000}, 0x21a31d421620bb62ULL},
        {"beside the cusp, limit 1000000", {{0.282, 0.01, 0.01}, 200, 1000000}, 0x94550e2bbc87bc5cULL},
    };
    return regions;
}

// Empty when equal (untouched entries included), else the first difference.
inline std::string firstDifference(const IterGrid& expected, const IterGrid& actual)
{
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (std::size_t j = 0; j < expected[i].size(); ++j)
            if (expected[i][j] != actual[i][j]) {
                char text[96];
                std::snprintf(text, sizeof text, "(%zu, %zu): expected %d, got %d", i, j, expected[i][j],
                              actual[i][j]);
                return text;
            }
    return {};
}

// Instruction sets compiled into the kernel that this CPU runs, best first.
inline std::vector<std::int64_t> runnableTargets()
{
    hwy::SetSupportedTargetsForTest(0);
    std::vector<std::int64_t> targets;
    const std::int64_t bits = simdCompiledTargets() & hwy::SupportedTargets();
    for (std::int64_t rest = bits; rest != 0; rest &= rest - 1)
        targets.push_back(rest & -rest);
    return targets;
}

}  // namespace quilfen
