// The vectorised escape-time kernel, compiled once per instruction set.
//
// Every lane does exactly the reference's operations in the reference's order,
// each rounded to double: no fused multiply-add (the whole build uses
// -ffp-contract=off, and MulAdd is never called), so every count is the one
// escapeCount gives.
//
// Each thread keeps a group of four vectors of points ("slots") in flight: one
// iteration's multiply-subtract-add chain takes about four times as long as
// issuing its operations, so four independent chains keep the arithmetic units
// busy. The lanes of a slot are consecutive rows of one column. A slot whose
// lanes have all escaped, or that has reached the limit, writes its counts and
// takes the next rows instead of waiting for the other slots.
//
// The group's loop (runGroup) carries only each slot's iterate and count, so
// that every target keeps them in registers: the squares are computed at the
// top of the trip and serve both the escape test of the iterate and the next
// one, and the count is the number of tests a lane has passed, which needs no
// "still running" mask because an escaped lane never passes again. Whether a
// slot has finished is looked at every kTripsPerLook trips, sooner while it
// is young.
//
// Cycle detection (when the job asks for it). The state a lane carries from
// one iteration to the next is (zr, zi): the squares are computed from them,
// and the count only records how far the lane got. One iteration is a fixed function
// of that state for the lane's c, so when the state comes back bit for bit to
// a value it had earlier, every later state, and every escape test, repeats
// with that period: the point never escapes and its count is the limit + 1,
// exactly what iterating to the limit gives. The comparison is of the bits
// (not ==, under which -0 equals +0 and NaN differs from itself), and only of
// lanes still running, so a lane that escaped is never taken for one that
// cycles. A lane whose c holds a NaN never escapes either (every iterate is
// NaN, and no comparison with NaN is true); refill marks it so at once.
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
#define HWY_TARGET_INCLUDE "engine/escape_time_simd.cpp"
// The slots keep their vectors in a struct, which the sizeless vector types of
// SVE and RVV cannot live in; NEON serves those machines instead.
#define HWY_DISABLED_TARGETS (HWY_SVE | HWY_SVE2 | HWY_SVE_256 | HWY_SVE2_128 | HWY_RVV)
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/highway.h>

#include "engine/escape_time_simd.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
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
// Trips of a group between looks at whether one of its slots has finished.
constexpr std::int32_t kTripsPerLook = 8;
constexpr std::size_t kMaxLanes = HWY_LANES(double);
// The point and iterate of a lane that holds no point: its first test fails,
// so it never counts as running.
constexpr double kNoPoint = 1e3;

// When to save a lane's state for the cycle check: at `next`, then at gaps
// that double (Brent's method).
struct SaveSchedule {
    std::int64_t next = 0;
    std::int64_t gap = 0;

    // Whether a save is due at iteration `at`; if so, schedules the next one.
    bool due(std::int64_t at)
    {
        if (at < next)
            return false;
        next = at + gap;
        gap *= 2;  // at most about 2^32 before any limit is reached
        return true;
    }
};

// One vector of points and its iterate.
//
// A slot holds z_n once n iterations are done, untested: the trip that tests
// z_n against the bound also computes z_n+1 from the same squares. count is
// the number of tests passed; a lane whose iterate has escaped never passes
// again (see step), so a lane is still running exactly when it has passed
// every test since it was loaded, and count is then 1 + the iterations it
// survived, the count the reference gives once the lane stops.
struct Slot {
    // Written out: the constructor g++ makes implicitly lacks the instruction
    // set of this pass (Arm's +crypto), so it cannot inline the vectors' own.
    Slot() {}

