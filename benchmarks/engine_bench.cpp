// Speed of the escape-time engines, measured side by side in one run: the
// scalar reference and the fast engine on one thread and on every thread, for
// three regions, and the benchmark region on one thread with each other
// instruction set the CPU runs; the cost of a call that does almost no work;
// DrawMandel's own work per point; and views for exploring, on every thread,
// with the full work (what the engine did before it stopped points that
// cycle, and what the benchmark still does) and with the stopping of cycles.
// Ends with the ratios and whether they meet the targets.
//
// Repetitions are interleaved at random and each figure is the best of its
// repetitions, so that other load on the machine skews the ratios least.
// --require-targets makes a missed target an exit status of 2; a fast grid
// that differs from the reference is always an exit status of 1.

#include "bench/benchmark_figures.h"
#include "benchmarks/bench_support.h"
#include "engine/escape_time.h"
#include "engine/escape_time_scalar.h"
#include "engine/escape_time_simd.h"
#include "engine/mandel11.h"

#include <benchmark/benchmark.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace quilfen;

namespace {

constexpr int kRepetitions = 5;
constexpr double kMinSeconds = 0.2;

struct Region {
    const char* name;
    CalcCondition cond;
    std::int32_t maxIter;
};

const Region kRegions[] = {
    {"benchmark", kBenchCondition, kBenchMaxIter},
    {"start-up", {-0.5, 0.0, 2.5}, 500},
    // The seahorse valley's double spiral: counts from about 200 to 5000.
    {"deep", {-0.743643887037151, 0.131825904205330, 1e-4}, 5000},
};

// Views for exploring: interior points at high limits, where stopping cycles
// pays, and views where no point cycles, where it must cost next to nothing.
struct ExploreRegion {
    const char* name;
    CalcCondition cond;
    std::int32_t maxIter;
    double minSpeedUp;  // full work / stopping cycles must reach this
};

const ExploreRegion kExploreRegions[] = {
    {"start-up@1e6", {-0.5, 0.0, 2.5}, 1000000, 50.0},
    {"bulbs@1e5", {-0.75, 0.1, 0.05}, 100000, 1.0},
    {"cusp@1e5", {0.282, 0.01, 0.01}, 100000, 1.0},
    {"outside@500", {2.5, 2.0, 1.0}, 500, 1.0 / 1.05},
    {"spiral@500", {-0.743643887037151, 0.131825904205330, 1e-4}, 500, 1.0 / 1.05},
    {"benchmark", {-0.15, 0.8, 0.4}, 500, 0.0},
};

std::string exploreName(const ExploreRegion& r, EngineWork work)
{
    return std::string("explore/") + r.name + (work == EngineWork::Full ? "/full" : "/stop-cycles");
}

// A call with a limit of 1: almost all of its time is the call itself.
const Region kCallRegion = {"limit-1", {-0.15, 0.8, 0.4}, 1};

enum class Engine { Scalar, OneThread, AllThreads };

const char* engineName(Engine e)
{
    switch (e) {
    case Engine::Scalar:
        return "scalar";
    case Engine::OneThread:
        return "fast-1";
    case Engine::AllThreads:
        return "fast-all";
    }
    return "";
}

std::string benchName(const Region& r, Engine e)
{
    return std::string(r.name) + "/" + engineName(e);
}

IterGrid& sharedGrid()
{
    static const auto grid = std::make_unique<IterGrid>();
    return *grid;
}

void compute(const Region& r, Engine e, IterGrid& grid)
{
    if (e == Engine::Scalar) {
        computeIterMapScalar(r.cond, kHalfSize, r.maxIter, grid);
        return;
    }
    setEngineThreads(e == Engine::OneThread ? 1 : 0);
    computeIterMap(r.cond, kHalfSize, r.maxIter, grid);
}

// Iterations the region needs: the sum of its counts, each capped at the limit.
std::int64_t iterationsOf(const IterGrid& grid, std::int32_t maxIter)
{
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i <= 2 * kHalfSize; ++i)
        for (std::int32_t j = 0; j <= 2 * kHalfSize; ++j)
            sum += std::min(grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], maxIter);
    return sum;
}

