// The benchmark's arithmetic: tick differences, seconds, rate and ratio texts;
// the spread of the timed runs and what it means for the result.

#include "bench/bench_verdict.h"
#include "bench/benchmark_figures.h"
#include "bench/grid_checksum.h"
#include "bench/instruction_set_name.h"
#include "bench/machine_record.h"
#include "bench/run_statistics.h"
#include "bench/steady_runs.h"

#include <QTest>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace quilfen;

Q_DECLARE_METATYPE(std::uint32_t)

class TestBenchmarkFigures : public QObject {
    Q_OBJECT
private slots:
    void settlingEndsAFullSecondOnEvenAcrossAWrap_data()
    {
        QTest::addColumn<std::uint32_t>("t0");
        QTest::addColumn<std::uint32_t>("now");
        QTest::addColumn<bool>("done");
        QTest::newRow("same reading") << 5000U << 5000U << false;
        QTest::newRow("one tick short") << 5000U << 5999U << false;
        QTest::newRow("exactly one second") << 5000U << 6000U << true;
        QTest::newRow("well past") << 5000U << 9000U << true;
        QTest::newRow("wrapped, one tick short") << 0xFFFFFE00U << 0x000001E7U << false;
        QTest::newRow("wrapped, exactly one second") << 0xFFFFFE00U << 0x000001E8U << true;
        QTest::newRow("just before the wrap, not yet") << 0xFFFFFFFFU << 0x000003E6U << false;
        QTest::newRow("just before the wrap, done") << 0xFFFFFFFFU << 0x000003E7U << true;
    }
    void settlingEndsAFullSecondOnEvenAcrossAWrap()
    {
        QFETCH(std::uint32_t, t0);
        QFETCH(std::uint32_t, now);
        QFETCH(bool, done);
        QCOMPARE(ticksReached(t0, kSettlingMs, now), done);
    }

    // A wait sleeps through what is left of it but its last 5 ms.
    void waitSleepsAllButTheLastMilliseconds_data()
    {
        QTest::addColumn<std::uint32_t>("start");
        QTest::addColumn<std::uint32_t>("now");
        QTest::addColumn<std::uint32_t>("sleep");
        QTest::newRow("at the start") << 5000U << 5000U << 995U;
        QTest::newRow("half way") << 5000U << 5500U << 495U;
        QTest::newRow("6 ms left") << 5000U << 5994U << 1U;
        QTest::newRow("5 ms left: polled") << 5000U << 5995U << 0U;
        QTest::newRow("1 ms left: polled") << 5000U << 5999U << 0U;
        QTest::newRow("over") << 5000U << 6000U << 0U;
        QTest::newRow("well past") << 5000U << 9000U << 0U;
        QTest::newRow("across the wrap") << 0xFFFFFF00U << 0x000000F4U << 495U;
        QTest::newRow("counter went backwards: over") << 5000U << 4999U << 0U;
    }
    void waitSleepsAllButTheLastMilliseconds()
    {
        QFETCH(std::uint32_t, start);
        QFETCH(std::uint32_t, now);
        QFETCH(std::uint32_t, sleep);
        QCOMPARE(sleepableTicks(start, kSettlingMs, now), sleep);
    }

    void secondsAreAQuarterOfTheElapsedMilliseconds_data()
    {
        QTest::addColumn<std::uint32_t>("ts");
        QTest::addColumn<std::uint32_t>("t1");
        QTest::addColumn<float>("seconds");
        QTest::newRow("4936 ms") << 100000U << 104936U << 1.234F;
        QTest::newRow("1234 ms") << 100000U << 101234U << 0.3085F;
        QTest::newRow("4000 ms") << 100000U << 104000U << 1.0F;
        QTest::newRow("20000 ms") << 100000U << 120000U << 5.0F;
        QTest::newRow("5193 ms") << 100000U << 105193U << 1.29825F;
        QTest::newRow("0 ms") << 100000U << 100000U << 0.0F;
        QTest::newRow("4936 ms across the wrap") << 0xFFFFF000U << 0x00000348U << 1.234F;
        QTest::newRow("4936 ms ending on the wrap") << 0xFFFFECB8U << 0x00000000U << 1.234F;
    }
    void secondsAreAQuarterOfTheElapsedMilliseconds()
    {
        QFETCH(std::uint32_t, ts);
        QFETCH(std::uint32_t, t1);
        QFETCH(float, seconds);
        QCOMPARE(secondsPerComputation(ts, t1), seconds);
    }

