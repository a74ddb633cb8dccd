#pragma once

#include <benchmark/benchmark.h>

#include <vector>

// What the two benchmark programs share.

// Milliseconds in one unit of a Google Benchmark time, for the reporters
// that print ratios in milliseconds.
inline double millisecondsPer(benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond:
        return 1e-6;
    case benchmark::kMicrosecond:
        return 1e-3;
    case benchmark::kMillisecond:
        return 1.0;
    case benchmark::kSecond:
        return 1e3;
    }
    return 1.0;
}

// Whether a run has no time to report: it failed or was skipped. Google
// Benchmark 1.8 replaced the run's error_occurred flag by skipped (non-zero
// for both), which 1.7 lacks; whichever member the library has is read.
template <class Run>
bool runFailedOrSkipped(const Run& run)
{
    if constexpr (requires { run.skipped; })
        return run.skipped != 0;
    else
        return run.error_occurred;
}

// Hands the arguments (the program's own already taken out) to Google
// Benchmark with interleaved repetitions as the default, which a flag on the
// command line overrides; false when an argument is not understood.
inline bool initialiseInterleaved(std::vector<char*> args)
{
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    return !benchmark::ReportUnrecognizedArguments(count, args.data());
}
