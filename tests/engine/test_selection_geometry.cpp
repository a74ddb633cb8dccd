// The selection square and the region it selects, without a window.

#include "engine/selection_geometry.h"

#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace quilfen;

namespace {

// Distance in units in the last place between two finite doubles.
std::int64_t ulpDistance(double a, double b)
{
    auto ordered = [](double d) {
        std::int64_t bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
    };
    const std::int64_t ia = ordered(a);
    const std::int64_t ib = ordered(b);
    return ia > ib ? ia - ib : ib - ia;
}

}  // namespace

class TestSelectionGeometry : public QObject {
    Q_OBJECT
private slots:
    void squareEnd_data()
    {
        QTest::addColumn<double>("startX");
        QTest::addColumn<double>("startY");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("endX");
        QTest::addColumn<double>("endY");
        QTest::newRow("worked example: dx wins, downwards") << 100.0 << 300.0 << 180.0 << 250.0 << 180.0 << 220.0;
        QTest::newRow("dy wins, left and up") << 100.0 << 100.0 << 90.0 << 130.0 << 70.0 << 130.0;
        QTest::newRow("dy wins, right and down") << 50.0 << 200.0 << 60.0 << 150.0 << 100.0 << 150.0;
        QTest::newRow("dx = 0 above: to the right") << 100.0 << 100.0 << 100.0 << 150.0 << 150.0 << 150.0;
        QTest::newRow("dx = 0 below: to the right") << 100.0 << 100.0 << 100.0 << 60.0 << 140.0 << 60.0;
        QTest::newRow("dy = 0 to the right: upwards") << 100.0 << 100.0 << 130.0 << 100.0 << 130.0 << 130.0;
        QTest::newRow("dy = 0 to the left: upwards") << 100.0 << 100.0 << 70.0 << 100.0 << 70.0 << 130.0;
        QTest::newRow("no movement: side 0") << 123.5 << 234.25 << 123.5 << 234.25 << 123.5 << 234.25;
        QTest::newRow("|dx| = |dy| up-right: the pointer") << 100.0 << 100.0 << 140.0 << 140.0 << 140.0 << 140.0;
        QTest::newRow("|dx| = |dy| down-left: the pointer") << 100.0 << 100.0 << 60.0 << 60.0 << 60.0 << 60.0;
        QTest::newRow("|dx| = |dy| up-left: the pointer") << 100.0 << 100.0 << 60.0 << 140.0 << 60.0 << 140.0;
        QTest::newRow("beyond the left edge") << 10.0 << 200.0 << -50.0 << 230.0 << -50.0 << 260.0;
        QTest::newRow("beyond the top, side over 400") << 0.0 << 0.0 << 100.0 << 450.0 << 450.0 << 450.0;
        QTest::newRow("fractional positions") << 100.25 << 300.5 << 100.75 << 290.0 << 110.75 << 290.0;
        // 100000001 has no float representation: the arithmetic is double.
        QTest::newRow("double precision") << 1.0e8 << 0.0 << 100000001.0 << 0.5 << 100000001.0 << 1.0;
    }
    void squareEnd()
    {
        QFETCH(double, startX);
        QFETCH(double, startY);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, endX);
        QFETCH(double, endY);
        QCOMPARE(SquareEndX(startX, startY, x, y), endX);
        QCOMPARE(SquareEndY(startX, startY, x, y), endY);
    }

    // Properties over a grid of pointer positions: the corner is at the
    // larger distance on both axes, towards the pointer, and the pointer
    // lies on the square's outline.
    void squareEndProperties()
    {
        const double startX = 200.0;
        const double startY = 150.0;
        for (double x = -300.0; x <= 700.0; x += 12.5) {
            for (double y = -300.0; y <= 700.0; y += 17.5) {
                const double endX = SquareEndX(startX, startY, x, y);
                const double endY = SquareEndY(startX, startY, x, y);
                const double side = std::max(std::fabs(x - startX), std::fabs(y - startY));
                QCOMPARE(std::fabs(endX - startX), side);
                QCOMPARE(std::fabs(endY - startY), side);
                QVERIFY((endX >= startX) == (x >= startX));
                QVERIFY((endY >= startY) == (y >= startY));
                const bool onVerticalSide = x == endX && std::fabs(y - startY) <= side;
                const bool onHorizontalSide = y == endY && std::fabs(x - startX) <= side;
                QVERIFY(onVerticalSide || onHorizontalSide);
            }
        }
    }

    void selectedRegion_data()
    {
        QTest::addColumn<double>("centreRe");
        QTest::addColumn<double>("centreIm");
        QTest::addColumn<double>("range");
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("end");
        QTest::addColumn<double>("newRe");
        QTest::addColumn<double>("newIm");
        QTest::addColumn<double>("newRange");
        QTest::newRow("worked example") << -0.15 << 0.8 << 0.4 << QPointF(100, 300) << QPointF(180, 220)
                                        << -0.21 << 0.86 << 0.08;
        QTest::newRow("whole picture keeps the region") << -0.5 << 0.0 << 2.5 << QPointF(0, 0)
                                                        << QPointF(400, 400) << -0.5 << 0.0 << 2.5;
        QTest::newRow("corners given the other way round") << -0.5 << 0.0 << 2.5 << QPointF(400, 400)
                                                           << QPointF(0, 0) << -0.5 << 0.0 << 2.5;
        QTest::newRow("click: range 0 at the point") << -0.5 << 0.0 << 2.5 << QPointF(100, 300)
                                                     << QPointF(100, 300) << -1.125 << 0.625 << 0.0;
        QTest::newRow("side over 400 zooms out") << 0.0 << 0.0 << 2.0 << QPointF(-200, -200)
                                                 << QPointF(600, 600) << 0.0 << 0.0 << 4.0;
        QTest::newRow("beyond the right edge") << 0.0 << 0.0 << 4.0 << QPointF(300, 100)
                                               << QPointF(500, 300) << 2.0 << 0.0 << 2.0;
    }
    void selectedRegion()
    {
        QFETCH(double, centreRe);
        QFETCH(double, centreIm);
        QFETCH(double, range);
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        QFETCH(double, newRe);
        QFETCH(double, newIm);
        QFETCH(double, newRange);
        const CalcCondition drawn{centreRe, centreIm, range};
        const CalcCondition region = quilfen::selectedRegion(drawn, start.x(), start.y(), end.x(), end.y());

        // The decimal values of the worked examples, to a few ulps.
        QVERIFY2(ulpDistance(region.CentreRe, newRe) <= 4, qPrintable(QString::number(region.CentreRe, 'g', 17)));
        QVERIFY2(ulpDistance(region.CentreIm, newIm) <= 4, qPrintable(QString::number(region.CentreIm, 'g', 17)));
        QVERIFY2(ulpDistance(region.Range, newRange) <= 4, qPrintable(QString::number(region.Range, 'g', 17)));

        // Exactly as the formulas give, operation by operation in double.
        const double u = (start.x() + (end.x() - start.x()) * 0.5) / 400.0;
        const double v = (start.y() + (end.y() - start.y()) * 0.5) / 400.0;
        QCOMPARE(region.CentreRe, (centreRe - 0.5 * range) + u * range);
        QCOMPARE(region.CentreIm, (centreIm - 0.5 * range) + v * range);
        QCOMPARE(region.Range, std::fabs(end.x() - start.x()) * range / 400.0);
    }
};

QTEST_APPLESS_MAIN(TestSelectionGeometry)
#include "test_selection_geometry.moc"