    void textsOfTheWorkedExamples_data()
    {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("flops");
        QTest::addColumn<QString>("ratio");
        QTest::newRow("4936 ms") << 1.234F << "1.234" << "259" << "1.05";
        QTest::newRow("1234 ms, half digit rounds up") << 0.3085F << "0.309" << "1037" << "4.21";
        QTest::newRow("4000 ms, whole second") << 1.0F << "1." << "320" << "1.30";
        QTest::newRow("20000 ms, slower than the reference") << 5.0F << "5." << "64" << "0.26";
        QTest::newRow("5193 ms, next to the reference") << 1.29825F << "1.298" << "246" << "1.00";
        QTest::newRow("2 ms, fastest measurable") << 0.0005F << "0.001" << "640000" << "2596.60";
        QTest::newRow("0 ms, no rate and no ratio") << 0.0F << "0." << "-" << "-";
    }
    void textsOfTheWorkedExamples()
    {
        QFETCH(float, seconds);
        QFETCH(QString, time);
        QFETCH(QString, flops);
        QFETCH(QString, ratio);
        QCOMPARE(QString::fromStdString(secondsText(seconds)), time);
        QCOMPARE(QString::fromStdString(mflopsText(seconds)), flops);
        QCOMPARE(QString::fromStdString(ratioText(seconds)), ratio);
    }

