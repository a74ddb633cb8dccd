// The vectorised escape-time kernel, compiled once per instruction set.
//
// Every lane does exactly the reference's operations in the reference's order,
// each rounded to double: no fused multiply-add (the whole build uses
// -ffp-contract=off, and MulAdd is never called), so every count is the one
// escapeCount gives.
//
// Each thread keeps four vectors of points ("slots") in flight: one
// iteration's add-multiply-add chain takes about four times as long as issuing
// its operations, so four independent chains keep the arithmetic units busy.
// The lanes of a slot are consecutive rows of one column. A slot whose lanes
// have all escaped, or that has reached the limit, writes its counts and takes
// the next rows at once instead of waiting for the other slots.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "escape_time_simd.cpp"
// The slots keep their vectors in a struct, which the sizeless vector types of
// SVE and RVV cannot live in; NEON serves those machines instead.
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128 | HWY_RVV)
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "escape_time_simd.h"

#include <algorithm>
#include <cstddef>
#include <limits>

HWY_BEFORE_NAMESPACE();
namespace quilfen {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;
using M = hn::Mask<D>;

// One vector of points and its iterate.
struct Slot {
    // Written out: the constructor g++ makes implicitly lacks the instruction
    // set of this pass (Arm's +crypto), so it cannot inline the vectors' own.
    Slot() {}

    V cr, ci;            // the points
    V zr, zi;            // the iterate
    V zr2, zi2;          // zr², zi² of the iterate, the next iteration's squares
    VI count;            // 1 + iterations survived: the count once the lane stops
    M running;           // lanes still iterating (padding lanes never are)
    std::int32_t iter = 0;  // iterations done, the same for every lane
    std::int32_t column = 0;
    std::int32_t row0 = 0;
    std::int32_t rows = 0;  // lanes holding grid points; 0 for an idle slot
};

// Hands out runs of consecutive rows; columns come from the shared counter,
// columnsPerGrab at a time.
class RowSource {
public:
    explicit RowSource(const EscapeJob& job) : m_job(job) {}

    // Up to `lanes` rows of one column; false once every column is taken.
    bool next(std::int32_t lanes, Slot& s)
    {
        if (m_row > m_job.lastRow) {
            if (++m_column >= m_columnEnd && !grab())
                return false;
            m_row = 0;
        }
        s.column = m_column;
        s.row0 = m_row;
        s.rows = std::min(lanes, m_job.lastRow + 1 - m_row);
        m_row += s.rows;
        return true;
    }

private:
    // Takes the next few columns from the shared counter.
    bool grab()
    {
        if (m_exhausted)
            return false;
        m_column = m_job.nextColumn->fetch_add(m_job.columnsPerGrab, std::memory_order_relaxed);
        m_columnEnd = std::min(m_column + m_job.columnsPerGrab, m_job.lastColumn + 1);
        m_exhausted = m_column >= m_columnEnd;
        return !m_exhausted;
    }

    const EscapeJob& m_job;
    std::int32_t m_column = 0;
    std::int32_t m_columnEnd = 0;  // end of the columns grabbed
    std::int32_t m_row = std::numeric_limits<std::int32_t>::max();
    bool m_exhausted = false;
};

// State shared by the slots of one thread.
struct Kernel {
    const EscapeJob& job;
    RowSource source;
    D d;
    DI di;
    V laneIndex = hn::Iota(d, 0.0);
    V ten = hn::Set(d, 10.0);
    VI one = hn::Set(di, std::int64_t{1});
    std::int32_t lanes = static_cast<std::int32_t>(hn::Lanes(d));

    explicit Kernel(const EscapeJob& j) : job(j), source(j) {}

    // Loads the next rows into s, or makes it idle: c = 0 never escapes, so an
    // idle slot never looks finished and keeps no one waiting.
    void refill(Slot& s)
    {
        const GridFrame& f = job.frame;
        s.zr = s.zi = s.zr2 = s.zi2 = hn::Zero(d);
        s.count = one;
        s.iter = 0;
        if (!source.next(lanes, s)) {
            s.rows = 0;
            s.cr = s.ci = hn::Zero(d);
            s.running = hn::FirstN(d, static_cast<std::size_t>(lanes));
            return;
        }
        s.cr = hn::Set(d, static_cast<double>(s.column) * f.d + f.x0);
        // Row j's imaginary part is j·d + y0, multiplied and added apart as in
        // the reference; row0 + lane is an exact small integer.
        const V j = hn::Add(laneIndex, hn::Set(d, static_cast<double>(s.row0)));
        s.ci = hn::Add(hn::Mul(j, hn::Set(d, f.d)), hn::Set(d, f.y0));
        s.running = hn::FirstN(d, static_cast<std::size_t>(s.rows));
    }

