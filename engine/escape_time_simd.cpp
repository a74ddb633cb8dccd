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
//
// Cycle detection (when the job asks for it). The state a lane carries from
// one iteration to the next is (zr, zi): zr2 and zi2 are their squares, and the
// count only records how far the lane got. One iteration is a fixed function
// of that state for the lane's c, so when the state comes back bit for bit to
// a value it had earlier, every later state, and every escape test, repeats
// with that period: the point never escapes and its count is the limit + 1,
// exactly what iterating to the limit gives. The comparison is of the bits
// (not ==, under which -0 equals +0 and NaN differs from itself), and only of
// lanes still running, so a lane that escaped is never taken for one that
// cycles. A running lane whose state is NaN (c not finite) never escapes
// either, since no comparison with NaN is true, so stopping it is right too.
//
// The hot loop stays as it is without detection: lanes are compared with a
// saved state only at checkpoints, when the thread's trip counter is a
// multiple of kCheckEvery. Every lane of a slot advances once per trip, so a
// slot's checkpoints fall on its own iteration numbers that are all alike
// modulo kCheckEvery, and states are saved at checkpoints only: a saved state
// and a later checked one are always a multiple of kCheckEvery iterations
// apart. A cycle of period p is therefore seen at the first checkpoint at
// least lcm(p, kCheckEvery) iterations after a save made once the lane is on
// its cycle. The saves follow Brent's method: the gap between saves doubles,
// so that long cycles are caught as well as short ones. Slots younger than
// kCheckFrom iterations are not checked, so that pictures at modest limits,
// where nearly every point escapes, pay nothing for the checkpoints.
//
// Stragglers (cycle stopping only). A few points neither escape nor cycle for
// a long time (slow convergence near the boundary, chaotic orbits), and each
// would keep a whole slot to itself up to the limit. A slot that has run
// kParkFrom iterations therefore writes the counts of its stopped lanes, moves
// the running ones (iterate, count, point, output place) to the thread's list
// of parked lanes, and takes new rows. Once the thread's rows are all taken,
// the parked lanes are packed into full vectors and run to the end. A lane's
// arithmetic depends only on its own point and iterate, so moving it changes
// no bit; its count tells how far it got, so the limit is kept lane by lane.
// Its cycle detection starts afresh from the state it had when parked, which
// is a state it really had, so a return to it is still a true cycle.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "escape_time_simd.cpp"
// The slots keep their vectors in a struct, which the sizeless vector types of
// SVE and RVV cannot live in; NEON serves those machines instead.
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128 | HWY_RVV)
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "escape_time_simd.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <vector>

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

// Cycle checks happen every kCheckEvery trips of a thread's slots.
constexpr std::int64_t kCheckEvery = 64;
// A slot is checked only once it has done this many iterations.
constexpr std::int32_t kCheckFrom = 512;
// Iterations between the first two saves of a slot's state; then doubling.
constexpr std::int32_t kFirstSaveGap = 2 * kCheckEvery;
// A slot that has run this many iterations parks its running lanes.
constexpr std::int32_t kParkFrom = 1 << 14;
// Trips of the packed parked lanes between looks at them (cycle checks,
// lanes that stopped, the limit).
constexpr std::int32_t kParkedCheckEvery = 4 * kCheckEvery;
constexpr std::size_t kMaxLanes = HWY_LANES(double);

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
    M periodic;          // lanes stopped because their state came back
    V savedZr, savedZi;  // the state at the last save (cycle detection only)
    std::int32_t iter = 0;  // iterations done, the same for every lane
    std::int64_t nextSave = 0;  // iteration from which the next save is due
    std::int64_t saveGap = 0;   // iterations from one save to the next
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

// A running lane taken out of its slot.
struct ParkedLane {
    double cr = 0, ci = 0;            // the point
    double zr = 0, zi = 0;            // the iterate
    double savedZr = 0, savedZi = 0;  // a state the lane had earlier
    std::int64_t count = 0;           // 1 + iterations survived
    std::int64_t nextSave = 0;        // count from which the next save is due
    std::int64_t saveGap = 0;
    std::int32_t* out = nullptr;  // where its count goes
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

    std::vector<ParkedLane> parked;  // running lanes of old slots, to be packed

