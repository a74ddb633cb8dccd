#pragma once

// How many timed runs the benchmark takes. A first count is taken; when those
// runs spread too widely to trust (run_statistics.h), the machine was busy
// with something else, so more runs are taken, and the figures come from the
// last runs of that count, until they agree or a time limit is reached.

#include <cstddef>
#include <functional>
#include <vector>

namespace quilfen {

struct RunPlan {
    std::size_t count = 1;      // timed runs the figures come from, 1 or more
    bool extend = false;        // take more runs while the last `count` are unstable (count ≥ kMinStableRuns)
    double limitSeconds = 0.0;  // no extra run starts that would take the timed runs past this
};

struct TimedRuns {
    std::vector<double> seconds;  // the last plan.count runs, in the order taken
    std::size_t earlier = 0;      // runs before them, left out of the figures
};

// Runs timeOne (which computes once and returns its seconds) as the plan says.
// An extra run is started only while the runs so far, plus one more of their
// median length, stay within plan.limitSeconds.
TimedRuns takeRuns(const RunPlan& plan, const std::function<double()>& timeOne);

}  // namespace quilfen
