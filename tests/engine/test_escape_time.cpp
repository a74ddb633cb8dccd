// The escape-time computation against the worked examples.

#include "engine/escape_time_scalar.h"
#include "engine/mandel11.h"

#include <QTest>

using namespace quilfen;

class TestEscapeTime : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        resetEngineState();
        HalfSize = 200;
        CalcCond = {-0.5, 0.0, 2.5};
        MaxIter = 500;
    }

    void startUpFrame()
    {
        const GridFrame f = gridFrame(CalcCond, 2 * HalfSize);
        QCOMPARE(f.x0, -1.75);
        QCOMPARE(f.y0, -1.25);
        QCOMPARE(f.d, 0.00625);
    }

    void startUpPoints_data()
    {
        QTest::addColumn<int>("i");
        QTest::addColumn<int>("j");
        QTest::addColumn<int>("expected");
        QTest::newRow("centre -0.5 never escapes") << 200 << 200 << 501;
        QTest::newRow("bottom-left -1.75-1.25i") << 0 << 0 << 3;
        QTest::newRow("top-right 0.75+1.25i") << 400 << 400 << 3;
        QTest::newRow("right edge 0.75") << 400 << 200 << 4;
        QTest::newRow("left edge -1.75") << 0 << 200 << 501;
    }
    void startUpPoints()
    {
        QFETCH(int, i);
        QFETCH(int, j);
        QFETCH(int, expected);
        CalcMandel();
        QCOMPARE(IterMap[i][j], expected);
    }

    void singlePoints_data()
    {
        QTest::addColumn<double>("cr");
        QTest::addColumn<double>("ci");
        QTest::addColumn<int>("maxIter");
        QTest::addColumn<int>("expected");
        QTest::newRow("c=4 escapes at once") << 4.0 << 0.0 << 500 << 1;
        QTest::newRow("c=3: 9 is not above 10") << 3.0 << 0.0 << 500 << 2;
        QTest::newRow("c=1+3i: exactly 10 is no escape") << 1.0 << 3.0 << 500 << 2;
        QTest::newRow("c=-2 stays at 2") << -2.0 << 0.0 << 500 << 501;
        QTest::newRow("c=-2 with a wide limit") << -2.0 << 0.0 << 1000000 << 1000001;
        QTest::newRow("limit 1, inside") << 0.0 << 0.0 << 1 << 2;
        QTest::newRow("limit 1, outside") << 4.0 << 0.0 << 1 << 1;
        QTest::newRow("limit 32766 inside") << 0.0 << 0.0 << 32766 << 32767;
    }
    void singlePoints()
    {
        QFETCH(double, cr);
        QFETCH(double, ci);
        QFETCH(int, maxIter);
        QFETCH(int, expected);
        QCOMPARE(escapeCount(cr, ci, maxIter), expected);
    }

    void maxIterOneGivesOneOrTwo()
    {
        MaxIter = 1;
        CalcCond = {0.0, 0.0, 10.0};  // wide enough that the corners escape at once
        CalcMandel();
        int ones = 0;
        int twos = 0;
        for (int i = 0; i <= 400; ++i)
            for (int j = 0; j <= 400; ++j) {
                const int m = IterMap[i][j];
                QVERIFY2(m == 1 || m == 2, qPrintable(QString::number(m)));
                (m == 1 ? ones : twos)++;
            }
        QVERIFY(ones > 0);
        QVERIFY(twos > 0);
    }

    void zeroRangeFillsOneValue()
    {
        CalcCond = {0.3, 0.5, 0.0};
        CalcMandel();
        const int expected = escapeCount(0.3, 0.5, MaxIter);
        for (int i = 0; i <= 400; ++i)
            for (int j = 0; j <= 400; ++j)
                QCOMPARE(IterMap[i][j], expected);
    }

    void negativeRangeTurnsThePicture()
    {
        CalcCond = {-0.5, 0.0, 2.5};
        CalcMandel();
        IterGrid upright = IterMap;
        CalcCond.Range = -2.5;
        CalcMandel();
        // Half a turn: (i, j) of the negative range is (400 - i, 400 - j) of the positive.
        // These points are computed exactly in both frames.
        QCOMPARE(IterMap[0][200], upright[400][200]);
        QCOMPARE(IterMap[400][0], upright[0][400]);
        const GridFrame f = gridFrame(CalcCond, 2 * HalfSize);
        QCOMPARE(f.x0, 0.75);
        QCOMPARE(f.d, -0.00625);
    }

    void drawnCondFollowsOnlyAComputation()
    {
        QCOMPARE(DrawnCond, CalcCondition{});
        CalcMandel();
        QCOMPARE(DrawnCond, CalcCond);
        const CalcCondition drawn = DrawnCond;
        CalcCond = {0.25, 0.25, 0.01};
        QCOMPARE(DrawnCond, drawn);
    }

    void entriesBeyondTheGridKeepTheirValues()
    {
        IterMap[450][450] = -7;
        CalcMandel();
        QCOMPARE(IterMap[450][450], -7);
    }
};

QTEST_APPLESS_MAIN(TestEscapeTime)
#include "test_escape_time.moc"
