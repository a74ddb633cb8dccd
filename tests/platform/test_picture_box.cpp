// The drawing surface: user coordinates, XOR figures and the persistent image.

#include "mandel11.h"
#include "picture_box.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quilfen;

namespace {

// A picture with some structure, so that XOR changes are visible everywhere.
void paintPattern(PictureBox& box)
{
    box.Scale(0, 0, box.width(), box.height());
    for (int x = 0; x < box.width(); ++x)
        for (int y = 0; y < box.height(); ++y)
            box.PSet(x, y, rgb((x * 7) & 0xFF, (y * 5) & 0xFF, (x ^ y) & 0xFF));
}

}  // namespace

class TestPictureBox : public QObject {
    Q_OBJECT
private slots:
    void init() { resetEngineState(); }
    void cleanup() { attachPicture(nullptr, {}); }

    void userScaleMapsCornersOfTheDrawingArea_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QPoint>("pixel");
        QTest::newRow("top-left corner") << 0.0 << 400.0 << QPoint(0, 0);
        QTest::newRow("bottom-left point row 400") << 0.0 << 0.0 << QPoint(0, 400);
        QTest::newRow("right edge column 400") << 400.0 << 200.0 << QPoint(400, 200);
        QTest::newRow("middle") << 123.0 << 321.0 << QPoint(123, 79);
    }
    void userScaleMapsCornersOfTheDrawingArea()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QPoint, pixel);
        PictureBox box;
        box.setGeometry(8, 8, 400, 400);
        box.Scale(0, 400, 400, 0);
        QCOMPARE(box.toPixel(x, y), pixel);
    }

    void xorRectangleTwiceRestoresTheImage_data()
    {
        QTest::addColumn<QRectF>("corners");  // (x1, y1) and (x2, y2) as a rect's two points
        QTest::newRow("ordinary") << QRectF(QPointF(10, 20), QPointF(60, 90));
        QTest::newRow("corners swapped") << QRectF(QPointF(60, 90), QPointF(10, 20));
        QTest::newRow("side 0") << QRectF(QPointF(30, 30), QPointF(30, 30));
        QTest::newRow("flat") << QRectF(QPointF(5, 40), QPointF(70, 40));
        QTest::newRow("beyond the edges") << QRectF(QPointF(-50, -60), QPointF(150, 170));
        QTest::newRow("far beyond") << QRectF(QPointF(-1e30, 5), QPointF(1e30, 50));
    }
    void xorRectangleTwiceRestoresTheImage()
    {
        QFETCH(QRectF, corners);
        PictureBox box;
        box.resize(100, 100);
        paintPattern(box);
        const QImage before = box.image().copy();
        box.setDrawMode(DrawMode::XorPen);
        box.Line(corners.left(), corners.top(), corners.right(), corners.bottom(), rgb(255, 255, 255), true);
        box.Line(corners.left(), corners.top(), corners.right(), corners.bottom(), rgb(255, 255, 255), true);
        box.setDrawMode(DrawMode::CopyPen);
        QCOMPARE(box.image(), before);
    }

    void xorRectangleInvertsEachCornerOnce()
    {
        PictureBox box;
        box.resize(100, 100);
        paintPattern(box);
        const QImage before = box.image().copy();
        box.setDrawMode(DrawMode::XorPen);
        box.Line(10, 20, 60, 90, rgb(255, 255, 255), true);
        for (const QPoint corner : {QPoint(10, 20), QPoint(60, 20), QPoint(10, 90), QPoint(60, 90)})
            QCOMPARE(box.image().pixel(corner) & 0xFFFFFF, ~before.pixel(corner) & 0xFFFFFF);
        // The outline and nothing else changed.
        QCOMPARE(box.image().pixel(35, 50), before.pixel(35, 50));
        QCOMPARE(box.image().pixel(35, 20) & 0xFFFFFF, ~before.pixel(35, 20) & 0xFFFFFF);
    }

    void persistentImageSurvivesRepaint()
    {
        PictureBox box;
        box.resize(50, 40);
        paintPattern(box);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.hide();
        box.show();
        box.repaint();
        QCOMPARE(box.grab().toImage().convertToFormat(QImage::Format_RGB32), box.image());
    }

    void clsFillsTheBackground()
    {
        PictureBox box;
        box.resize(20, 20);
        paintPattern(box);
        box.Cls();
        QImage expected(20, 20, QImage::Format_RGB32);
        expected.fill(box.backgroundColour());
        QCOMPARE(box.image(), expected);
    }

    void loadPictureWipesAndShowsAtNaturalSize()
    {
        QTemporaryDir dir;
        QImage small(5, 3, QImage::Format_RGB32);
        small.fill(qRgb(1, 2, 3));
        const QString path = dir.filePath(QStringLiteral("small.bmp"));
        QVERIFY(small.save(path, "BMP"));
        PictureBox box;
        box.resize(10, 10);
        paintPattern(box);
        QVERIFY(box.LoadPicture(path));
        QCOMPARE(box.image().pixel(4, 2), qRgb(1, 2, 3));
        QCOMPARE(box.image().pixel(5, 2), box.backgroundColour().rgb());
        QCOMPARE(box.image().pixel(9, 9), box.backgroundColour().rgb());

        QVERIFY(!box.LoadPicture(dir.filePath(QStringLiteral("missing.bmp"))));
        QCOMPARE(box.image().pixel(0, 0), box.backgroundColour().rgb());
    }

    void drawMandelPlacesTheGridOnThePicture()
    {
        PictureBox box;
        box.setGeometry(8, 0, 401, 401);
        attachPicture(&box, [] {});
        HalfSize = 200;
        MaxIter = 1024;
        for (int k = 0; k < kPaletteEntries; ++k)
            PalTable[k] = {static_cast<std::int16_t>(k & 0xFF), static_cast<std::int16_t>(k >> 8), 0};
        // Give every point a count that names its column and row.
        for (int i = 0; i <= 400; ++i)
            for (int j = 0; j <= 400; ++j)
                IterMap[i][j] = 1 + (i + j) % 1000;
        DrawMandel();

        QCOMPARE(box.geometry(), QRect(8, 8, 400, 400));
        QCOMPARE(box.image().size(), QSize(400, 400));
        auto expectedAt = [](int i, int j) {
            return paletteColour(PalTable, paletteIndex(IterMap[i][j], MaxIter));
        };
        auto pixelAt = [&](int column, int row) {
            const QRgb p = box.image().pixel(column, row);
            return rgb(qRed(p), qGreen(p), qBlue(p));
        };
        // Grid point (0, 2N) is the top-left pixel; (i, j) lands on row 2N - j.
        QCOMPARE(pixelAt(0, 0), expectedAt(0, 400));
        QCOMPARE(pixelAt(399, 399), expectedAt(399, 1));
        QCOMPARE(pixelAt(150, 77), expectedAt(150, 323));
        // Column i = 2N and row j = 0 fall outside: no pixel shows them.
        IterMap[400][200] = 1;
        IterMap[200][0] = 1;
        DrawMandel();
        QCOMPARE(pixelAt(399, 200), expectedAt(399, 200));
        QCOMPARE(pixelAt(200, 399), expectedAt(200, 1));
    }
};

QTEST_MAIN(TestPictureBox)
#include "test_picture_box.moc"