    V cr, ci;            // the points
    V zr, zi;            // the iterate
    VI count;            // tests passed
    VI loadedCount;      // count when the lanes were loaded (0 for new points)
    M periodic;          // lanes stopped because their state came back
    V savedZr, savedZi;  // the state at the last save (cycle detection only)
    SaveSchedule saves;
    // 64 bits, as end is the limit + 1 and an idle slot keeps counting trips.
    std::int64_t iter = 0;  // trips since the lanes were loaded (new points: iterations done)
    std::int64_t end = 0;   // value of iter at which every lane has reached the limit
    std::int32_t column = 0;
    std::int32_t row0 = 0;
    std::int32_t rows = 0;  // lanes holding grid points; 0 for an idle slot
    bool finished = false;  // no lane ran the group's last trip
};

constexpr int kSlots = 4;
using Group = Slot[kSlots];

// The lanes of s still running: every test passed since they were loaded,
// and not stopped as periodic.
HWY_INLINE M runningLanes(const Slot& s)
{
    const D d;
    const DI di;
    const VI passedAll = hn::Add(s.loadedCount, hn::Set(di, s.iter));
    return hn::AndNot(s.periodic, hn::RebindMask(d, hn::Eq(s.count, passedAll)));
}

// What a trip changes, held apart from the slots: the compiler keeps these in
// registers, while a slot, whose address the cold code takes, stays in memory.
struct Orbit {
    V zr, zi;
    VI count;
};

// Adds one to the count of the lanes that passed.
HWY_INLINE VI countPassed(VI count, M passed, DI di)
{
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
    // A masked addition: one instruction.
    return hn::IfThenElse(hn::RebindMask(di, passed), hn::Add(count, hn::Set(di, std::int64_t{1})),
                          count);
#else
    // A true lane of a mask vector is all ones, that is −1.
    return hn::Sub(count, hn::VecFromMask(di, hn::RebindMask(di, passed)));
#endif
}

// One iteration on every lane: tests z_n and computes z_n+1.
//
// The squares of z_n serve both the test and z_n+1 (the reference squares the
// same values twice, which changes no bit). The test is "passed" when
// |z_n|² <= 10, the reference's "not escaped" except when |z_n|² is NaN; that
// never happens before a lane escapes unless its c is NaN, which refill marks
// as never escaping, as the reference finds it. After an escape |z| only grows
// (|z| > √10 and |c| <= √10, or the escape came at the first iteration with
// |c| > √10: either way |z|² − |c| > |z| with wide margins), overflows to
// infinity and then to NaN, and stays there; no later test passes.
// Returns the lanes that passed: the ones still running.
HWY_INLINE M step(Orbit& o, const V cr, const V ci, const V bound, const DI di)
{
    const V zr2 = hn::Mul(o.zr, o.zr);
    const V zi2 = hn::Mul(o.zi, o.zi);
    const M passed = hn::Le(hn::Add(zr2, zi2), bound);
    o.count = countPassed(o.count, passed, di);
    // zi first: it needs the old zr.
    o.zi = hn::Add(hn::Mul(hn::Add(o.zr, o.zr), o.zi), ci);
    o.zr = hn::Add(hn::Sub(zr2, zi2), cr);
    return passed;
}

