// quilfen-cli bench: the benchmark computation timed with a steady clock,
// its figures worked out as the result dialog does, and the computed counts
// checked against the scalar reference's checksum. The result records the
// machine, the build and the spread of the runs, so that results can be
// compared and a busy machine's result is known as such.

#include "app/cli_commands.h"
#include "app/cli_options.h"
#include "app/json_text.h"
#include "bench/bench_verdict.h"
#include "bench/benchmark_figures.h"
#include "bench/build_record.h"
#include "bench/grid_checksum.h"
#include "bench/instruction_set_name.h"
#include "bench/machine_record.h"
#include "bench/run_statistics.h"
#include "bench/steady_runs.h"
#include "engine/escape_time.h"
#include "engine/worker_pool.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace quilfen::cli {

namespace {

// Without --runs, enough timed computations to fill about this long.
constexpr double kDefaultBudgetSeconds = 2.0;
constexpr std::int64_t kMinDefaultRuns = 3;
constexpr std::int64_t kMaxRuns = 100'000;
// Without --runs, runs that vary too much are followed by more while the
// timed runs stay within this, so the whole command takes under about ten
// seconds.
constexpr double kExtendedLimitSeconds = 7.0;

struct BenchResult {
    MachineRecord machine;
    BuildRecord build;
    std::string instructionSet;
    int threads = 0;
    std::size_t leftOut = 0;  // runs after the warm-up left out while the runs varied too much
    RunStatistics stats;      // of the timed computations
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

// A JSON number, or null for a figure that does not exist.
std::string jsonNumberOr(const std::string& text)
{
    return text == kNoFigure ? "null" : text;
}

// Why a result is not stable, for the text output and the --strict message.
std::string instability(const RunStatistics& s)
{
    if (s.runs < kMinStableRuns)
        return std::to_string(s.runs) + " timed run" + (s.runs == 1 ? "" : "s") + " cannot show a spread; " +
               std::to_string(kMinStableRuns) + " or more are needed";
    return "the timed runs vary by " + percentText(s.variation) + ", more than " +
           percentText(kStableVariation);
}

void printText(const BenchResult& r)
{
    const int points = 2 * kBenchHalfSize + 1;
    std::printf("region:      centre %s + %si, range %s, %d x %d points, %d iterations\n",
                shortestText(kBenchCondition.CentreRe).c_str(),
                shortestText(kBenchCondition.CentreIm).c_str(),
                shortestText(kBenchCondition.Range).c_str(), points, points, kBenchMaxIter);
    const MachineRecord& m = r.machine;
    const std::string memory =
        m.memoryBytes == 0 ? "memory unknown" : gibibytesText(static_cast<double>(m.memoryBytes));
    std::printf("machine:     %s, %u logical processors, %s, %s %s %s\n", m.processor.c_str(),
                m.logicalProcessors, memory.c_str(), m.system.c_str(), m.release.c_str(), m.architecture.c_str());
    const BuildRecord& b = r.build;
    std::printf("build:       Quilfen %s, %s, %s, %s, %s\n", b.version.c_str(), b.compiler.c_str(),
                b.buildType.c_str(), b.arithmeticFlags.c_str(), b.vectorLibrary.c_str());
    std::printf("engine:      %s, %d thread%s\n", r.instructionSet.c_str(), r.threads,
                r.threads == 1 ? "" : "s");
    if (r.leftOut == 0)
        std::printf("runs:        %zu timed, after 1 warm-up\n", r.stats.runs);
    else
        std::printf("runs:        %zu timed, after 1 warm-up and %zu left out while the runs varied\n",
                    r.stats.runs, r.leftOut);
    for (const auto& [label, seconds] : {std::pair{"median:", r.stats.median}, {"best:", r.stats.best},
                                         {"worst:", r.stats.worst}})
        std::printf("%-13s%s s per computation\n", label, decimalText(seconds, std::chars_format::fixed, 6).c_str());
    std::printf("MFLOPS:      %s (%s / median seconds; best %s)\n", mflopsText(r.stats.median).c_str(),
                shortestText(kBenchOperations / 1e6).c_str(), mflopsText(r.stats.best).c_str());
    std::printf("%s: %s (%s s / median seconds)\n", kReferenceMachineCaption,
                ratioText(r.stats.median).c_str(), shortestText(kReferenceSeconds).c_str());
    if (r.stats.stable)
        std::printf("stability:   stable (the runs vary by %s, at most %s)\n",
                    percentText(r.stats.variation).c_str(), percentText(kStableVariation).c_str());
    else
        std::printf("stability:   UNSTABLE (%s)\n", instability(r.stats).c_str());
    if (r.valid)
        std::printf("validation:  valid (checksum %s)\n", hexText(r.checksum).c_str());
    else
        std::printf("validation:  INVALID (checksum %s, expected %s)\n", hexText(r.checksum).c_str(),
                    hexText(kBenchmarkChecksum).c_str());
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
    // Every computation before the timed ones counts as warm-up.
    std::printf("\"runs\": %zu, \"warmup_runs\": %zu, ", r.stats.runs, 1 + r.leftOut);
    std::printf("\"median_seconds\": %s, \"best_seconds\": %s, ",
                decimalText(r.stats.median, std::chars_format::general, 17).c_str(),
                decimalText(r.stats.best, std::chars_format::general, 17).c_str());
    std::printf("\"mflops\": %s, \"mflops_best\": %s, ", jsonNumberOr(mflopsText(r.stats.median)).c_str(),
                jsonNumberOr(mflopsText(r.stats.best)).c_str());
    std::printf("\"reference_seconds\": %s, \"ratio\": %s, ",
                decimalText(kReferenceSeconds, std::chars_format::fixed, 4).c_str(),
                jsonNumberOr(ratioText(r.stats.median)).c_str());
    std::printf("\"checksum\": \"%s\", \"expected_checksum\": \"%s\", \"validation\": \"%s\", ",
                hexText(r.checksum).c_str(), hexText(kBenchmarkChecksum).c_str(),
                r.valid ? "valid" : "INVALID");
    const MachineRecord& m = r.machine;
    std::printf("\"machine\": {\"processor\": %s, \"logical_processors\": %u, \"threads\": %d, "
                "\"instruction_set\": %s, \"os\": %s, \"kernel\": %s, \"architecture\": %s, "
                "\"memory_bytes\": %s}, ",
                jsonString(m.processor).c_str(), m.logicalProcessors, r.threads,
                jsonString(r.instructionSet).c_str(), jsonString(m.system).c_str(),
                jsonString(m.release).c_str(), jsonString(m.architecture).c_str(),
                m.memoryBytes == 0 ? "null" : std::to_string(m.memoryBytes).c_str());
    const BuildRecord& b = r.build;
    std::printf("\"build\": {\"version\": %s, \"compiler\": %s, \"build_type\": %s, "
                "\"arithmetic_flags\": %s, \"fp_contraction\": %s, \"vector_library\": %s}, ",
                jsonString(b.version).c_str(), jsonString(b.compiler).c_str(),
                jsonString(b.buildType).c_str(), jsonString(b.arithmeticFlags).c_str(),
                b.contractionOff ? "\"off\"" : "\"on\"", jsonString(b.vectorLibrary).c_str());
    const RunStatistics& s = r.stats;
    std::printf("\"statistics\": {\"runs\": %zu, \"warmup_runs\": %zu, \"left_out_runs\": %zu, "
                "\"best_seconds\": %s, \"median_seconds\": %s, \"worst_seconds\": %s, \"mean_seconds\": %s, "
                "\"coefficient_of_variation\": %s, \"stable_limit\": %s}, ",
                s.runs, 1 + r.leftOut, r.leftOut, shortestText(s.best).c_str(), shortestText(s.median).c_str(),
                shortestText(s.worst).c_str(), shortestText(s.mean).c_str(),
                s.runs < 2 ? "null" : shortestText(s.variation).c_str(),
                shortestText(kStableVariation).c_str());
    std::printf("\"stable\": %s}\n", s.stable ? "true" : "false");
}

}  // namespace

int runBench(const Options& options)
{
    const bool fixedRuns = options.has("--runs");
    std::int64_t runs = options.intOr("--runs", 0, 1, kMaxRuns);
    const auto threads = static_cast<int>(options.intOr("--threads", 0, 1, WorkerPool::kMaxThreads));
    const bool json = options.flag("--json");
    const bool strict = options.flag("--strict");
    options.rejectUnused();

    BenchResult result;
    result.machine = thisMachine();
    result.build = thisBuild();
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
    // A count given with --runs is taken as it is.
    const RunPlan plan{static_cast<std::size_t>(runs), !fixedRuns, kExtendedLimitSeconds};
    const TimedRuns timed = takeRuns(plan, [&] { return timeOneComputation(*grid, result); });
    result.leftOut = timed.earlier;
    result.stats = runStatistics(timed.seconds);

    if (json)
        printJson(result);
    else
        printText(result);
    // Nothing but the printing above has run since a write could fail.
    if (finishStandardOutput(std::ferror(stdout) ? errno : 0) != 0)
        return 1;
    const int status = benchExitStatus(result.valid, result.stats.stable, strict);
    if (status == kBenchInvalid)
        std::fprintf(stderr,
                     "quilfen-cli: INVALID: the engine's counts differ from the reference "
                     "computation; the figures are not valid\n");
    if (status == kBenchUnstable)
        std::fprintf(stderr, "quilfen-cli: UNSTABLE: %s; the figures cannot be trusted (--strict)\n",
                     instability(result.stats).c_str());
    return status;
}

}  // namespace quilfen::cli
