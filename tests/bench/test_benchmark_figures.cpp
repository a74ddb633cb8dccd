// The benchmark's arithmetic: tick differences, seconds, rate and ratio texts.

#include "bench/benchmark_figures.h"
#include "bench/instruction_set_name.h"

#include <QTest>

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
