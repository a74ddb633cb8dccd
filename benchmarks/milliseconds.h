#pragma once

#include <benchmark/benchmark.h>

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