// Runs the slots of g together, one iteration on every lane a trip, for
// `budget` trips, or fewer once a slot has no running lane (looked at every
// kTripsPerLook trips, sooner while a slot is young). Books the trips run on
// every slot and returns them.
HWY_INLINE std::int32_t runGroup(Group& g, std::int32_t budget, const V bound)
{
    static_assert(kSlots == 4, "one Orbit below per slot");
    const DI di;
    // Separate variables, not an array: g++ keeps an array of vectors in memory.
    Orbit o0{g[0].zr, g[0].zi, g[0].count};
    Orbit o1{g[1].zr, g[1].zi, g[1].count};
    Orbit o2{g[2].zr, g[2].zi, g[2].count};
    Orbit o3{g[3].zr, g[3].zi, g[3].count};
    // The lanes that passed the last trip's test: a lane that failed once
    // never passes again, so these are the running ones.
    M p0, p1, p2, p3;
    // A young slot is looked at after 1, 2, 4 … trips, so that points that
    // escape at once do not run kTripsPerLook trips each.
    std::int64_t youngest = kTripsPerLook;
    for (const Slot& s : g)
        if (s.rows != 0)
            youngest = std::min(youngest, std::max<std::int64_t>(s.iter, 1));
    std::int32_t trips = 0;
    for (;;) {
        const std::int32_t run = static_cast<std::int32_t>(
            std::min<std::int64_t>({kTripsPerLook, budget - trips, youngest + trips}));
        for (std::int32_t t = 0; t < run; ++t) {
            p0 = step(o0, g[0].cr, g[0].ci, bound, di);
            p1 = step(o1, g[1].cr, g[1].ci, bound, di);
            p2 = step(o2, g[2].cr, g[2].ci, bound, di);
            p3 = step(o3, g[3].cr, g[3].ci, bound, di);
        }
        trips += run;
        g[0].finished = hn::AllFalse(D(), p0);
        g[1].finished = hn::AllFalse(D(), p1);
        g[2].finished = hn::AllFalse(D(), p2);
        g[3].finished = hn::AllFalse(D(), p3);
        // One branch for all four: || would make four.
        if (trips == budget || (int{g[0].finished} | int{g[1].finished} | int{g[2].finished} |
                                int{g[3].finished}) != 0)
            break;
    }
    const auto keep = [trips](const Orbit& o, Slot& s) {
        s.zr = o.zr;
        s.zi = o.zi;
        s.count = o.count;
        s.iter += trips;
    };
    keep(o0, g[0]);
    keep(o1, g[1]);
    keep(o2, g[2]);
    keep(o3, g[3]);
    return trips;
}

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
    std::int64_t count = 0;           // tests passed
    SaveSchedule saves;               // on the scale of count
    std::int32_t* out = nullptr;      // where its count goes
};

// State shared by the slots of one thread.
struct Kernel {
    const EscapeJob& job;
    RowSource source;
    D d;
    DI di;
    V laneIndex = hn::Iota(d, 0.0);
    V bound = hn::Set(d, 10.0);
    V noPoint = hn::Set(d, kNoPoint);
    std::int32_t lanes = static_cast<std::int32_t>(hn::Lanes(d));
    std::int64_t limitCount;  // the count of a point that never escapes

    std::vector<ParkedLane> parked;  // running lanes of old slots, to be packed

    explicit Kernel(const EscapeJob& j)
        : job(j), source(j), limitCount(std::int64_t{j.maxIter} + 1)
    {
    }

    // Loads the next rows into s with their first iteration done (z_1 = c,
    // computed as the reference computes it from z_0 = 0), or makes it idle:
    // c = 0 never escapes, so an idle slot never looks finished and keeps no
    // one waiting.
    void refill(Slot& s)
    {
        const GridFrame& f = job.frame;
        s.count = hn::Set(di, std::int64_t{1});
        s.loadedCount = hn::Zero(di);
        s.iter = 1;
        s.end = limitCount;
        s.periodic = hn::FirstN(d, 0);
        s.savedZr = s.savedZi = hn::Zero(d);
        s.saves = {kCheckFrom, kFirstSaveGap};
        // Rows whose points all escape at the first iteration (far outside
        // the set) are written here, without a trip of the group.
        for (;;) {
            if (!source.next(lanes, s)) {
                s.rows = 0;
                s.cr = s.ci = s.zr = s.zi = hn::Zero(d);
                return;
            }
            const M real = hn::FirstN(d, static_cast<std::size_t>(s.rows));
            const V cr = hn::Set(d, static_cast<double>(s.column) * f.d + f.x0);
            // Row j's imaginary part is j·d + y0, multiplied and added apart
            // as in the reference; row0 + lane is an exact small integer.
            const V j = hn::Add(laneIndex, hn::Set(d, static_cast<double>(s.row0)));
            const V ci = hn::Add(hn::Mul(j, hn::Set(d, f.d)), hn::Set(d, f.y0));
            s.cr = hn::IfThenElse(real, cr, noPoint);
            s.ci = hn::IfThenElse(real, ci, noPoint);
            // z_1 = (0² − 0²) + c, (0 + 0)·0 + c: +0 + c, which turns a −0
            // into +0.
            s.zr = hn::Add(hn::Zero(d), s.cr);
            s.zi = hn::Add(hn::Zero(d), s.ci);
            // A NaN in c makes every iterate NaN, which never escapes.
            s.periodic = hn::And(real, hn::Or(hn::IsNaN(cr), hn::IsNaN(ci)));
            // The reference's first test, on z_1; a count of 1 each if all escape.
            const V size1 = hn::Add(hn::Mul(s.zr, s.zr), hn::Mul(s.zi, s.zi));
            if (!hn::AllTrue(d, hn::Or(hn::Gt(size1, bound), hn::Not(real))))
                return;
            store(s);
        }
    }

