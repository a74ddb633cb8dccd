#pragma once

// Arithmetic on readings of the millisecond tick count, a 32-bit counter that
// wraps around every 2^32 ms. Plain functions, so no test needs a clock.

#include <cstdint>

namespace quilfen {

// Milliseconds from tick reading `from` to tick reading `to`. The unsigned
// difference is right across a wrap; a counter that went backwards gives a
// huge difference, so a wait on it ends at once instead of hanging.
constexpr std::uint32_t ticksBetween(std::uint32_t from, std::uint32_t to)
{
    return to - from;
}

// Whether the reading `now` has come `ms` or more after the reading `start`.
constexpr bool ticksReached(std::uint32_t start, std::uint32_t ms, std::uint32_t now)
{
    return ticksBetween(start, now) >= ms;
}

// Both timed runs (the conditions dialog's and the benchmark's) first wait
// this long after showing their status, so the desktop settles.
inline constexpr std::uint32_t kSettlingMs = 1000;

// The last milliseconds of a wait are spent reading the tick count without a
// pause, so that the wait ends within one reading of the tick that reaches
// its end; a sleep may overshoot by a scheduling delay.
inline constexpr std::uint32_t kPolledMs = 5;

// How long a wait of `ms` from reading `start` may still sleep at reading
// `now`: what is left of it but the polled last kPolledMs. 0 when the wait is
// over or in its polled end.
constexpr std::uint32_t sleepableTicks(std::uint32_t start, std::uint32_t ms, std::uint32_t now)
{
    if (ticksReached(start, ms, now))
        return 0;
    const std::uint32_t left = ms - ticksBetween(start, now);
    return left > kPolledMs ? left - kPolledMs : 0;
}

}  // namespace quilfen