    void store(const Slot& s)
    {
        HWY_ALIGN std::int64_t counts[HWY_LANES(std::int64_t)];
        hn::Store(s.count, di, counts);
        auto& column = (*job.grid)[static_cast<std::size_t>(s.column)];
        for (std::int32_t l = 0; l < s.rows; ++l)
            column[static_cast<std::size_t>(s.row0 + l)] = static_cast<std::int32_t>(counts[l]);
    }

    // Iterations s may still run before it reaches the limit.
    std::int32_t headroom(const Slot& s) const
    {
        return s.rows == 0 ? std::numeric_limits<std::int32_t>::max() : job.maxIter - s.iter;
    }

    // Books `trips` iterations on s; a finished slot stores and reloads.
    void settle(Slot& s, std::int32_t trips)
    {
        if (s.rows == 0)
            return;
        s.iter += trips;
        if (s.iter == job.maxIter || hn::AllFalse(d, s.running)) {
            store(s);
            refill(s);
        }
    }
};

// One iteration on every lane of s.
HWY_INLINE void iterate(Slot& s, const V ten, const VI one, const DI di)
{
    // zi first: it needs the old zr.
    s.zi = hn::Add(hn::Mul(hn::Add(s.zr, s.zr), s.zi), s.ci);
    s.zr = hn::Add(hn::Sub(s.zr2, s.zi2), s.cr);
    // The escape test squares the new values; the next iteration squares the
    // same values again, so computing them once here changes no bit.
    s.zr2 = hn::Mul(s.zr, s.zr);
    s.zi2 = hn::Mul(s.zi, s.zi);
    const M escaped = hn::Gt(hn::Add(s.zr2, s.zi2), ten);
    s.running = hn::AndNot(escaped, s.running);
    s.count = hn::IfThenElse(hn::RebindMask(di, s.running), hn::Add(s.count, one), s.count);
}

}  // namespace

void ComputeColumns(const EscapeJob& job)
{
    Kernel k(job);
    // Separate variables, not an array: g++ keeps an array of vectors in memory.
    Slot s0, s1, s2, s3;
    k.refill(s0);
    k.refill(s1);
    k.refill(s2);
    k.refill(s3);
    const D d;
    const DI di;
    const V ten = k.ten;
    const VI one = k.one;
    for (;;) {
        // Run all four until one of them finishes or reaches the limit.
        const std::int32_t budget =
            std::min({k.headroom(s0), k.headroom(s1), k.headroom(s2), k.headroom(s3)});
        if (budget == std::numeric_limits<std::int32_t>::max())
            return;  // all idle: every column is done
        std::int32_t trips = 0;
        int anyFinished;
        do {
            iterate(s0, ten, one, di);
            iterate(s1, ten, one, di);
            iterate(s2, ten, one, di);
            iterate(s3, ten, one, di);
            ++trips;
            // One branch for all four: || would make four, and runs slower.
            anyFinished = int{hn::AllFalse(d, s0.running)} | int{hn::AllFalse(d, s1.running)} |
                          int{hn::AllFalse(d, s2.running)} | int{hn::AllFalse(d, s3.running)};
        } while (trips != budget && anyFinished == 0);
        k.settle(s0, trips);
        k.settle(s1, trips);
        k.settle(s2, trips);
        k.settle(s3, trips);
    }
}

const char* CurrentTargetName()
{
    return hwy::TargetName(HWY_TARGET);
}

}  // namespace HWY_NAMESPACE
}  // namespace quilfen
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace quilfen {

HWY_EXPORT(ComputeColumns);
HWY_EXPORT(CurrentTargetName);

void computeColumnsSimd(const EscapeJob& job)
{
    HWY_DYNAMIC_DISPATCH(ComputeColumns)(job);
}

std::string simdTargetName()
{
    return HWY_DYNAMIC_DISPATCH(CurrentTargetName)();
}

std::int64_t simdCompiledTargets()
{
    return HWY_TARGETS;
}

}  // namespace quilfen
#endif  // HWY_ONCE