    std::int32_t* columnOf(const Slot& s) const
    {
        return job.counts +
               static_cast<std::ptrdiff_t>(s.column - job.firstColumn) * job.columnStride;
    }

    void store(const Slot& s)
    {
        HWY_ALIGN std::int64_t counts[kMaxLanes];
        hn::Store(hn::IfThenElse(hn::RebindMask(di, s.periodic), hn::Set(di, limitCount), s.count),
                  di, counts);
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
        hn::Store(hn::VecFromMask(di, hn::RebindMask(di, runningLanes(s))), di, running);
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
            p.saves = {count[l] + kFirstSaveGap, 2 * kFirstSaveGap};
            p.out = column + s.row0 + l;
            parked.push_back(p);
        }
    }

    // Trips s may still run before every lane reaches the limit; the most an
    // int32 holds for an idle slot.
    static std::int32_t headroom(const Slot& s)
    {
        constexpr std::int32_t kIdle = std::numeric_limits<std::int32_t>::max();
        if (s.rows == 0)
            return kIdle;
        return static_cast<std::int32_t>(std::min<std::int64_t>(s.end - s.iter, kIdle - 1));
    }

    // A slot that is done (every lane stopped, or the limit reached) stores
    // and reloads; with mayPark, so does one that has grown old, parking its
    // running lanes.
    void settle(Slot& s, bool mayPark)
    {
        if (s.rows == 0)
            return;
        // A lane stopped at the last checkpoint still counts as running
        // here; its slot finishes after the next trip.
        if (s.iter == s.end || s.finished) {
            store(s);
            refill(s);
        } else if (mayPark && s.iter >= kParkFrom) {
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
                               runningLanes(s));
        s.periodic = hn::Or(s.periodic, back);
        // A stopped lane fails its next test, so its count stays.
        s.cr = hn::IfThenElse(back, noPoint, s.cr);
        s.ci = hn::IfThenElse(back, noPoint, s.ci);
        s.zr = hn::IfThenElse(back, noPoint, s.zr);
        s.zi = hn::IfThenElse(back, noPoint, s.zi);
        if (s.saves.due(s.iter)) {
            s.savedZr = s.zr;
            s.savedZi = s.zi;
        }
    }
};

