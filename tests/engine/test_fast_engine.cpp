// The fast engine against the scalar reference, on every instruction set this
// machine can run, with any number of threads, doing the full work and
// stopping points that cycle: the grids must be identical. The comparisons
// have one row per instruction set ("AVX2/start-up region"), so a failure
// names the set.

#include "bench/grid_checksum.h"
#include "engine/escape_time.h"
#include "engine/escape_time_scalar.h"
#include "engine/escape_time_simd.h"
#include "engine/mandel11.h"
#include "tests/support/engine_regions.h"

#include <hwy/targets.h>

#include <QDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace quilfen;

Q_DECLARE_METATYPE(quilfen::CalcCondition)

namespace {

using Region = EngineRegion;

// Random regions here: limits up to 200 sometimes get the full grid, where
// the sharing of columns among threads matters most.
constexpr RegionSizes kRandomSizes{25, 70, 25};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint64_t testSeed()
{
    bool ok = false;
    const auto fromEnv = qEnvironmentVariable("QUILFEN_TEST_SEED").toULongLong(&ok);
    return ok ? fromEnv : (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
}

}  // namespace

class TestFastEngine : public QObject {
    Q_OBJECT
private:
    std::uint64_t m_seed = 0;
    // The reference's counts of each region met so far (its points only),
    // so that the rows of the instruction sets compute it once.
    std::map<std::string, std::vector<std::int32_t>> m_references;

    // The instruction sets compiled into the kernel that this CPU runs, best
    // first: the rows of the comparisons (also when only listed, before
    // initTestCase).
    static const std::vector<std::int64_t>& targets()
    {
        static const std::vector<std::int64_t> runnable = runnableTargets();
        return runnable;
    }

    // A row of a comparison on one instruction set: tag "SET/case", and the
    // set in the column "target".
    static QTestData& targetRow(std::int64_t target, const char* tag)
    {
        return QTest::addRow("%s/%s", hwy::TargetName(target), tag) << qint64(target);
    }

    // The scalar reference's grid of r, untouched outside its points.
    std::unique_ptr<IterGrid> referenceGrid(const Region& r)
    {
        auto grid = untouchedGrid();
        const std::size_t side =
            std::min<std::size_t>(2 * static_cast<std::size_t>(r.halfSize) + 1, grid->size());
        std::vector<std::int32_t>& counts = m_references[describe(r)];
        if (counts.empty()) {
            computeIterMapScalar(r.cond, r.halfSize, r.maxIter, *grid);
            for (std::size_t i = 0; i < side; ++i)
                counts.insert(counts.end(), (*grid)[i].begin(), (*grid)[i].begin() + side);
        } else {
            for (std::size_t i = 0; i < side; ++i)
                std::copy_n(counts.begin() + i * side, side, (*grid)[i].begin());
        }
        return grid;
    }

    // Computes r on target with each kind of work asked for and compares
    // each grid, untouched entries included, with the reference's.
    void compareOnTarget(const Region& r, const IterGrid& reference, std::int64_t target,
                         std::initializer_list<EngineWork> works = {EngineWork::Full,
                                                                    EngineWork::StopCycles})
    {
        auto fast = untouchedGrid();
        hwy::SetSupportedTargetsForTest(target);
        for (const EngineWork work : works) {
            fillUntouched(*fast);
            computeIterMap(r.cond, r.halfSize, r.maxIter, *fast, work);
            const QString diff = QString::fromStdString(firstDifference(reference, *fast));
            QVERIFY2(diff.isEmpty(),
                     qPrintable(QStringLiteral("%1 on %2, %3: %4")
                                    .arg(QString::fromStdString(describe(r)), hwy::TargetName(target),
                                         work == EngineWork::Full ? "full work" : "stopping cycles", diff)));
        }
        hwy::SetSupportedTargetsForTest(0);
    }

private slots:
    void initTestCase()
    {
        QStringList names;
        for (const auto t : targets())
            names << hwy::TargetName(t);
        qInfo("instruction sets under test: %s", qPrintable(names.join(QLatin1Char(' '))));
        m_seed = testSeed();
        qInfo("random regions from seed %llu (set QUILFEN_TEST_SEED to repeat)",
              static_cast<unsigned long long>(m_seed));
    }

    void cleanupTestCase() { m_references.clear(); }

    void init()
    {
        resetEngineState();
        hwy::SetSupportedTargetsForTest(0);
        setEngineThreads(0);
    }

    void cleanup()
    {
        hwy::SetSupportedTargetsForTest(0);
        setEngineThreads(0);
        resetEngineState();
    }

