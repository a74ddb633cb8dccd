#include "bench/steady_runs.h"

#include "bench/run_statistics.h"

#include <numeric>

namespace quilfen {

TimedRuns takeRuns(const RunPlan& plan, const std::function<double()>& timeOne)
{
    std::vector<double> all;
    for (std::size_t k = 0; k < plan.count; ++k)
        all.push_back(timeOne());
    auto window = [&] {
        return std::vector<double>(all.end() - static_cast<std::ptrdiff_t>(plan.count), all.end());
    };
    // Too few runs to be stable would only run until the limit.
    while (plan.extend && plan.count >= kMinStableRuns) {
        const RunStatistics last = runStatistics(window());
        const double total = std::accumulate(all.begin(), all.end(), 0.0);
        if (last.stable || total + last.median > plan.limitSeconds)
            break;
        all.push_back(timeOne());
    }
    return TimedRuns{window(), all.size() - plan.count};
}

}  // namespace quilfen