// Trips from `trip` to the next checkpoint at which a slot of age `oldest`
// (iterations) or more is old enough to be checked.
HWY_INLINE std::int64_t tripsToCheck(std::int64_t trip, std::int64_t oldest)
{
    const std::int64_t from = trip + std::max<std::int64_t>(1, std::int64_t{kCheckFrom} - oldest);
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

// Puts the lanes of p into s. Lanes not in use hold no point; a pack with no
// lane in use makes s idle (c = 0, which never finishes), so that it does not
// end the group's runs early.
void loadPack(const Pack& p, Slot& s, const Kernel& k)
{
    const D d;
    const DI di;
    HWY_ALIGN double cr[kMaxLanes], ci[kMaxLanes], zr[kMaxLanes], zi[kMaxLanes];
    HWY_ALIGN std::int64_t count[kMaxLanes];
    const std::size_t lanes = static_cast<std::size_t>(k.lanes);
    s.rows = 0;
    s.end = std::numeric_limits<std::int64_t>::max();
    for (std::size_t l = 0; l < lanes; ++l) {
        const ParkedLane& q = p.lane[l];
        const bool used = p.used[l];
        cr[l] = used ? q.cr : kNoPoint;
        ci[l] = used ? q.ci : kNoPoint;
        zr[l] = used ? q.zr : kNoPoint;
        zi[l] = used ? q.zi : kNoPoint;
        count[l] = used ? q.count : 0;
        if (used) {
            ++s.rows;
            // Every lane in use is below the limit, so end >= 1.
            s.end = std::min(s.end, k.limitCount - q.count);
        }
    }
    s.cr = s.rows == 0 ? hn::Zero(d) : hn::Load(d, cr);
    s.ci = s.rows == 0 ? hn::Zero(d) : hn::Load(d, ci);
    s.zr = s.rows == 0 ? hn::Zero(d) : hn::Load(d, zr);
    s.zi = s.rows == 0 ? hn::Zero(d) : hn::Load(d, zi);
    s.count = s.loadedCount = hn::Load(di, count);
    s.periodic = hn::FirstN(d, 0);
    s.iter = 0;
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
    hn::Store(hn::VecFromMask(di, hn::RebindMask(di, runningLanes(s))), di, running);
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
        } else if (q.saves.due(q.count)) {
            q.savedZr = q.zr;
            q.savedZi = q.zi;
        }
    }
}

// Runs the thread's parked lanes, packed into a group of slots, to the end.
void runParked(Kernel& k)
{
    const std::size_t lanes = static_cast<std::size_t>(k.lanes);
    std::size_t next = 0;
    Pack packs[kSlots];
    Group g;
    for (;;) {
        bool any = false;
        for (Pack& p : packs)
            any = fillPack(p, k.parked, next, lanes) || any;
        if (!any)
            break;
        std::int32_t budget = kParkedCheckEvery;
        for (int i = 0; i < kSlots; ++i) {
            loadPack(packs[i], g[i], k);
            budget = std::min(budget, Kernel::headroom(g[i]));
        }
        runGroup(g, budget, k.bound);
        for (int i = 0; i < kSlots; ++i)
            unloadPack(packs[i], g[i], lanes, k.limitCount);
    }
    k.parked.clear();
}

template <bool kStopCycles>
void ComputeColumnsImpl(const EscapeJob& job)
{
    Kernel k(job);
    Group g;
    for (Slot& s : g)
        k.refill(s);
    std::int64_t trip = 0;  // trips of this thread's slots so far: the checkpoints' clock
    for (;;) {
        // Run the group until a slot finishes or reaches the limit.
        std::int32_t budget = std::numeric_limits<std::int32_t>::max();
        std::int64_t oldest = 0;
        for (const Slot& s : g) {
            budget = std::min(budget, Kernel::headroom(s));
            oldest = std::max(oldest, s.rows == 0 ? 0 : s.iter);
        }
        if (budget == std::numeric_limits<std::int32_t>::max()) {
            // All idle: every row is taken.
            if constexpr (kStopCycles)
                runParked(k);
            return;
        }
        bool checkpoint = false;
        if constexpr (kStopCycles) {
            const std::int64_t toCheck = tripsToCheck(trip, oldest);
            if (toCheck <= budget) {
                budget = static_cast<std::int32_t>(toCheck);
                checkpoint = true;
            }
        }
        const std::int32_t trips = runGroup(g, budget, k.bound);
        if constexpr (kStopCycles) {
            trip += trips;
            if (checkpoint && trips == budget)
                for (Slot& s : g)
                    k.checkCycles(s);
        }
        for (Slot& s : g)
            k.settle(s, kStopCycles);
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
