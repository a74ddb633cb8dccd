#include "bench/bench_verdict.h"

namespace quilfen {

int benchExitStatus(bool valid, bool stable, bool strict)
{
    if (!valid)
        return kBenchInvalid;
    if (strict && !stable)
        return kBenchUnstable;
    return kBenchPassed;
}

}  // namespace quilfen