    explicit Kernel(const EscapeJob& j) : job(j), source(j) {}

    // Loads the next rows into s, or makes it idle: c = 0 never escapes, so an
    // idle slot never looks finished and keeps no one waiting.
    void refill(Slot& s)
    {
        const GridFrame& f = job.frame;
        s.zr = s.zi = s.zr2 = s.zi2 = hn::Zero(d);
        s.count = one;
        s.iter = 0;
        s.periodic = hn::FirstN(d, 0);
        s.savedZr = s.savedZi = hn::Zero(d);
        s.nextSave = kCheckFrom;
        s.saveGap = kFirstSaveGap;
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

    std::int32_t* columnOf(const Slot& s) const
    {
        return job.counts +
               static_cast<std::ptrdiff_t>(s.column - job.firstColumn) * job.columnStride;
    }

    void store(const Slot& s)
    {
        HWY_ALIGN std::int64_t counts[HWY_LANES(std::int64_t)];
        const VI count = hn::IfThenElse(hn::RebindMask(di, s.periodic),
                                        hn::Set(di, std::int64_t{job.maxIter} + 1), s.count);
        hn::Store(count, di, counts);
        std::int32_t* column = columnOf(s);
        for (std::int32_t l = 0; l < s.rows; ++l)
            column[s.row0 + l] = static_cast<std::int32_t>(counts[l]);
    }

    // Writes the counts of the stopped lanes of s (the running ones get a
    // passing value, overwritten when they finish) and moves its running lanes
    // to the parked list.
    void park(const Slot& s)
    {
        store(s);
        HWY_ALIGN double cr[kMaxLanes], ci[kMaxLanes], zr[kMaxLanes], zi[kMaxLanes];
        HWY_ALIGN std::int64_t count[kMaxLanes], running[kMaxLanes];
        hn::Store(s.cr, d, cr);
        hn::Store(s.ci, d, ci);
        hn::Store(s.zr, d, zr);
        hn::Store(s.zi, d, zi);
        hn::Store(s.count, di, count);
        hn::Store(hn::VecFromMask(di, hn::RebindMask(di, s.running)), di, running);
        std::int32_t* column = columnOf(s);
        for (std::int32_t l = 0; l < s.rows; ++l) {
            if (running[l] == 0)
                continue;
            ParkedLane p;
            p.cr = cr[l];
            p.ci = ci[l];
            p.zr = p.savedZr = zr[l];
            p.zi = p.savedZi = zi[l];
            p.count = count[l];
            p.nextSave = count[l] + kFirstSaveGap;
            p.saveGap = 2 * kFirstSaveGap;
            p.out = column + s.row0 + l;
            parked.push_back(p);
        }
    }

    // Iterations s may still run before it reaches the limit.
    std::int32_t headroom(const Slot& s) const
    {
        return s.rows == 0 ? std::numeric_limits<std::int32_t>::max() : job.maxIter - s.iter;
    }

    // Books `trips` iterations on s.
    static void book(Slot& s, std::int32_t trips)
    {
        if (s.rows != 0)
            s.iter += trips;
    }

    // A slot that is done (every lane stopped, or the limit reached) stores
    // and reloads.
    void settle(Slot& s)
    {
        if (s.rows != 0 && (s.iter == job.maxIter || hn::AllFalse(d, s.running))) {
            store(s);
            refill(s);
        }
    }

    // As settle, and parks the running lanes of a slot that has grown old.
    void settleOrPark(Slot& s)
    {
        if (s.rows == 0)
            return;
        if (s.iter == job.maxIter || hn::AllFalse(d, s.running)) {
            store(s);
            refill(s);
        } else if (s.iter >= kParkFrom) {
            park(s);
            refill(s);
        }
    }

    // At a checkpoint: stops the running lanes of s whose state is the saved
    // one bit for bit, then saves the state if a save is due.
    void checkCycles(Slot& s)
    {
        if (s.rows == 0 || s.iter < kCheckFrom)
            return;
        const auto sameBits = [this](V a, V b) {
            return hn::RebindMask(d, hn::Eq(hn::BitCast(di, a), hn::BitCast(di, b)));
        };
        const M back = hn::And(hn::And(sameBits(s.zr, s.savedZr), sameBits(s.zi, s.savedZi)),
                               s.running);
        s.periodic = hn::Or(s.periodic, back);
        s.running = hn::AndNot(back, s.running);
        if (s.iter >= s.nextSave) {
            s.savedZr = s.zr;
            s.savedZi = s.zi;
            s.nextSave = s.iter + s.saveGap;
            s.saveGap *= 2;  // at most about 2^32 before any limit is reached
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

// Trips from `trip` to the next checkpoint at which a slot of age `oldest`
// (iterations) or more is old enough to be checked.
HWY_INLINE std::int64_t tripsToCheck(std::int64_t trip, std::int32_t oldest)
{
    const std::int64_t from = trip + std::max<std::int64_t>(1, kCheckFrom - oldest);
    return (from + kCheckEvery - 1) / kCheckEvery * kCheckEvery - trip;
}

// Up to one vector of parked lanes, run together; lane l is in use while
// used[l].
struct Pack {
    ParkedLane lane[kMaxLanes];
    bool used[kMaxLanes] = {};
};

// Fills the free lanes of p from list[next …]; true if p has a lane in use.
bool fillPack(Pack& p, const std::vector<ParkedLane>& list, std::size_t& next, std::size_t lanes)
{
    bool any = false;
    for (std::size_t l = 0; l < lanes; ++l) {
        if (!p.used[l] && next < list.size()) {
            p.lane[l] = list[next++];
            p.used[l] = true;
        }
        any = any || p.used[l];
    }
    return any;
}

// Puts the lanes of p into s; lanes not in use hold c = 0 and do not run.
void loadPack(const Pack& p, Slot& s, std::size_t lanes)
{
    const D d;
    const DI di;
    HWY_ALIGN double cr[kMaxLanes] = {}, ci[kMaxLanes] = {}, zr[kMaxLanes] = {}, zi[kMaxLanes] = {};
    HWY_ALIGN std::int64_t count[kMaxLanes] = {}, running[kMaxLanes] = {};
    for (std::size_t l = 0; l < lanes; ++l) {
        if (!p.used[l])
            continue;
        cr[l] = p.lane[l].cr;
        ci[l] = p.lane[l].ci;
        zr[l] = p.lane[l].zr;
        zi[l] = p.lane[l].zi;
        count[l] = p.lane[l].count;
        running[l] = 1;
    }
    s.cr = hn::Load(d, cr);
    s.ci = hn::Load(d, ci);
    s.zr = hn::Load(d, zr);
    s.zi = hn::Load(d, zi);
    // The squares the slot carried are these products, bit for bit.
    s.zr2 = hn::Mul(s.zr, s.zr);
    s.zi2 = hn::Mul(s.zi, s.zi);
    s.count = hn::Load(di, count);
    s.running = hn::RebindMask(d, hn::Ne(hn::Load(di, running), hn::Zero(di)));
}

// Takes the lanes of s back into p and finishes those that escaped, reached
// the limit or came back to their saved state, writing their counts.
void unloadPack(Pack& p, const Slot& s, std::size_t lanes, std::int64_t limitCount)
{
    const D d;
    const DI di;
    HWY_ALIGN double zr[kMaxLanes], zi[kMaxLanes];
    HWY_ALIGN std::int64_t count[kMaxLanes], running[kMaxLanes];
    hn::Store(s.zr, d, zr);
    hn::Store(s.zi, d, zi);
    hn::Store(s.count, di, count);
    hn::Store(hn::VecFromMask(di, hn::RebindMask(di, s.running)), di, running);
    for (std::size_t l = 0; l < lanes; ++l) {
        if (!p.used[l])
            continue;
        ParkedLane& q = p.lane[l];
        q.zr = zr[l];
        q.zi = zi[l];
        q.count = count[l];
        if (running[l] == 0 || q.count == limitCount) {
            *q.out = static_cast<std::int32_t>(q.count);
            p.used[l] = false;
        } else if (std::bit_cast<std::uint64_t>(q.zr) == std::bit_cast<std::uint64_t>(q.savedZr) &&
                   std::bit_cast<std::uint64_t>(q.zi) == std::bit_cast<std::uint64_t>(q.savedZi)) {
            *q.out = static_cast<std::int32_t>(limitCount);
            p.used[l] = false;
        } else if (q.count >= q.nextSave) {
            q.savedZr = q.zr;
            q.savedZi = q.zi;
            q.nextSave = q.count + q.saveGap;
            q.saveGap *= 2;
        }
    }
}

// Runs the thread's parked lanes, packed four vectors at a time, to the end.
void runParked(Kernel& k)
{
    const std::vector<ParkedLane>& list = k.parked;
    const std::size_t lanes = static_cast<std::size_t>(k.lanes);
    const std::int64_t limitCount = std::int64_t{k.job.maxIter} + 1;
    const DI di;
    const V ten = k.ten;
    const VI one = k.one;
    std::size_t next = 0;
    Pack p0, p1, p2, p3;
    Slot s0, s1, s2, s3;
    for (;;) {
        const bool any = int{fillPack(p0, list, next, lanes)} | int{fillPack(p1, list, next, lanes)} |
                         int{fillPack(p2, list, next, lanes)} | int{fillPack(p3, list, next, lanes)};
        if (!any)
            break;
        // Every lane in use is running and below the limit, so budget >= 1.
        std::int64_t budget = kParkedCheckEvery;
        for (const Pack* p : {&p0, &p1, &p2, &p3})
            for (std::size_t l = 0; l < lanes; ++l)
                if (p->used[l])
                    budget = std::min(budget, limitCount - p->lane[l].count);
        loadPack(p0, s0, lanes);
        loadPack(p1, s1, lanes);
        loadPack(p2, s2, lanes);
        loadPack(p3, s3, lanes);
        for (std::int64_t trip = 0; trip < budget; ++trip) {
            iterate(s0, ten, one, di);
            iterate(s1, ten, one, di);
            iterate(s2, ten, one, di);
            iterate(s3, ten, one, di);
        }
        unloadPack(p0, s0, lanes, limitCount);
        unloadPack(p1, s1, lanes, limitCount);
        unloadPack(p2, s2, lanes, limitCount);
        unloadPack(p3, s3, lanes, limitCount);
    }
    k.parked.clear();
}

template <bool kStopCycles>
void ComputeColumnsImpl(const EscapeJob& job)
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
    std::int64_t trip = 0;  // trips of this thread's slots so far: the checkpoints' clock
    for (;;) {
        // Run all four until one of them finishes or reaches the limit.
        std::int32_t budget =
            std::min({k.headroom(s0), k.headroom(s1), k.headroom(s2), k.headroom(s3)});
        if (budget == std::numeric_limits<std::int32_t>::max()) {
            // All idle: every row is taken.
            if constexpr (kStopCycles)
                runParked(k);
            return;
        }
        bool checkpoint = false;
        if constexpr (kStopCycles) {
            const auto age = [](const Slot& s) { return s.rows == 0 ? 0 : s.iter; };
            const std::int64_t toCheck =
                tripsToCheck(trip, std::max({age(s0), age(s1), age(s2), age(s3)}));
            if (toCheck <= budget) {
                budget = static_cast<std::int32_t>(toCheck);
                checkpoint = true;
            }
        }
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
        Kernel::book(s0, trips);
        Kernel::book(s1, trips);
        Kernel::book(s2, trips);
        Kernel::book(s3, trips);
        if constexpr (kStopCycles) {
            trip += trips;
            if (checkpoint && trips == budget) {
                k.checkCycles(s0);
                k.checkCycles(s1);
                k.checkCycles(s2);
                k.checkCycles(s3);
            }
        }
        if constexpr (kStopCycles) {
            k.settleOrPark(s0);
            k.settleOrPark(s1);
            k.settleOrPark(s2);
            k.settleOrPark(s3);
        } else {
            k.settle(s0);
            k.settle(s1);
            k.settle(s2);
            k.settle(s3);
        }
    }
}

}  // namespace

// Without stopCycles every iteration of every point runs up to its escape or
// the limit: the work the benchmark measures, in a loop with no checkpoints.
// Under a limit at which no slot gets old enough to be checked, that loop
// serves the stopping of cycles as well.
void ComputeColumns(const EscapeJob& job)
{
    if (job.stopCycles && job.maxIter > kCheckFrom)
        ComputeColumnsImpl<true>(job);
    else
        ComputeColumnsImpl<false>(job);
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