// Before anything is timed: the fast engine must give the reference's grid.
bool fastGridsMatch(const Region& r)
{
    auto reference = std::make_unique<IterGrid>();
    auto fast = std::make_unique<IterGrid>();
    compute(r, Engine::Scalar, *reference);
    for (Engine e : {Engine::OneThread, Engine::AllThreads}) {
        compute(r, e, *fast);
        if (std::memcmp(reference.get(), fast.get(), sizeof(IterGrid)) != 0) {
            std::fprintf(stderr, "FAILED: %s differs from the scalar reference\n",
                         benchName(r, e).c_str());
            return false;
        }
    }
    return true;
}

void runEngine(benchmark::State& state, const Region* r, Engine e, std::int64_t iterations)
{
    IterGrid& grid = sharedGrid();
    compute(*r, e, grid);  // sets the thread count
    for (auto _ : state) {
        if (e == Engine::Scalar)
            computeIterMapScalar(r->cond, kHalfSize, r->maxIter, grid);
        else
            computeIterMap(r->cond, kHalfSize, r->maxIter, grid);
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
    state.counters["iter/s"] = benchmark::Counter(
        static_cast<double>(iterations) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    if (e != Engine::Scalar)
        state.SetLabel(simdTargetName() + " x" + std::to_string(engineThreads()));
}

void runExplore(benchmark::State& state, const ExploreRegion* r, EngineWork work)
{
    IterGrid& grid = sharedGrid();
    setEngineThreads(0);
    for (auto _ : state) {
        computeIterMap(r->cond, kHalfSize, r->maxIter, grid, work);
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(simdTargetName() + " x" + std::to_string(engineThreads()));
}

// The benchmark region on one thread with an instruction set other than the
// best, forced for the run, so that a change shows its cost on every set.
void runForced(benchmark::State& state, std::int64_t target)
{
    const Region& r = kRegions[0];
    IterGrid& grid = sharedGrid();
    setEngineThreads(1);
    hwy::SetSupportedTargetsForTest(target);
    for (auto _ : state) {
        computeIterMap(r.cond, kHalfSize, r.maxIter, grid, EngineWork::Full);
        benchmark::DoNotOptimize(grid.data());
        benchmark::ClobberMemory();
    }
    hwy::SetSupportedTargetsForTest(0);
}

// Before anything is timed: both kinds of work give the same grid.
bool exploreGridsMatch(const ExploreRegion& r)
{
    auto full = std::make_unique<IterGrid>();
    auto stopping = std::make_unique<IterGrid>();
    setEngineThreads(0);
    computeIterMap(r.cond, kHalfSize, r.maxIter, *full, EngineWork::Full);
    computeIterMap(r.cond, kHalfSize, r.maxIter, *stopping, EngineWork::StopCycles);
    if (std::memcmp(full.get(), stopping.get(), sizeof(IterGrid)) != 0) {
        std::fprintf(stderr, "FAILED: explore/%s differs between the kinds of work\n", r.name);
        return false;
    }
    return true;
}

// A surface that only stores the pixels: what is left is DrawMandel's own work.
class ArraySurface : public PictureSurface {
public:
    void setLeft(int) override {}
    void setTop(int) override {}
    void setWidth(int) override {}
    void setHeight(int) override {}
    void Cls() override { std::fill(m_pixels.begin(), m_pixels.end(), Colour{0}); }
    void Scale(double, double, double, double) override {}
    void PSet(double x, double y, Colour colour) override
    {
        m_pixels[static_cast<std::size_t>(x) * kSide + static_cast<std::size_t>(y)] = colour;
    }
    void Line(double, double, double, double, Colour, bool) override {}
    void setDrawMode(DrawMode) override {}
    void Refresh() override {}
    const Colour* data() const { return m_pixels.data(); }

private:
    static constexpr std::size_t kSide = kGridSide;
    std::vector<Colour> m_pixels = std::vector<Colour>(kSide * kSide);
};

void runDraw(benchmark::State& state)
{
    resetEngineState();
    HalfSize = kHalfSize;
    CalcCond = kRegions[0].cond;
    MaxIter = kRegions[0].maxIter;
    for (int k = 0; k < kPaletteEntries; ++k)
        PalTable[static_cast<std::size_t>(k)] = {static_cast<std::int16_t>(k % 256),
                                                 static_cast<std::int16_t>((k * 7) % 300),
                                                 static_cast<std::int16_t>(1024 - k)};
    CalcMandel();
    ArraySurface surface;
    attachPicture(&surface, {});
    for (auto _ : state) {
        DrawMandel();
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
    attachPicture(nullptr, {});
    const double points = (2.0 * kHalfSize + 1) * (2.0 * kHalfSize + 1);
    state.counters["ns/point"] = benchmark::Counter(
        points * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Prints as usual and keeps each benchmark's best time in milliseconds.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> bestMs;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool best = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            if (runFailedOrSkipped(run) || !(single || best))
                continue;
            bestMs[run.run_name.function_name] =
                run.GetAdjustedRealTime() * millisecondsPer(run.time_unit);
        }
    }
};

struct Verdict {
    bool allMet = true;
    void check(bool met, const char* what, double value, const char* unit)
    {
        std::printf("  %-58s %8.2f%s  %s\n", what, value, unit, met ? "met" : "NOT MET");
        allMet = allMet && met;
    }
};

bool printRatios(const std::map<std::string, double>& ms)
{
    auto get = [&ms](const Region& r, Engine e) {
        const auto it = ms.find(benchName(r, e));
        return it == ms.end() ? 0.0 : it->second;
    };
    setEngineThreads(0);
    const int all = engineThreads();
    std::printf("\nBest of %d interleaved repetitions, real time; fast engine %s, all = %d threads\n",
                kRepetitions, simdTargetName().c_str(), all);
    std::printf("%-10s %10s %10s %10s %11s %11s %9s\n", "region", "scalar ms", "1 thr ms",
                "all ms", "1 thr/scal", "all/scal", "all/1 thr");
    Verdict v;
    for (const Region& r : kRegions) {
        const double s = get(r, Engine::Scalar);
        const double one = get(r, Engine::OneThread);
        const double every = get(r, Engine::AllThreads);
        if (s == 0.0 || one == 0.0 || every == 0.0)
            continue;  // filtered out on the command line
        std::printf("%-10s %10.3f %10.3f %10.3f %10.2fx %10.2fx %8.2fx\n", r.name, s, one, every,
                    s / one, s / every, one / every);
    }
    std::printf("\nTargets:\n");
    const Region& bench = kRegions[0];
    if (get(bench, Engine::Scalar) > 0.0 && get(bench, Engine::OneThread) > 0.0 &&
        get(bench, Engine::AllThreads) > 0.0) {
        v.check(get(bench, Engine::Scalar) / get(bench, Engine::OneThread) >= 8.0,
                "one thread >= 8x scalar (benchmark region)",
                get(bench, Engine::Scalar) / get(bench, Engine::OneThread), "x");
        v.check(get(bench, Engine::Scalar) / get(bench, Engine::AllThreads) >= 15.0,
                "all threads >= 15x scalar (benchmark region)",
                get(bench, Engine::Scalar) / get(bench, Engine::AllThreads), "x");
    }
    for (const Region& r : kRegions) {
        const double one = get(r, Engine::OneThread);
        const double every = get(r, Engine::AllThreads);
        if (one == 0.0 || every == 0.0 || all < 2)
            continue;
        const std::string what = std::string("all threads >= 1.8x one thread (") + r.name + ")";
        v.check(one / every >= 1.8, what.c_str(), one / every, "x");
    }
    const double call1 = get(kCallRegion, Engine::OneThread);
    const double callAll = get(kCallRegion, Engine::AllThreads);
    if (call1 > 0.0 && callAll > 0.0) {
        std::printf("  limit-1 call: one thread %.1f us, all threads %.1f us\n", call1 * 1e3,
                    callAll * 1e3);
        v.check(callAll <= call1, "limit-1 call on all threads no slower than on one",
                call1 / callAll, "x");
    }
    std::printf("\nExploring, all threads (%d): full work (as before) and stopping cycles\n", all);
    std::printf("%-14s %12s %12s %9s\n", "view", "full ms", "stop ms", "full/stop");
    for (const ExploreRegion& r : kExploreRegions) {
        const auto full = ms.find(exploreName(r, EngineWork::Full));
        const auto stop = ms.find(exploreName(r, EngineWork::StopCycles));
        if (full == ms.end() || stop == ms.end())
            continue;
        const double ratio = full->second / stop->second;
        std::printf("%-14s %12.3f %12.3f %8.2fx\n", r.name, full->second, stop->second, ratio);
        if (r.minSpeedUp > 0.0) {
            const std::string what = std::string("stopping cycles, ") + r.name +
                                     (r.minSpeedUp >= 1.0 ? ": full / stop >= " : ": stop / full <= ") +
                                     std::to_string(r.minSpeedUp >= 1.0 ? r.minSpeedUp : 1.0 / r.minSpeedUp);
            v.check(ratio >= r.minSpeedUp, what.c_str(), ratio, "x");
        }
    }
    const auto draw = ms.find("draw/per-point");
    if (draw != ms.end())
        v.check(draw->second < 1.0, "DrawMandel's own work for the full grid < 1 ms",
                draw->second, " ms");
    return v.allMet;
}

}  // namespace

int main(int argc, char** argv)
{
    bool requireTargets = false;
    std::vector<char*> args;
    for (int k = 0; k < argc; ++k) {
        if (std::strcmp(argv[k], "--require-targets") == 0)
            requireTargets = true;
        else
            args.push_back(argv[k]);
    }
    if (!initialiseInterleaved(args))
        return 1;

    bool exact = true;
    for (const Region& r : kRegions)
        exact = fastGridsMatch(r) && exact;
    exact = fastGridsMatch(kCallRegion) && exact;
    for (const ExploreRegion& r : kExploreRegions)
        exact = exploreGridsMatch(r) && exact;
    if (!exact)
        return 1;

    auto setUp = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(kMinSeconds)
            ->Repetitions(kRepetitions)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", [](const std::vector<double>& v) {
                return *std::min_element(v.begin(), v.end());
            });
    };
    auto add = [&](const Region& r, Engine e) {
        auto scratch = std::make_unique<IterGrid>();
        compute(r, e, *scratch);
        const std::int64_t iterations = iterationsOf(*scratch, r.maxIter);
        setUp(benchmark::RegisterBenchmark(benchName(r, e).c_str(), runEngine, &r, e, iterations));
    };
    for (const Region& r : kRegions)
        for (Engine e : {Engine::Scalar, Engine::OneThread, Engine::AllThreads})
            add(r, e);
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        if (target == hwy::SupportedAndGeneratedTargets().front())
            continue;  // the best set: benchmark/fast-1
        const std::string name =
            benchName(kRegions[0], Engine::OneThread) + "/" + hwy::TargetName(target);
        setUp(benchmark::RegisterBenchmark(name.c_str(), runForced, target));
    }
    add(kCallRegion, Engine::OneThread);
    add(kCallRegion, Engine::AllThreads);
    setUp(benchmark::RegisterBenchmark("draw/per-point", runDraw));
    for (const ExploreRegion& r : kExploreRegions)
        for (EngineWork work : {EngineWork::Full, EngineWork::StopCycles}) {
            auto* b = benchmark::RegisterBenchmark(exploreName(r, work).c_str(), runExplore, &r, work);
            setUp(b);
            // The full work at the highest limit takes seconds a run: fewer repetitions.
            if (r.maxIter >= 1000000 && work == EngineWork::Full)
                b->Repetitions(2)->MinTime(0.01);
        }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    setEngineThreads(0);

    const bool met = printRatios(reporter.bestMs);
    return requireTargets && !met ? 2 : 0;
}
