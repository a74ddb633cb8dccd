#pragma once

// How far the timed runs of a benchmark agree: the figures a result is
// judged by before anyone compares it with another.

#include <cstddef>
#include <vector>

namespace quilfen {

// A result is stable when the coefficient of variation of its timed runs is
// at most this (3 %): runs that spread more say more about the machine's
// other work than about its speed.
inline constexpr double kStableVariation = 0.03;
// Fewer timed runs than this cannot show a spread: such a result is never stable.
inline constexpr std::size_t kMinStableRuns = 3;

struct RunStatistics {
    std::size_t runs = 0;
    double best = 0.0;       // seconds
    double median = 0.0;     // seconds
    double worst = 0.0;      // seconds
    double mean = 0.0;       // seconds
    double variation = 0.0;  // sample standard deviation / mean; 0 for fewer than 2 runs
    bool stable = false;     // kMinStableRuns runs or more, variation ≤ kStableVariation
};

// The statistics of the seconds of each timed run (in any order).
RunStatistics runStatistics(const std::vector<double>& seconds);

}  // namespace quilfen
