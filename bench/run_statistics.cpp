#include "bench/run_statistics.h"

#include "bench/benchmark_figures.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quilfen {

RunStatistics runStatistics(const std::vector<double>& seconds)
{
    RunStatistics s;
    s.runs = seconds.size();
    if (seconds.empty())
        return s;
    const auto [lowest, highest] = std::minmax_element(seconds.begin(), seconds.end());
    s.best = *lowest;
    s.worst = *highest;
    s.median = medianSeconds(seconds);
    const auto n = static_cast<double>(seconds.size());
    s.mean = std::accumulate(seconds.begin(), seconds.end(), 0.0) / n;
    if (seconds.size() >= 2 && s.mean > 0.0) {
        double squares = 0.0;
        for (const double t : seconds)
            squares += (t - s.mean) * (t - s.mean);
        s.variation = std::sqrt(squares / (n - 1.0)) / s.mean;
    }
    s.stable = s.runs >= kMinStableRuns && s.variation <= kStableVariation;
    return s;
}

}  // namespace quilfen
