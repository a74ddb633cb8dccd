// quilfen-cli bench: the benchmark computation timed with a steady clock,
// its figures worked out as the result dialog does, and the computed counts
// checked against the scalar reference's checksum.

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "bench/benchmark_figures.h"
#include "bench/grid_checksum.h"
#include "bench/instruction_set_name.h"
#include "engine/escape_time.h"
#include "engine/number_text.h"
#include "engine/worker_pool.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quilfen::cli {

namespace {

// Without --runs, enough timed computations to fill about this long.
constexpr double kDefaultBudgetSeconds = 2.0;
constexpr std::int64_t kMinDefaultRuns = 3;
constexpr std::int64_t kMaxRuns = 100'000;

struct BenchResult {
    std::string instructionSet;
    int threads = 0;
    std::vector<double> seconds;  // one per timed computation
    double median = 0.0;
    double best = 0.0;
    std::uint64_t checksum = 0;  // of the last grid whose checksum was wrong, else of the last grid
    bool valid = true;           // every computed grid, warm-up included, had the right counts
};

// One computation of the benchmark region; returns its seconds and checks its counts.
double timeOneComputation(IterGrid& grid, BenchResult& result)
{
    const auto start = std::chrono::steady_clock::now();
    // Every iteration, as the menu's benchmark times it.
    computeIterMap(kBenchCondition, kBenchHalfSize, kBenchMaxIter, grid, EngineWork::Full);
    const auto stop = std::chrono::steady_clock::now();
    const std::uint64_t checksum = gridChecksum(grid, kBenchHalfSize);
    if (result.valid || checksum != kBenchmarkChecksum)
        result.checksum = checksum;
    if (checksum != kBenchmarkChecksum)
        result.valid = false;
    return std::chrono::duration<double>(stop - start).count();
}

std::string hex64(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

// A number with a full stop as the point whatever the locale (printf's %f
// and %g take the locale's point): `decimals` places, or for
// std::chars_format::general that many significant digits.
std::string decimalText(double value, std::chars_format format, int decimals)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, format, decimals);
    return std::string(text, written.ptr);
}

// The shortest text that reads back as value, with a full stop as the point.
std::string shortestText(double value)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

std::string mflopsOf(double seconds)
{
    return seconds > 0.0 ? formatNumber(mflopsFigure(seconds), "###0") : kNoFigure;
}

std::string ratioOf(double seconds)
{
    return seconds > 0.0 ? formatNumber(referenceRatio(seconds), "##0.00") : kNoFigure;
}

// A JSON number, or null for a figure that does not exist.
std::string jsonNumberOr(const std::string& text)
{
    return text == kNoFigure ? "null" : text;
}

void printText(const BenchResult& r)
{
    const int points = 2 * kBenchHalfSize + 1;
    std::printf("region:      centre %s + %si, range %s, %d x %d points, %d iterations\n",
                shortestText(kBenchCondition.CentreRe).c_str(),
                shortestText(kBenchCondition.CentreIm).c_str(),
                shortestText(kBenchCondition.Range).c_str(), points, points, kBenchMaxIter);
    std::printf("engine:      %s, %d thread%s\n", r.instructionSet.c_str(), r.threads,
                r.threads == 1 ? "" : "s");
    std::printf("runs:        %zu timed, after 1 warm-up\n", r.seconds.size());
    std::printf("median:      %s s per computation\n",
                decimalText(r.median, std::chars_format::fixed, 6).c_str());
    std::printf("best:        %s s per computation\n",
                decimalText(r.best, std::chars_format::fixed, 6).c_str());
    std::printf("MFLOPS:      %s (%s / median seconds; best %s)\n", mflopsOf(r.median).c_str(),
                shortestText(kBenchOperations / 1e6).c_str(), mflopsOf(r.best).c_str());
    std::printf("%s: %s (%s s / median seconds)\n", kReferenceMachineCaption,
                ratioOf(r.median).c_str(), shortestText(kReferenceSeconds).c_str());
    if (r.valid)
        std::printf("validation:  valid (checksum %s)\n", hex64(r.checksum).c_str());
    else
        std::printf("validation:  INVALID (checksum %s, expected %s)\n", hex64(r.checksum).c_str(),
                    hex64(kBenchmarkChecksum).c_str());
}

void printJson(const BenchResult& r)
{
    std::printf("{\"region\": {\"centre_re\": %s, \"centre_im\": %s, \"range\": %s, "
                "\"points\": %d, \"max_iter\": %d}, ",
                shortestText(kBenchCondition.CentreRe).c_str(),
                shortestText(kBenchCondition.CentreIm).c_str(),
                shortestText(kBenchCondition.Range).c_str(), 2 * kBenchHalfSize + 1, kBenchMaxIter);
    std::printf("\"instruction_set\": \"%s\", \"threads\": %d, ", r.instructionSet.c_str(),
                r.threads);
    std::printf("\"runs\": %zu, \"warmup_runs\": 1, ", r.seconds.size());
    std::printf("\"median_seconds\": %s, \"best_seconds\": %s, ",
                decimalText(r.median, std::chars_format::general, 17).c_str(),
                decimalText(r.best, std::chars_format::general, 17).c_str());
    std::printf("\"mflops\": %s, \"mflops_best\": %s, ", jsonNumberOr(mflopsOf(r.median)).c_str(),
                jsonNumberOr(mflopsOf(r.best)).c_str());
    std::printf("\"reference_seconds\": %s, \"ratio\": %s, ",
                decimalText(kReferenceSeconds, std::chars_format::fixed, 4).c_str(),
                jsonNumberOr(ratioOf(r.median)).c_str());
    std::printf("\"checksum\": \"%s\", \"expected_checksum\": \"%s\", \"validation\": \"%s\"}\n",
                hex64(r.checksum).c_str(), hex64(kBenchmarkChecksum).c_str(),
                r.valid ? "valid" : "INVALID");
}

}  // namespace

int runBench(const Options& options)
{
    const bool fixedRuns = options.has("--runs");
    std::int64_t runs = options.intOr("--runs", 0, 1, kMaxRuns);
    const auto threads = static_cast<int>(options.intOr("--threads", 0, 1, WorkerPool::kMaxThreads));
    const bool json = options.flag("--json");
    options.rejectUnused();

    BenchResult result;
    result.threads = setEngineThreads(threads);
    // By the name users know ("AVX-512"), "no SIMD" without vector instructions.
    result.instructionSet = engineInstructionSetName();
    if (result.instructionSet.empty())
        result.instructionSet = "no SIMD";

    const auto grid = std::make_unique<IterGrid>();
    const double warmUp = timeOneComputation(*grid, result);
    if (!fixedRuns) {
        const double wanted = std::ceil(kDefaultBudgetSeconds / std::max(warmUp, 1e-6));
        runs = std::clamp(static_cast<std::int64_t>(wanted), kMinDefaultRuns, kMaxRuns);
    }
    for (std::int64_t k = 0; k < runs; ++k)
        result.seconds.push_back(timeOneComputation(*grid, result));

    result.median = medianSeconds(result.seconds);
    result.best = *std::min_element(result.seconds.begin(), result.seconds.end());

    if (json)
        printJson(result);
    else
        printText(result);
    // Nothing but the printing above has run since a write could fail.
    if (finishStandardOutput(std::ferror(stdout) ? errno : 0) != 0)
        return 1;
    if (!result.valid) {
        std::fprintf(stderr,
                     "quilfen-cli: INVALID: the engine's counts differ from the reference "
                     "computation; the figures are not valid\n");
        return 1;
    }
    return 0;
}

}  // namespace quilfen::cli