    // The best of the runnable sets is what runs by default.
    void bestTargetRunsByDefault()
    {
        QVERIFY(!targets().empty());
        QCOMPARE(QString::fromStdString(simdTargetName()),
                 QString::fromLatin1(hwy::TargetName(targets().front())));
    }

    void everyRunnableTargetCanBeForced_data()
    {
        QTest::addColumn<qint64>("target");
        for (const std::int64_t target : targets())
            QTest::newRow(hwy::TargetName(target)) << qint64(target);
    }
    void everyRunnableTargetCanBeForced()
    {
        QFETCH(qint64, target);
        hwy::SetSupportedTargetsForTest(target);
        QCOMPARE(QString::fromStdString(simdTargetName()),
                 QString::fromLatin1(hwy::TargetName(target)));
    }

    // The same regions on every set: drawn from the one seed of the run.
    void randomRegionsMatchTheReference_data() { everyRunnableTargetCanBeForced_data(); }
    void randomRegionsMatchTheReference()
    {
        QFETCH(qint64, target);
        std::mt19937_64 rng(m_seed);
        int escapedSomewhere = 0;
        int neverEscapedSomewhere = 0;
        for (int n = 0; n < 320; ++n) {
            const Region r = randomRegion(rng, kRandomSizes);
            const auto reference = referenceGrid(r);
            // Each kind of work on every other region keeps the run short.
            compareOnTarget(r, *reference, target, {n % 2 == 0 ? EngineWork::Full : EngineWork::StopCycles});
            if (QTest::currentTestFailed())
                return;
            const auto& centre = (*reference)[static_cast<std::size_t>(r.halfSize)];
            const std::int32_t m = centre[static_cast<std::size_t>(r.halfSize)];
            (m == r.maxIter + 1 ? neverEscapedSomewhere : escapedSomewhere)++;
        }
        // The draw covers both kinds of point.
        QVERIFY(escapedSomewhere > 0);
        QVERIFY(neverEscapedSomewhere > 0);
    }

    void edgeCases_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<CalcCondition>("cond");
        QTest::addColumn<int>("halfSize");
        QTest::addColumn<int>("maxIter");
        for (const std::int64_t target : targets()) {
            targetRow(target, "start-up region") << CalcCondition{-0.5, 0.0, 2.5} << 200 << 500;
            targetRow(target, "benchmark region") << CalcCondition{-0.15, 0.8, 0.4} << 200 << 500;
            targetRow(target, "c=4 escapes at once") << CalcCondition{4.0, 0.0, 0.0} << 3 << 500;
            targetRow(target, "c=3 escapes second") << CalcCondition{3.0, 0.0, 0.0} << 3 << 500;
            targetRow(target, "c=1+3i: exactly 10 is no escape") << CalcCondition{1.0, 3.0, 0.0} << 3 << 500;
            targetRow(target, "c=-2 never escapes") << CalcCondition{-2.0, 0.0, 0.0} << 3 << 500;
            // Not finite: a NaN anywhere in c never escapes, an infinite c at once.
            targetRow(target, "c=0.3+NaN·i never escapes") << CalcCondition{0.3, kNaN, 0.0} << 3 << 500;
            targetRow(target, "c=NaN+0.2i never escapes") << CalcCondition{kNaN, 0.2, 0.0} << 3 << 500;
            targetRow(target, "c=inf escapes at once") << CalcCondition{kInf, 0.0, 0.0} << 3 << 500;
            targetRow(target, "c=-inf+inf·i escapes at once") << CalcCondition{-kInf, kInf, 0.0} << 3 << 500;
            targetRow(target, "infinite range: NaN and infinite points")
                << CalcCondition{-0.5, 0.0, kInf} << 3 << 500;
            targetRow(target, "limit 1") << CalcCondition{0.0, 0.0, 10.0} << 200 << 1;
            targetRow(target, "limit 2") << CalcCondition{-0.5, 0.0, 5.0} << 200 << 2;
            targetRow(target, "zero range") << CalcCondition{0.3, 0.5, 0.0} << 60 << 500;
            targetRow(target, "negative range") << CalcCondition{-0.5, 0.0, -2.5} << 200 << 500;
            targetRow(target, "range 1e-13")
                << CalcCondition{-0.743643887037151, 0.131825904205330, 1e-13} << 100 << 1000;
            targetRow(target, "largest grid") << CalcCondition{-0.5, 0.0, 3.0} << 250 << 300;
            targetRow(target, "one point") << CalcCondition{-0.5, 0.0, 2.5} << 0 << 500;
            targetRow(target, "three points a side") << CalcCondition{-0.5, 0.0, 2.5} << 1 << 500;
            targetRow(target, "limit 0 runs no iteration") << CalcCondition{-0.5, 0.0, 2.5} << 20 << 0;
        }
    }
    void edgeCases()
    {
        QFETCH(qint64, target);
        QFETCH(CalcCondition, cond);
        QFETCH(int, halfSize);
        QFETCH(int, maxIter);
        const Region r{cond, halfSize, maxIter};
        compareOnTarget(r, *referenceGrid(r), target);
    }

