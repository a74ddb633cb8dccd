#pragma once

// The benchmark's fixed workload and the arithmetic that turns measured
// time into the figures shown to the user. Plain C++: the menu run, its
// result dialog and the command-line benchmark all use these.

#include "engine/calc_condition.h"
#include "engine/grids.h"
#include "engine/tick_count.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quilfen {

// The region every benchmark run computes: 401 × 401 points, 500 iterations.
inline constexpr std::int32_t kBenchHalfSize = kHalfSize;
inline constexpr CalcCondition kBenchCondition{-0.15, 0.8, 0.4};
inline constexpr std::int32_t kBenchMaxIter = 500;

inline constexpr int kBenchRuns = 4;                 // computations timed in one go
inline constexpr double kBenchOperations = 320'000'000.0;  // counted per computation
inline constexpr double kReferenceSeconds = 1.2983;  // one computation on the reference machine
// How the result dialog and quilfen-cli bench name the reference machine.
inline constexpr const char* kReferenceMachineCaption = "vs Gateway2000/Select1000  (Athron 1GHz)";

// Mean seconds of one computation when kBenchRuns of them ran from tick
// reading ts to tick reading t1, stored as a 32-bit float.
float secondsPerComputation(std::uint32_t ts, std::uint32_t t1);

// The rate in whole MFLOPS for one computation taking `seconds`, halves
// rounding up. Only meaningful for seconds > 0.
double mflopsFigure(double seconds);

// How many times faster than the reference machine. Only for seconds > 0.
double referenceRatio(double seconds);

// The middle of the measured times (the mean of the two middle ones for an
// even count); 0 for none.
double medianSeconds(std::vector<double> seconds);

// The texts shown for a measured time. A time of 0 (every computation done
// within one tick) has no rate and no ratio: the time still shows as "0."
// and the two others as kNoFigure, instead of dividing by zero.
inline constexpr const char* kNoFigure = "-";
// What stands in every figure's place when the benchmark computed wrong counts.
inline constexpr const char* kInvalidFigure = "無効";
std::string secondsText(float seconds);  // "##0.###"
// A float time (the dialog's) converts exactly to the double these take.
std::string mflopsText(double seconds);  // "###0" of mflopsFigure
std::string ratioText(double seconds);   // "##0.00" of referenceRatio

}  // namespace quilfen
