#include "bench/benchmark_figures.h"

#include "engine/number_text.h"

#include <algorithm>
#include <cmath>

namespace quilfen {

float secondsPerComputation(std::uint32_t ts, std::uint32_t t1)
{
    const double elapsedMs = static_cast<double>(ticksBetween(ts, t1));
    return static_cast<float>(elapsedMs / (kBenchRuns * 1000.0));
}

double mflopsFigure(double seconds)
{
    return std::floor(kBenchOperations / seconds / 1'000'000.0 + 0.5);
}

double referenceRatio(double seconds)
{
    return kReferenceSeconds / seconds;
}

double medianSeconds(std::vector<double> seconds)
{
    if (seconds.empty())
        return 0.0;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t middle = seconds.size() / 2;
    if (seconds.size() % 2 == 1)
        return seconds[middle];
    return (seconds[middle - 1] + seconds[middle]) / 2.0;
}

std::string secondsText(float seconds)
{
    return formatSingle(seconds, "##0.###");
}

std::string mflopsText(double seconds)
{
    return seconds > 0.0 ? formatNumber(mflopsFigure(seconds), "###0") : kNoFigure;
}

std::string ratioText(double seconds)
{
    return seconds > 0.0 ? formatNumber(referenceRatio(seconds), "##0.00") : kNoFigure;
}

}  // namespace quilfen
