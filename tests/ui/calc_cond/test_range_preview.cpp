// The figures drawn over the conditions dialog's preview.

#include "ui/calc_cond/range_preview.h"

#include <QTest>

#include "tests/support/exact_compare.h"

#include <cfloat>
#include <cmath>
#include <limits>

using namespace quilfen;

namespace {

QList<int> numbersOf(const std::vector<PreviewFigure>& figures)
{
    QList<int> numbers;
    for (const PreviewFigure& f : figures)
        numbers << f.number;
    return numbers;
}

const PreviewFigure* figure(const std::vector<PreviewFigure>& figures, int number)
{
    for (const PreviewFigure& f : figures) {
        if (f.number == number)
            return &f;
    }
    return nullptr;
}

}  // namespace

class TestRangePreview : public QObject {
    Q_OBJECT
private slots:
    // The start-up square: centre -0.5 + 0i, range 2.5.
    void startUpSquare()
    {
        const auto figures = rangePreviewFigures(-0.5, 0.0, 2.5);
        QCOMPARE(numbersOf(figures), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        struct Expected {
            double x1, y1, x2, y2;
            Colour colour;
            bool box;
        };
        const Expected expected[] = {
            {-2, 0, 2, 0, rgb(0, 0, 255), false},
            {0, -2, 0, 2, rgb(0, 0, 255), false},
            {-1.75, -1.25, 0.75, 1.25, rgb(255, 255, 0), true},
            {-2, -2, -1.75, -1.25, rgb(128, 128, 0), false},
            {2, -2, 0.75, -1.25, rgb(128, 128, 0), false},
            {-2, 2, -1.75, 1.25, rgb(128, 128, 0), false},
            {2, 2, 0.75, 1.25, rgb(128, 128, 0), false},
        };
        for (std::size_t k = 0; k < 7; ++k) {
            const PreviewFigure& f = figures[k];
            QCOMPARE_EXACT(f.x1, expected[k].x1);
            QCOMPARE_EXACT(f.y1, expected[k].y1);
            QCOMPARE_EXACT(f.x2, expected[k].x2);
            QCOMPARE_EXACT(f.y2, expected[k].y2);
            QCOMPARE(f.colour, expected[k].colour);
            QCOMPARE(f.box, expected[k].box);
        }
    }

    // Corners reach the drawing as 32-bit floats.
    void cornersAsSingles()
    {
        const auto figures = rangePreviewFigures(0.3, 0.1, 0.2);
        const PreviewFigure* outline = figure(figures, 3);
        QVERIFY(outline);
        QCOMPARE_EXACT(outline->x1, static_cast<double>(0.2f));
        QCOMPARE_EXACT(outline->y1, static_cast<double>(0.0f));
        QCOMPARE_EXACT(outline->x2, static_cast<double>(0.4f));
        QCOMPARE_EXACT(outline->y2, static_cast<double>(0.2f));
        QVERIFY(outline->x1 != 0.3 - 0.2 * 0.5);
    }

    void negativeRangeSwapsCorners()
    {
        const auto figures = rangePreviewFigures(0.0, 0.0, -1.0);
        QCOMPARE(numbersOf(figures), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        const PreviewFigure* lower = figure(figures, 4);
        QCOMPARE_EXACT(lower->x2, 0.5);
        QCOMPARE_EXACT(lower->y2, 0.5);
    }

    // Figures with a corner that has no float value are left out.
    void unusableCorners_data()
    {
        QTest::addColumn<double>("centreRe");
        QTest::addColumn<double>("centreIm");
        QTest::addColumn<double>("range");
        QTest::addColumn<QList<int>>("drawn");
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("NaN centre") << nan << 0.0 << 1.0 << QList<int>({1, 2});
        QTest::newRow("NaN range") << 0.0 << 0.0 << nan << QList<int>({1, 2});
        QTest::newRow("infinite range") << 0.0 << 0.0 << inf << QList<int>({1, 2});
        QTest::newRow("largest double centre") << DBL_MAX << 0.0 << 2.5 << QList<int>({1, 2});
        const double top = static_cast<double>(FLT_MAX);
        QTest::newRow("beyond float on the right") << top << 0.0 << 1e38 << QList<int>({1, 2, 4, 6});
        QTest::newRow("beyond float on the left") << -top << 0.0 << 1e38 << QList<int>({1, 2, 5, 7});
        QTest::newRow("beyond float above") << 0.0 << top << 1e38 << QList<int>({1, 2, 4, 5});
        QTest::newRow("beyond float below") << 0.0 << -top << 1e38 << QList<int>({1, 2, 6, 7});
        QTest::newRow("whole square beyond float") << 1e39 << 0.0 << 1.0 << QList<int>({1, 2});
        QTest::newRow("largest float range") << 0.0 << 0.0 << 2.0 * static_cast<double>(FLT_MAX)
                                             << QList<int>({1, 2, 3, 4, 5, 6, 7});
        QTest::newRow("largest double range") << 0.0 << 0.0 << DBL_MAX << QList<int>({1, 2});
    }
    void unusableCorners()
    {
        QFETCH(double, centreRe);
        QFETCH(double, centreIm);
        QFETCH(double, range);
        QFETCH(QList<int>, drawn);
        const auto figures = rangePreviewFigures(centreRe, centreIm, range);
        QCOMPARE(numbersOf(figures), drawn);
        for (const PreviewFigure& f : figures) {
            for (double v : {f.x1, f.y1, f.x2, f.y2}) {
                QVERIFY(std::isfinite(v));
                QVERIFY(std::fabs(v) <= 4.0);
            }
        }
    }

    // A far corner: the line is cut short but keeps its direction, and the
    // outline keeps its visible edges.
    void farCornersKeepTheirDirection()
    {
        const double far = 1e30;
        const auto figures = rangePreviewFigures(far, 1e29, 1.0);
        const PreviewFigure* line = figure(figures, 6);  // from (-2, 2) towards (far - 0.5, 1e29 + 0.5)
        QVERIFY(line);
        QCOMPARE_EXACT(line->x1, -2.0);
        QCOMPARE_EXACT(line->y1, 2.0);
        const double tx = static_cast<double>(static_cast<float>(far - 0.5));
        const double ty = static_cast<double>(static_cast<float>(1e29 + 0.5));
        // The cut end lies on the original segment and on the margin.
        const double cross = (line->x2 + 2.0) * (ty - 2.0) - (line->y2 - 2.0) * (tx + 2.0);
        QVERIFY(std::fabs(cross) <= 1e-12 * std::fabs(tx) * std::fabs(ty));
        QCOMPARE_EXACT(line->x2, 4.0);
        QVERIFY(line->y2 > 2.0 && line->y2 < 2.7);

        // A square much larger than the preview: its outline lies outside.
        const auto huge = rangePreviewFigures(0.0, 0.0, 1e20);
        const PreviewFigure* outline = figure(huge, 3);
        QVERIFY(outline);
        QCOMPARE_EXACT(outline->x1, -4.0);
        QCOMPARE_EXACT(outline->y2, 4.0);
        const PreviewFigure* corner = figure(huge, 4);
        QCOMPARE_EXACT(corner->x2, -4.0);
        QCOMPARE_EXACT(corner->y2, -4.0);
    }
};

QTEST_GUILESS_MAIN(TestRangePreview)
#include "test_range_preview.moc"