    void rateRoundsHalvesUp_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("mflops");
        QTest::newRow("0.5 rounds up to 1") << 640.0 << 1.0;
        QTest::newRow("2.5 rounds up to 3") << 128.0 << 3.0;
        QTest::newRow("just below 0.5 rounds down") << 640.5 << 0.0;
        QTest::newRow("whole") << 0.5 << 640.0;
    }
    void rateRoundsHalvesUp()
    {
        QFETCH(double, seconds);
        QFETCH(double, mflops);
        QCOMPARE(mflopsFigure(seconds), mflops);
    }

    void medianOfTheTimedRuns_data()
    {
        QTest::addColumn<QList<double>>("seconds");
        QTest::addColumn<double>("median");
        QTest::newRow("none") << QList<double>{} << 0.0;
        QTest::newRow("one") << QList<double>{0.25} << 0.25;
        QTest::newRow("odd count, unsorted") << QList<double>{0.5, 0.125, 0.25} << 0.25;
        QTest::newRow("even count: mean of the middle two")
            << QList<double>{0.5, 0.125, 0.25, 1.0} << 0.375;
        QTest::newRow("an outlier does not move it") << QList<double>{0.2, 0.2, 9.0} << 0.2;
    }
    void medianOfTheTimedRuns()
    {
        QFETCH(QList<double>, seconds);
        QFETCH(double, median);
        QCOMPARE(medianSeconds(std::vector<double>(seconds.begin(), seconds.end())), median);
    }

    void ratioIsAgainstTheReferenceTime()
    {
        QCOMPARE(referenceRatio(1.2983), 1.0);
        QCOMPARE(referenceRatio(2.0 * 1.2983), 0.5);
    }

    // Scripted durations, with the spread worked out by hand: mean 1, sample
    // standard deviation sqrt(sum of squared deviations / (n - 1)).
    void spreadOfScriptedRuns_data()
    {
        QTest::addColumn<QList<double>>("seconds");
        QTest::addColumn<double>("best");
        QTest::addColumn<double>("median");
        QTest::addColumn<double>("worst");
        QTest::addColumn<double>("variation");
        QTest::addColumn<bool>("stable");
        QTest::newRow("equal runs: stable") << QList<double>{0.5, 0.5, 0.5} << 0.5 << 0.5 << 0.5 << 0.0 << true;
        QTest::newRow("2 % apart: stable") << QList<double>{1.02, 0.98, 1.0} << 0.98 << 1.0 << 1.02 << 0.02 << true;
        QTest::newRow("3.1 % apart: unstable")
            << QList<double>{0.969, 1.0, 1.031} << 0.969 << 1.0 << 1.031 << 0.031 << false;
        QTest::newRow("one slow run of five: unstable")
            << QList<double>{0.9, 0.9, 1.4, 0.9, 0.9} << 0.9 << 0.9 << 1.4 << std::sqrt(0.2 / 4.0) / 1.0 << false;
        QTest::newRow("two equal runs: too few to be stable")
            << QList<double>{0.5, 0.5} << 0.5 << 0.5 << 0.5 << 0.0 << false;
        QTest::newRow("one run: no spread, too few") << QList<double>{0.25} << 0.25 << 0.25 << 0.25 << 0.0 << false;
    }
    void spreadOfScriptedRuns()
    {
        QFETCH(QList<double>, seconds);
        QFETCH(double, best);
        QFETCH(double, median);
        QFETCH(double, worst);
        QFETCH(double, variation);
        QFETCH(bool, stable);
        const RunStatistics s = runStatistics(std::vector<double>(seconds.begin(), seconds.end()));
        QCOMPARE(s.runs, std::size_t(seconds.size()));
        QCOMPARE(s.best, best);
        QCOMPARE(s.median, median);
        QCOMPARE(s.worst, worst);
        QVERIFY2(std::fabs(s.variation - variation) < 1e-12, qPrintable(QString::number(s.variation, 'g', 17)));
        QCOMPARE(s.stable, stable);
    }

    // A scripted clock: each run takes the next of the given seconds.
    void moreRunsWhileTheRunsVary_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("extend");
        QTest::addColumn<double>("limit");
        QTest::addColumn<QList<double>>("clock");
        QTest::addColumn<QList<double>>("kept");
        QTest::addColumn<int>("earlier");
        QTest::newRow("steady at once: no more runs")
            << 3 << true << 100.0 << QList<double>{1, 1, 1, 9} << QList<double>{1, 1, 1} << 0;
        QTest::newRow("a slow first run: one more, the last three kept")
            << 3 << true << 100.0 << QList<double>{2, 1, 1, 1, 9} << QList<double>{1, 1, 1} << 1;
        // 1+2+1 = 4; +1 (median 1) = 5 ≤ 10, runs 2: 6; +2 = 8 ≤ 10, runs 1: 7;
        // +1 = 8 ≤ 10, runs 2: 9; +2 = 11 > 10: stops, unstable.
        QTest::newRow("never steady: stops before passing the limit")
            << 3 << true << 10.0 << QList<double>{1, 2, 1, 2, 1, 2, 9} << QList<double>{2, 1, 2} << 3;
        QTest::newRow("a count given: taken as it is")
            << 3 << false << 100.0 << QList<double>{2, 1, 1, 9} << QList<double>{2, 1, 1} << 0;
        QTest::newRow("two runs cannot be stable: no more runs")
            << 2 << true << 100.0 << QList<double>{2, 1, 9} << QList<double>{2, 1} << 0;
    }
    void moreRunsWhileTheRunsVary()
    {
        QFETCH(int, count);
        QFETCH(bool, extend);
        QFETCH(double, limit);
        QFETCH(QList<double>, clock);
        QFETCH(QList<double>, kept);
        QFETCH(int, earlier);
        qsizetype next = 0;
        const TimedRuns runs = takeRuns(RunPlan{std::size_t(count), extend, limit}, [&] {
            return next < clock.size() ? clock[next++] : 1000.0;
        });
        QCOMPARE(QList<double>(runs.seconds.begin(), runs.seconds.end()), kept);
        QCOMPARE(runs.earlier, std::size_t(earlier));
        QCOMPARE(next, qsizetype(count + earlier));
    }

    void exitStatusOfAResult_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("stable");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<int>("status");
        QTest::newRow("valid and stable") << true << true << false << 0;
        QTest::newRow("valid and stable, strict") << true << true << true << 0;
        QTest::newRow("unstable passes by default") << true << false << false << 0;
        QTest::newRow("unstable, strict: 3") << true << false << true << 3;
        QTest::newRow("invalid: 1") << false << true << false << 1;
        QTest::newRow("invalid and unstable, strict: invalid wins") << false << false << true << 1;
    }
    void exitStatusOfAResult()
    {
        QFETCH(bool, valid);
        QFETCH(bool, stable);
        QFETCH(bool, strict);
        QFETCH(int, status);
        QCOMPARE(benchExitStatus(valid, stable, strict), status);
    }

    void processorNames_data()
    {
        QTest::addColumn<QString>("cpuinfo");
        QTest::addColumn<QString>("name");
        QTest::newRow("x86: model name") << "processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 25\n"
                                            "model name\t: AMD EPYC 7763 64-Core Processor\ncpu MHz\t\t: 2445.4\n"
                                         << "AMD EPYC 7763 64-Core Processor";
        QTest::newRow("Arm with model name") << "processor\t: 0\nBogoMIPS\t: 48.00\nmodel name\t: ARMv8 Processor rev 0 (v8l)\n"
                                             << "ARMv8 Processor rev 0 (v8l)";
        QTest::newRow("Arm board: Hardware") << "processor\t: 0\nCPU implementer\t: 0x41\nCPU part\t: 0xd08\n\n"
                                                "Hardware\t: BCM2835\nModel\t\t: Raspberry Pi 4 Model B\n"
                                             << "BCM2835";
        QTest::newRow("POWER: cpu") << "processor\t: 0\ncpu\t\t: POWER9 (raw), altivec supported\n"
                                    << "POWER9 (raw), altivec supported";
        QTest::newRow("Arm server without a name") << "processor\t: 0\nCPU implementer\t: 0x41\nCPU part\t: 0xd0c\n"
                                                   << "";
        QTest::newRow("empty") << "" << "";
    }
    void processorNames()
    {
        QFETCH(QString, cpuinfo);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(processorModelName(cpuinfo.toStdString())), name);
    }

    void paletteChecksumTellsTablesApart()
    {
        PaletteTable table{};
        // FNV-1a of 1025 × 3 zero values (6150 zero bytes), independently:
        // each zero byte only multiplies by the prime.
        std::uint64_t expected = 0xcbf29ce484222325ULL;
        for (int k = 0; k < 6150; ++k)
            expected *= 0x100000001b3ULL;
        QCOMPARE(paletteChecksum(table), expected);
        table[1024][2] = 1;
        QVERIFY(paletteChecksum(table) != expected);
    }

    void instructionSetsByTheNamesUsersKnow_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("name");  // empty: no vector instructions
        QTest::newRow("AVX3 is AVX-512") << "AVX3" << "AVX-512";
        QTest::newRow("AVX3_DL is AVX-512 too") << "AVX3_DL" << "AVX-512";
        QTest::newRow("AVX2") << "AVX2" << "AVX2";
        QTest::newRow("SSE4") << "SSE4" << "SSE4";
        QTest::newRow("SSSE3") << "SSSE3" << "SSSE3";
        QTest::newRow("NEON") << "NEON" << "NEON";
        QTest::newRow("emulated vectors") << "EMU128" << "";
        QTest::newRow("scalar") << "SCALAR" << "";
        QTest::newRow("a name not known here stays") << "NEWISA" << "NEWISA";
    }
    void instructionSetsByTheNamesUsersKnow()
    {
        QFETCH(QString, target);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(instructionSetName(target.toStdString())), name);
    }
};

QTEST_APPLESS_MAIN(TestBenchmarkFigures)
#include "test_benchmark_figures.moc"
