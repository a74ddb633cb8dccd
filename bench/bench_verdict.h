#pragma once

// What a benchmark result's checks mean for a script that runs it: wrong
// counts always fail; runs that vary too much fail only when asked to, so
// that a busy machine does not break scripts by default.

namespace quilfen {

inline constexpr int kBenchPassed = 0;
inline constexpr int kBenchInvalid = 1;   // the computed counts are wrong
inline constexpr int kBenchUnstable = 3;  // the runs vary too much, under strict

// The exit status of a result: valid (right counts), stable (runs agree),
// strict (an unstable result fails).
constexpr int benchExitStatus(bool valid, bool stable, bool strict)
{
    if (!valid)
        return kBenchInvalid;
    return strict && !stable ? kBenchUnstable : kBenchPassed;
}

}  // namespace quilfen