    // Points just right of c = 1/4 escape after roughly π/√ε iterations.
    void longLimits_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("maxIter");
        QTest::addColumn<int>("slowestEscapeAbove");
        for (const std::int64_t target : targets()) {
            targetRow(target, "limit 32766 across its edge") << 8e-9 << 8e-9 << 32766 << 30000;
            targetRow(target, "limit 1,000,000, counts past 16 bits") << 2e-10 << 8e-10 << 1000000 << 65536;
        }
    }
    void longLimits()
    {
        QFETCH(qint64, target);
        QFETCH(double, offset);
        QFETCH(double, range);
        QFETCH(int, maxIter);
        QFETCH(int, slowestEscapeAbove);
        const Region r{{0.25 + offset, 0.0, range}, 3, maxIter};
        const auto reference = referenceGrid(r);
        // The region holds both points that stay within the limit and slow escapes.
        int inside = 0;
        std::int32_t slowest = 0;
        for (int i = 0; i <= 6; ++i)
            for (int j = 0; j <= 6; ++j) {
                const std::int32_t m = (*reference)[i][j];
                if (m == maxIter + 1)
                    ++inside;
                else
                    slowest = std::max(slowest, m);
            }
        QVERIFY(inside > 0);
        QVERIFY2(slowest > slowestEscapeAbove, qPrintable(QString::number(slowest)));
        compareOnTarget(r, *reference, target);
    }

    // Small regions across the edge of the main cardioid or of the period-2
    // bulb at high limits: points that settle on a cycle only after many
    // iterations next to points that escape late, both kinds of work.
    void highLimitsAcrossTheEdge_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<double>("turn");   // angle on the edge, in turns: 0 … 1
        QTest::addColumn<bool>("bulb");     // the period-2 bulb, else the cardioid
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("maxIter");
        for (const std::int64_t target : targets()) {
            targetRow(target, "cardioid, limit 100000") << 0.0954 << false << 1e-6 << 100000;
            targetRow(target, "period-2 bulb, limit 100000") << 0.0583 << true << 1e-6 << 100000;
            targetRow(target, "cardioid, limit 1000000") << 0.44362022665176243 << false << 1e-7 << 1000000;
            targetRow(target, "period-2 bulb, limit 1000000") << 0.4494 << true << 1e-7 << 1000000;
        }
    }
    void highLimitsAcrossTheEdge()
    {
        QFETCH(qint64, target);
        QFETCH(double, turn);
        QFETCH(bool, bulb);
        QFETCH(double, range);
        QFETCH(int, maxIter);
        const double t = 2.0 * M_PI * turn;
        const double re = bulb ? -1.0 + 0.25 * std::cos(t) : 0.5 * std::cos(t) - 0.25 * std::cos(2 * t);
        const double im = bulb ? 0.25 * std::sin(t) : 0.5 * std::sin(t) - 0.25 * std::sin(2 * t);
        const Region r{{re, im, range}, 4, maxIter};
        const auto reference = referenceGrid(r);
        int inside = 0;
        std::int32_t slowest = 0;
        for (int i = 0; i <= 8; ++i)
            for (int j = 0; j <= 8; ++j) {
                const std::int32_t m = (*reference)[i][j];
                if (m == maxIter + 1)
                    ++inside;
                else
                    slowest = std::max(slowest, m);
            }
        qInfo("%d of 81 points inside, slowest escape %d", inside, slowest);
        QVERIFY(inside > 0);
        QVERIFY2(slowest > maxIter / 2, qPrintable(QString::number(slowest)));
        compareOnTarget(r, *reference, target);
    }

    // Whole pictures at high limits against the scalar reference's stored
    // checksums, stopping cycles (the full work would take minutes).
    void storedPicturesMatchTheReference_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<int>("index");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        // Whole pictures at these limits take minutes under a sanitizer; what
        // it looks for does not depend on the instruction set, so the best one
        // stands in there. The normal build compares every set.
        const std::vector<std::int64_t> sets(targets().begin(), targets().begin() + 1);
#else
        const std::vector<std::int64_t>& sets = targets();
