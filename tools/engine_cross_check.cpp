// Checks the production engine against the scalar reference on every
// instruction set the kernel was compiled for and this CPU (or emulator) runs,
// one forced after the other, with one and with two threads. Plain C++ so that
// it also builds for machines without a desktop, a cross build included:
//
//   quilfen-engine-cross-check [--seed N] [--regions N] [--no-stored]
//   quilfen-engine-cross-check --reference-checksums
//
// Prints the seed, then one line per instruction set with the regions checked;
// exits 1 on any difference (each one is printed), 2 on bad arguments. Each
// region is computed with the engine's full work and with its stopping of
// points that cycle; the stored high-limit pictures (storedRegions(), whose
// reference is a checksum) with the stopping only, the full work there taking
// minutes; --no-stored leaves them out. --reference-checksums computes those checksums afresh with the
// scalar reference (several minutes) and prints them as storedRegions() lists
// them.

#include "bench/grid_checksum.h"
#include "engine/escape_time.h"
#include "engine/escape_time_scalar.h"
#include "engine/escape_time_simd.h"
#include "tests/support/engine_regions.h"

#include <hwy/targets.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace quilfen;

namespace {

constexpr int kThreadCounts[] = {1, 2};

using Region = EngineRegion;

// Large limits get small grids so that an emulated run stays short.
constexpr RegionSizes kRandomSizes{20, 40};

// Where the program spends its time (the start-up and benchmark pictures),
// and deep zooms onto the edge of the set, where a count hangs on the last bit
// of every step: a fused multiply-add shows there first.
std::vector<Region> fixedRegions()
{
    return {{{-0.5, 0.0, 2.5}, kHalfSize, 500},
            {{-0.15, 0.8, 0.4}, kHalfSize, 500},
            {{-0.743643887037151, 0.131825904205330, 1e-13}, 40, 5000},
            {{-0.743643887037151, 0.131825904205330, 1e-11}, 40, 5000}};
}

// Points just right of c = 1/4 escape after roughly π/√ε iterations, so these
// small regions hold slow escapes (counts past 16 bits for the second) next to
// points that stay within the limit.
std::vector<Region> longLimitRegions()
{
    return {{{0.25 + 8e-9, 0.0, 8e-9}, 3, 32766}, {{0.25 + 2e-10, 0.0, 8e-10}, 3, 1000000}};
}

struct TargetTally {
    std::int64_t target = 0;
    int regions = 0;
    int mismatches = 0;
};

const char* workName(EngineWork work)
{
    return work == EngineWork::Full ? "full work" : "stopping cycles";
}

// The stored regions' reference checksums, computed with the scalar loop.
int printReferenceChecksums()
{
    auto grid = std::make_unique<IterGrid>();
    for (const StoredRegion& stored : storedRegions()) {
        const Region& r = stored.region;
        computeIterMapScalar(r.cond, r.halfSize, r.maxIter, *grid);
        std::printf("{\"%s\", {{%.17g, %.17g, %.17g}, %d, %d}, 0x%016llxULL},\n", stored.name,
                    r.cond.CentreRe, r.cond.CentreIm, r.cond.Range, r.halfSize, r.maxIter,
                    static_cast<unsigned long long>(gridChecksum(*grid, r.halfSize)));
    }
    return 0;
}

bool parseCount(const char* text, unsigned long long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv)
{
    // Line by line, so that a slow emulated run shows how far it got.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    unsigned long long seed = (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
    unsigned long long regionCount = 300;
    bool checkStored = true;
    for (int a = 1; a < argc; ++a) {
        const bool hasValue = a + 1 < argc;
        if (std::strcmp(argv[a], "--seed") == 0 && hasValue && parseCount(argv[a + 1], seed)) {
            ++a;
        } else if (std::strcmp(argv[a], "--no-stored") == 0) {
            checkStored = false;
        } else if (std::strcmp(argv[a], "--reference-checksums") == 0 && argc == 2) {
            return printReferenceChecksums();
        } else if (std::strcmp(argv[a], "--regions") == 0 && hasValue &&
                   parseCount(argv[a + 1], regionCount) && regionCount <= 100000) {
            ++a;
        } else {
            std::fprintf(stderr, "usage: %s [--seed N] [--regions N] [--no-stored]\n       %s --reference-checksums\n",
                         argv[0], argv[0]);
            return 2;
        }
    }
    std::printf("random regions from seed %llu (--seed %llu repeats them)\n", seed, seed);

    std::vector<TargetTally> tallies;
    for (const std::int64_t target : runnableTargets()) {
        // A forced target that does not run would test the same code twice.
        hwy::SetSupportedTargetsForTest(target);
        const std::string running = simdTargetName();
        if (running != hwy::TargetName(target)) {
            std::printf("FAIL: forcing %s runs %s\n", hwy::TargetName(target), running.c_str());
            return 1;
        }
        tallies.push_back({target, 0, 0});
    }
    hwy::SetSupportedTargetsForTest(0);
    if (tallies.empty()) {
        std::printf("FAIL: no instruction set of the kernel runs here\n");
        return 1;
    }

    std::mt19937_64 rng(seed);
    std::vector<Region> regions;
    for (unsigned long long n = 0; n < regionCount; ++n)
        regions.push_back(randomRegion(rng, kRandomSizes));
    for (const Region& r : fixedRegions())
        regions.push_back(r);
    for (const Region& r : longLimitRegions())
        regions.push_back(r);

    auto reference = std::make_unique<IterGrid>();
    auto fast = std::make_unique<IterGrid>();
    int escaped = 0;
    int stayed = 0;
    for (const Region& r : regions) {
        fillUntouched(*reference);
        computeIterMapScalar(r.cond, r.halfSize, r.maxIter, *reference);
        const std::int32_t centre =
            (*reference)[static_cast<std::size_t>(r.halfSize)][static_cast<std::size_t>(r.halfSize)];
        ++(centre == r.maxIter + 1 ? stayed : escaped);
        for (TargetTally& tally : tallies) {
            hwy::SetSupportedTargetsForTest(tally.target);
            bool same = true;
            for (const int threads : kThreadCounts)
                for (const EngineWork work : {EngineWork::Full, EngineWork::StopCycles}) {
                    setEngineThreads(threads);
                    fillUntouched(*fast);
                    computeIterMap(r.cond, r.halfSize, r.maxIter, *fast, work);
                    const std::string diff = firstDifference(*reference, *fast);
                    if (!diff.empty()) {
                        std::printf("MISMATCH on %s, %d thread(s), %s: %s: %s\n",
                                    hwy::TargetName(tally.target), threads, workName(work),
                                    describe(r).c_str(), diff.c_str());
                        same = false;
                    }
                }
            ++tally.regions;
            tally.mismatches += same ? 0 : 1;
        }
        hwy::SetSupportedTargetsForTest(0);
    }

    for (const StoredRegion& stored : storedRegions()) {
        if (!checkStored)
            break;
        const Region& r = stored.region;
        for (TargetTally& tally : tallies) {
            hwy::SetSupportedTargetsForTest(tally.target);
            bool same = true;
            for (const int threads : kThreadCounts) {
                setEngineThreads(threads);
                computeIterMap(r.cond, r.halfSize, r.maxIter, *fast, EngineWork::StopCycles);
                const std::uint64_t checksum = gridChecksum(*fast, r.halfSize);
                if (checksum != stored.checksum) {
                    std::printf("MISMATCH on %s, %d thread(s), %s: checksum %016llx, expected "
                                "%016llx\n",
                                hwy::TargetName(tally.target), threads, stored.name,
                                static_cast<unsigned long long>(checksum),
                                static_cast<unsigned long long>(stored.checksum));
                    same = false;
                }
            }
            ++tally.regions;
            tally.mismatches += same ? 0 : 1;
        }
        hwy::SetSupportedTargetsForTest(0);
    }

    int failures = 0;
    for (const TargetTally& tally : tallies) {
        std::printf("%-8s %d regions (threads 1 and 2, both kinds of work): %s\n", hwy::TargetName(tally.target),
                    tally.regions,
                    tally.mismatches == 0 ? "identical to the reference"
                                          : (std::to_string(tally.mismatches) + " differ").c_str());
        failures += tally.mismatches;
    }
    // A draw where every centre escaped (or none did) would leave one kind of
    // point untested.
    if (escaped == 0 || stayed == 0) {
        std::printf("FAIL: the regions' centres all %s\n", escaped == 0 ? "stayed" : "escaped");
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
