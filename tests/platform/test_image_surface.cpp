// The image surface on its own (Qt Gui, no widgets): where a grid lands on
// it, the pixel of a colour, resizing, and a picture too large for memory.

#include "engine/grid_picture.h"
#include "engine/mandel11.h"
#include "platform/image/image_surface.h"

#include <QTest>

#include <vector>

using namespace quilfen;

namespace {

// Under this limit paletteIndex(m) is m itself for 0 < m < kLimit, so a
// palette whose entry k has red k & 0xFF and green k >> 8 shows each count.
constexpr std::int32_t kLimit = 1024;

PaletteTable countShowingPalette()
{
    PaletteTable table{};
    for (int k = 0; k < kPaletteEntries; ++k)
        table[static_cast<std::size_t>(k)] = {static_cast<std::int16_t>(k & 0xFF),
                                              static_cast<std::int16_t>(k >> 8), 0};
    return table;
}

// A count that differs between neighbouring points in both directions.
std::int32_t countAt(std::int32_t i, std::int32_t j)
{
    return 1 + (i * 37 + j * 11) % (kLimit - 1);
}

std::int32_t shownCount(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return qRed(p) + 256 * qGreen(p);
}

}  // namespace

class TestImageSurface : public QObject {
    Q_OBJECT
private slots:
    void userScaleMapsCornersOfTheDrawingArea_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<QPoint>("pixel");
        QTest::newRow("top-left corner") << 0.0 << 400.0 << QPoint(0, 0);
        QTest::newRow("bottom-left point row 400") << 0.0 << 0.0 << QPoint(0, 400);
        QTest::newRow("right edge column 400") << 400.0 << 200.0 << QPoint(400, 200);
        QTest::newRow("middle") << 123.0 << 321.0 << QPoint(123, 79);
        QTest::newRow("half a unit rounds up") << 10.5 << 300.5 << QPoint(11, 100);
        QTest::newRow("far beyond the edge is pulled in") << -5e6 << 400.0 << QPoint(-1000000, 0);
    }
    void userScaleMapsCornersOfTheDrawingArea()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(QPoint, pixel);
        ImageSurface surface(QSize(400, 400));
        surface.Scale(0, 400, 400, 0);
        QCOMPARE(surface.toPixel(x, y), pixel);
    }

    void colourBecomesItsPixel_data()
    {
        QTest::addColumn<Colour>("colour");
        QTest::addColumn<QRgb>("pixel");
        QTest::newRow("black") << rgb(0, 0, 0) << QRgb(0xFF000000U);
        QTest::newRow("red is the low byte") << rgb(255, 0, 0) << QRgb(0xFFFF0000U);
        QTest::newRow("green") << rgb(0, 255, 0) << QRgb(0xFF00FF00U);
        QTest::newRow("blue is the high byte") << rgb(0, 0, 255) << QRgb(0xFF0000FFU);
        QTest::newRow("mixed") << rgb(1, 2, 3) << QRgb(0xFF010203U);
    }
    void colourBecomesItsPixel()
    {
        QFETCH(Colour, colour);
        QFETCH(QRgb, pixel);
        QCOMPARE(toQRgb(colour), pixel);
        ImageSurface surface(QSize(3, 2));
        surface.PSet(2, 1, colour);
        QCOMPARE(surface.image().pixel(2, 1), pixel);
    }

    // Grid point (i, j) of a grid with rows 0 … lastRow is pixel column i,
    // row lastRow − j, whatever the picture's size: the main picture (2N
    // pixels for 2N + 1 points), quilfen-cli's sizes and the preview (one
    // pixel more than 2N). Points beyond the picture are dropped.
    void gridPointsLandOnTheirPixels_data()
    {
        QTest::addColumn<int>("lastRow");
        QTest::addColumn<int>("pixels");
        QTest::newRow("main picture, 2N = 400") << 400 << 400;
        QTest::newRow("one pixel") << 1 << 1;
        QTest::newRow("odd side 7") << 7 << 7;
        QTest::newRow("preview, 201 pixels for 2N = 200") << 200 << 201;
    }
    void gridPointsLandOnTheirPixels()
    {
        QFETCH(int, lastRow);
        QFETCH(int, pixels);
        const PaletteTable table = countShowingPalette();
        ImageSurface surface(QSize(pixels, pixels));
        surface.Refresh();
        scaleToGrid(surface, lastRow, pixels);
        std::vector<std::int32_t> column(static_cast<std::size_t>(lastRow) + 1);
        for (std::int32_t i = 0; i <= lastRow; ++i) {
            for (std::int32_t j = 0; j <= lastRow; ++j)
                column[static_cast<std::size_t>(j)] = countAt(i, j);
            drawGridColumn(surface, i, column.data(), lastRow, kLimit, table);
        }
        QCOMPARE(surface.image().size(), QSize(pixels, pixels));
        for (int y = 0; y < pixels; ++y)
            for (int x = 0; x < pixels; ++x)
                if (shownCount(surface.image(), x, y) != countAt(x, lastRow - y))
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) shows %3, not point (%1, %4)")
                                         .arg(x).arg(y).arg(shownCount(surface.image(), x, y)).arg(lastRow - y)));
        QCOMPARE(surface.takeDirty(), QRect(0, 0, pixels, pixels));
        QCOMPARE(surface.dirtyRect(), QRect());
    }

    void resizingKeepsTheDrawing_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<bool>("changed");
        QTest::newRow("wider") << QSize(6, 4) << QSize(6, 4) << true;
        QTest::newRow("narrower") << QSize(2, 4) << QSize(2, 4) << true;
        QTest::newRow("same") << QSize(4, 4) << QSize(4, 4) << false;
        QTest::newRow("empty keeps one pixel") << QSize(0, 0) << QSize(1, 1) << true;
        QTest::newRow("negative counts as empty") << QSize(-5, 4) << QSize(1, 4) << true;
    }
    void resizingKeepsTheDrawing()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, imageSize);
        QFETCH(bool, changed);
        ImageSurface surface(QSize(4, 4), QColor(10, 20, 30));
        surface.PSet(0, 0, rgb(1, 2, 3));
        surface.PSet(3, 3, rgb(4, 5, 6));
        surface.Refresh();
        surface.setArea(area);
        QCOMPARE(surface.area(), area.expandedTo(QSize(0, 0)));
        QCOMPARE(surface.image().size(), imageSize);
        QCOMPARE(surface.image().pixel(0, 0), qRgb(1, 2, 3));
        if (imageSize.width() > 4)
            QCOMPARE(surface.image().pixel(5, 3), qRgb(10, 20, 30));
        if (imageSize.width() == 4)
            QCOMPARE(surface.image().pixel(3, 3), qRgb(4, 5, 6));
        QCOMPARE(surface.dirtyRect(), changed ? QRect(QPoint(0, 0), imageSize) : QRect());
    }

    // quilfen-cli asks for pictures up to 16384 pixels a side; one that
    // cannot be had leaves a null image that drawing does not touch.
    void pictureTooLargeForMemoryIsNullAndSafe()
    {
        ImageSurface surface(QSize(1 << 30, 1 << 30));
        QVERIFY(surface.image().isNull());
        scaleToGrid(surface, 1 << 30, 1 << 30);
        surface.Cls();
        surface.PSet(0, 0, rgb(1, 2, 3));
        surface.Line(0, 0, 10, 10, rgb(1, 2, 3), true);
        surface.Line(0, 0, 10, 10, rgb(1, 2, 3), false);
        QVERIFY(!surface.LoadPicture(QStringLiteral("/nonexistent.bmp")));
        QVERIFY(surface.image().isNull());
        QCOMPARE(surface.dirtyRect(), QRect());
    }
};

QTEST_MAIN(TestImageSurface)
#include "test_image_surface.moc"