#endif
        for (const std::int64_t target : sets)
            for (std::size_t k = 0; k < storedRegions().size(); ++k)
                targetRow(target, storedRegions()[k].name) << static_cast<int>(k);
    }
    void storedPicturesMatchTheReference()
    {
        QFETCH(qint64, target);
        QFETCH(int, index);
        const StoredRegion& stored = storedRegions()[static_cast<std::size_t>(index)];
        const Region& r = stored.region;
        auto grid = untouchedGrid();
        hwy::SetSupportedTargetsForTest(target);
        computeIterMap(r.cond, r.halfSize, r.maxIter, *grid, EngineWork::StopCycles);
        QVERIFY2(gridChecksum(*grid, r.halfSize) == stored.checksum, hwy::TargetName(target));
        hwy::SetSupportedTargetsForTest(0);
    }

    void threadCountsGiveIdenticalGrids_data()
    {
        QTest::addColumn<CalcCondition>("cond");
        QTest::addColumn<int>("maxIter");
        QTest::newRow("benchmark region") << CalcCondition{-0.15, 0.8, 0.4} << 500;
        QTest::newRow("deep spiral") << CalcCondition{-0.743643887037151, 0.131825904205330, 1e-4}
                                     << 2000;
        QTest::newRow("limit 1") << CalcCondition{-0.15, 0.8, 0.4} << 1;
    }
    void threadCountsGiveIdenticalGrids()
    {
        QFETCH(CalcCondition, cond);
        QFETCH(int, maxIter);
        auto reference = untouchedGrid();
        computeIterMapScalar(cond, 200, maxIter, *reference);
        const int all = setEngineThreads(0);
        for (const int threads : {1, all, 2, 3, 8}) {
            QCOMPARE(setEngineThreads(threads), threads);
            auto grid = untouchedGrid();
            // Several times: the sharing of columns differs from run to run.
            for (int repeat = 0; repeat < 3; ++repeat) {
                computeIterMap(cond, 200, maxIter, *grid,
                               repeat == 1 ? EngineWork::Full : EngineWork::StopCycles);
                const QString diff = QString::fromStdString(firstDifference(*reference, *grid));
                QVERIFY2(diff.isEmpty(),
                         qPrintable(QStringLiteral("%1 threads: %2").arg(threads).arg(diff)));
            }
        }
    }

    void threadSetting()
    {
        const int hardware = setEngineThreads(0);
        QVERIFY(hardware >= 1);
        QCOMPARE(engineThreads(), hardware);
        QCOMPARE(setEngineThreads(1), 1);
        QCOMPARE(engineThreads(), 1);
        QCOMPARE(setEngineThreads(5), 5);
        QCOMPARE(engineThreads(), 5);
        QCOMPARE(setEngineThreads(-3), hardware);
        QCOMPARE(engineThreads(), hardware);
    }

    void callsCreateNoThread()
    {
        const QDir tasks(QStringLiteral("/proc/self/task"));
        if (!tasks.exists())
            QSKIP("no /proc/self/task to count threads in");
        setEngineThreads(4);
        HalfSize = 200;
        MaxIter = 50;
        CalcCond = {-0.5, 0.0, 2.5};
        CalcMandel();
        const auto before = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        QVERIFY(before >= 4);  // the caller and its three helpers
        for (int k = 0; k < 20; ++k)
            CalcMandel();
        QCOMPARE(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), before);
    }

    void calcMandelWritesTheReferenceGrid()
    {
        HalfSize = 200;
        MaxIter = 500;
        CalcCond = {-0.15, 0.8, 0.4};
        auto reference = untouchedGrid();
        computeIterMapScalar(CalcCond, HalfSize, MaxIter, *reference);
        for (auto& column : IterMap)
            column.fill(kUntouched);
        CalcMandel();
        const std::string diff = firstDifference(*reference, IterMap);
        QVERIFY2(diff.empty(), diff.c_str());
        QCOMPARE(DrawnCond, CalcCond);
    }

    // Beyond kMaxHalfSize the reference would write outside the grid; the
    // engine computes the points that fit and leaves the rest alone.
    void oversizedHalfSizeStaysInTheGrid()
    {
        const CalcCondition cond{-0.5, 0.0, 2.5};
        auto grid = untouchedGrid();
        computeIterMap(cond, 300, 200, *grid);
        const GridFrame f = gridFrame(cond, 600);
        for (const int i : {0, 123, 500})
            for (const int j : {0, 321, 500}) {
                const double cr = static_cast<double>(i) * f.d + f.x0;
                const double ci = static_cast<double>(j) * f.d + f.y0;
                QCOMPARE((*grid)[i][j], escapeCount(cr, ci, 200));
            }
    }
};

QTEST_APPLESS_MAIN(TestFastEngine)
#include "test_fast_engine.moc"
