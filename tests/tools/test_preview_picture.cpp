// The data files the build puts beside the executables: default.qpl as
// committed, and mandel.bmp, the whole set at the conditions dialog's preview
// scale, drawn in the start-up palette.

#include "engine/escape_time_scalar.h"
#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "tests/support/test_files.h"

#include <QImage>
#include <QTest>

using namespace quilfen;

namespace {

const QString kRuntimeDir = QStringLiteral(QUILFEN_RUNTIME_DIR);
const QString kSourceDir = QStringLiteral(QUILFEN_SOURCE_DIR);

// The preview box: 198 pixels from x = -2 to 1.94 and from y = 2 down to -1.94.
constexpr double kPixel = 3.94 / 198.0;
constexpr int kPreviewMaxIter = 500;

Colour pixelColour(const QImage& image, int px, int py)
{
    const QRgb p = image.pixel(px, py);
    return rgb(qRed(p), qGreen(p), qBlue(p));
}

}  // namespace

class TestPreviewPicture : public QObject {
    Q_OBJECT

    QImage m_image;

private slots:
    void initTestCase()
    {
        QVERIFY(m_image.load(kRuntimeDir + QStringLiteral("/mandel.bmp"), "BMP"));
    }
    void init()
    {
        resetEngineState();
        QCOMPARE(ReadPaletteFile((kSourceDir + QStringLiteral("/data/default.qpl")).toStdString()),
                 PaletteReadResult::Loaded);
    }
    void cleanup() { resetEngineState(); }

    void defaultPaletteStandsBesideTheExecutables()
    {
        const QByteArray shipped = test::readFile(kSourceDir + QStringLiteral("/data/default.qpl"));
        QVERIFY(!shipped.isEmpty());
        QCOMPARE(test::readFile(kRuntimeDir + QStringLiteral("/default.qpl")), shipped);
    }

    // -2 … 2 at 198 / 3.94 pixels per unit: 201 pixels, the last ending at
    // -2 + 201 · 3.94 / 198 = 1.9999.
    void coversTheSquareAtThePreviewScale()
    {
        QCOMPARE(m_image.size(), QSize(201, 201));
    }

    // Worked by hand: c = -2 + 2i gives z = -2 - 6i at the second step,
    // |z|² = 40 > 10, so m = 2 and the entry is floor(2/500 · 1024 + 0.5) = 4.
    // Pixel (100, 100) is c = -0.0101 + 0.0101i, deep inside: entry 0.
    void workedPixels_data()
    {
        QTest::addColumn<int>("px");
        QTest::addColumn<int>("py");
        QTest::addColumn<int>("entry");
        QTest::newRow("top-left corner, c = -2 + 2i") << 0 << 0 << 4;
        QTest::newRow("near the origin, inside the set") << 100 << 100 << 0;
        QTest::newRow("main cardioid, c = -0.507 + 0.010i") << 75 << 100 << 0;
    }

    void workedPixels()
    {
        QFETCH(int, px);
        QFETCH(int, py);
        QFETCH(int, entry);
        QCOMPARE(pixelColour(m_image, px, py), paletteColour(PalTable, entry));
    }

    // Every pixel against the scalar reference at the pixel's own point.
    void everyPixelIsTheEscapeTimeColour()
    {
        int insideSet = 0;
        for (int py = 0; py < m_image.height(); ++py) {
            for (int px = 0; px < m_image.width(); ++px) {
                const double cr = -2.0 + px * kPixel;
                const double ci = 2.0 - py * kPixel;
                const std::int32_t m = escapeCount(cr, ci, kPreviewMaxIter);
                insideSet += m > kPreviewMaxIter;
                const Colour expected = paletteColour(PalTable, paletteIndex(m, kPreviewMaxIter));
                if (pixelColour(m_image, px, py) != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel (%1, %2)").arg(px).arg(py)));
            }
        }
        // The set's area is about 1.506; at (3.94 / 198)² per pixel that is
        // roughly 3,800 pixels.
        QVERIFY2(insideSet > 3500 && insideSet < 4200, qPrintable(QString::number(insideSet)));
    }
};

QTEST_GUILESS_MAIN(TestPreviewPicture)
#include "test_preview_picture.moc"
