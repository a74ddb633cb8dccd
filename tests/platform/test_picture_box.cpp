// The drawing surface: user coordinates, XOR figures and the persistent image.

#include "engine/mandel11.h"
#include "platform/picture_box.h"
#include "platform/scripted_platform.h"

#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace quilfen;

namespace {

// Collects the region of every paint event the watched widget receives.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// Runs drawing steps such as "pset 10 70, box 10 70 30 60, refresh" on the
// box; `shown` becomes the image as the last refresh left it. "paced" paces
// Refresh to the display's frames, "tick N" moves the platform's tick count
// on by N ms.
void runSteps(PictureBox& box, const QString& steps, const QString& bitmap, QImage& shown,
              ScriptedPlatform& desktop)
{
    for (const QString& step : steps.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList w = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        auto n = [&w](int k) { return w.at(k).toDouble(); };
        if (w[0] == QLatin1String("pset"))
            box.PSet(n(1), n(2), rgb(255, 0, 0));
        else if (w[0] == QLatin1String("line") || w[0] == QLatin1String("box") || w[0] == QLatin1String("xorbox")) {
            box.setDrawMode(w[0] == QLatin1String("xorbox") ? DrawMode::XorPen : DrawMode::CopyPen);
            box.Line(n(1), n(2), n(3), n(4), rgb(255, 255, 255), w[0] != QLatin1String("line"));
            box.setDrawMode(DrawMode::CopyPen);
        } else if (w[0] == QLatin1String("cls"))
            box.Cls();
        else if (w[0] == QLatin1String("load"))
            QVERIFY(box.LoadPicture(bitmap));
        else if (w[0] == QLatin1String("refresh")) {
            box.Refresh();
            if (box.dirtyRect().isEmpty())
                shown = box.image().copy();
        } else if (w[0] == QLatin1String("paced"))
            box.setPacing(PictureBox::Pacing::DisplayFrames);
        else if (w[0] == QLatin1String("tick"))
            desktop.ticks += static_cast<std::uint32_t>(n(1));
        else if (w[0] == QLatin1String("width"))
            box.setWidth(static_cast<int>(n(1)));
        else
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

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
    void init()
    {
        resetEngineState();
        m_desktop = std::make_unique<ScriptedPlatform>();
        // The tick count moves only when a test says so.
        m_desktop->ticks = 1000;
        m_desktop->tickStep = 0;
        setPlatform(m_desktop.get());
    }
    void cleanup()
    {
        attachPicture(nullptr, {});
        setPlatform(nullptr);
        m_desktop.reset();
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

    // Which operation grows which area. The user scale has y upwards, as
    // DrawMandel sets it: (x, y) is pixel (x, 80 - y) of the 100 x 80 box.
    // `dirty` is what Refresh repaints; `scheduled` what the operations leave
    // for the event loop to repaint.
    void dirtyRectangleRules_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QRect>("dirty");
        QTest::addColumn<QRegion>("scheduled");
        const QRect all(0, 0, 100, 80);
        const QRect band(QPoint(10, 10), QPoint(30, 20));
        QRegion sides;
        for (const QRect& side : {QRect(10, 10, 21, 1), QRect(10, 20, 21, 1), QRect(10, 10, 1, 11), QRect(30, 10, 1, 11)})
            sides += side;
        QTest::newRow("nothing drawn") << "" << QRect() << QRegion();
        QTest::newRow("pset: its pixel") << "pset 10 70" << QRect(10, 10, 1, 1) << QRegion();
        QTest::newRow("pset twice: both") << "pset 10 70, pset 30 60" << band << QRegion();
        QTest::newRow("pset outside: nothing") << "pset -1 70, pset 10 81, pset 100 5" << QRect() << QRegion();
        QTest::newRow("refresh clears") << "pset 10 70, refresh" << QRect() << QRegion();
        QTest::newRow("after a refresh: the new pixel") << "pset 10 70, refresh, pset 50 40" << QRect(50, 40, 1, 1) << QRegion();
        QTest::newRow("line: its extent") << "line 10 70 30 60" << band << QRegion(band);
        QTest::newRow("line backwards") << "line 30 60 10 70" << band << QRegion(band);
        QTest::newRow("line beyond the edges") << "line -20 70 200 70" << QRect(0, 10, 100, 1) << QRegion(0, 10, 100, 1);
        QTest::newRow("box: its extent, four sides shown") << "box 10 70 30 60" << band << sides;
        QTest::newRow("xor band drawn and erased") << "xorbox 10 70 30 60, xorbox 10 70 30 60" << band << sides;
        QTest::newRow("box partly outside") << "box -10 90 50 40" << QRect(0, 0, 51, 41)
                                            << (QRegion(0, 40, 51, 1) + QRegion(50, 0, 1, 41));
        QTest::newRow("pset and box: both") << "pset 90 5, box 10 70 30 60" << QRect(QPoint(10, 10), QPoint(90, 75)) << sides;
        QTest::newRow("cls: everything") << "pset 10 70, refresh, cls" << all << QRegion(all);
        QTest::newRow("loadpicture: everything") << "load" << all << QRegion(all);
        QTest::newRow("new size: everything") << "width 120, pset 10 70" << QRect(0, 0, 120, 80) << QRegion();
        // Paced to a display of 50 Hz or more (a frame every 20 ms or less).
        QTest::newRow("paced: the first refresh shows at once") << "paced, pset 10 70, refresh" << QRect() << QRegion();
        QTest::newRow("paced: within the frame, waits")
            << "paced, pset 10 70, refresh, tick 5, pset 30 60, refresh" << QRect(30, 20, 1, 1) << QRegion();
        QTest::newRow("paced: waiting parts add up")
            << "paced, pset 50 40, refresh, tick 1, pset 10 70, refresh, tick 1, pset 30 60, refresh"
            << band << QRegion();
        QTest::newRow("paced: the frame due, shows what waited")
            << "paced, pset 50 40, refresh, tick 1, pset 10 70, refresh, tick 20, pset 30 60, refresh"
            << QRect() << QRegion();
        QTest::newRow("paced: each frame due, shows")
            << "paced, pset 10 70, refresh, tick 20, pset 30 60, refresh, tick 20, pset 50 40, refresh"
            << QRect() << QRegion();
        QTest::newRow("paced: the tick count wraps around")
            << "paced, tick 4294966290, pset 10 70, refresh, tick 5, pset 30 60, refresh, tick 15, pset 50 40, refresh"
            << QRect() << QRegion();
    }
    void dirtyRectangleRules()
    {
        QFETCH(QString, steps);
        QFETCH(QRect, dirty);
        QFETCH(QRegion, scheduled);
        QTemporaryDir dir;
        QImage small(5, 3, QImage::Format_RGB32);
        small.fill(qRgb(1, 2, 3));
        const QString bitmap = dir.filePath(QStringLiteral("small.bmp"));
        QVERIFY(small.save(bitmap, "BMP"));
        PictureBox box;
        box.resize(100, 80);
        paintPattern(box);
        box.Scale(0, 80, 100, 0);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.Refresh();
        QCoreApplication::processEvents();
        QCOMPARE(box.dirtyRect(), QRect());
        QImage shown = box.image().copy();
        PaintRecorder recorder;
        box.installEventFilter(&recorder);

        runSteps(box, steps, bitmap, shown, *m_desktop);
        QCOMPARE(box.dirtyRect(), dirty);
        // Every pixel changed since the last refresh lies in the area (a size
        // change shows the whole picture anyway).
        if (box.image().size() == shown.size())
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (box.image().pixel(x, y) != shown.pixel(x, y) && !dirty.contains(x, y))
                        QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) changed outside").arg(x).arg(y)));
        recorder.painted = QRegion();
        QCoreApplication::processEvents();
        if (!steps.contains(QLatin1String("width")))
            QCOMPARE(recorder.painted, scheduled);
        recorder.painted = QRegion();
        // A paced Refresh shows what waited once its frame is due.
        m_desktop->ticks += 1000;
        box.Refresh();
        QCOMPARE(recorder.painted, QRegion(dirty));
        QCOMPARE(box.dirtyRect(), QRect());
    }

    // What reaches the screen when each part of a drawing is repainted on its
    // own is what one repaint of the whole window shows, at any offset of the
    // box in its window and (run again under QT_SCALE_FACTOR) any scale.
    void partialRepaintsShowWhatAFullRepaintShows_data()
    {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<bool>("byRows");
        QTest::addColumn<bool>("paced");
        QTest::newRow("columns at the corner") << QPoint(0, 0) << false << false;
        QTest::newRow("columns at an odd offset") << QPoint(7, 3) << false << false;
        QTest::newRow("rows at an odd offset") << QPoint(5, 11) << true << false;
        QTest::newRow("columns at an odd offset, paced") << QPoint(7, 3) << false << true;
        QTest::newRow("columns at the corner, paced") << QPoint(0, 0) << false << true;
    }
    void partialRepaintsShowWhatAFullRepaintShows()
    {
        QFETCH(QPoint, offset);
        QFETCH(bool, byRows);
        QFETCH(bool, paced);
        QWidget window;
        window.resize(140, 130);
        PictureBox box(&window);
        box.setGeometry(QRect(offset, QSize(121, 111)));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QVERIFY(qAbs(window.devicePixelRatioF() - qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()) < 0.001);
        box.Scale(0, 110, 120, 0);
        box.Cls();
        box.Refresh();
        QCoreApplication::processEvents();
        if (paced) {
            box.setPacing(PictureBox::Pacing::DisplayFrames);
            m_desktop->tickStep = 1;  // a millisecond per reading
        }
        int paints = 0;
        int changes = 0;
        PaintRecorder recorder;
        box.installEventFilter(&recorder);
        for (int a = 0; a <= 120; ++a) {
            for (int b = 0; b <= 120; ++b) {
                const int i = byRows ? b : a;
                const int j = byRows ? a : b;
                box.PSet(i, j, rgb((i * 7) & 0xFF, (j * 5) & 0xFF, (i ^ j) & 0xFF));
            }
            recorder.painted = QRegion();
            changes += box.dirtyRect().isEmpty() ? 0 : 1;
            box.Refresh();
            paints += recorder.painted.isEmpty() ? 0 : 1;
        }
        if (paced) {
            // A frame every 16 or so readings: far fewer repaints than lines,
            // and the last lines wait for the frame timer.
            QVERIFY2(paints > 1 && paints <= changes / 4, qPrintable(QStringLiteral("%1 of %2").arg(paints).arg(changes)));
            QVERIFY(!box.dirtyRect().isEmpty());
            // qWaitFor, not QTRY_VERIFY_WITH_TIMEOUT: under -Wconversion Qt 6.8's
            // macro narrows its own milliseconds.
            QVERIFY(QTest::qWaitFor([&box] { return box.dirtyRect().isEmpty(); }, 5000));
        } else {
            QCOMPARE(paints, changes);
        }
        QImage screen = window.screen()->grabWindow(window.winId(), 0, 0, window.width(), window.height())
                            .toImage().convertToFormat(QImage::Format_RGB32);
        QImage full = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Under a scale factor the offscreen platform grabs only the top-left part.
        QVERIFY(screen.width() >= window.width() && screen.height() >= window.height());
        full = full.copy(screen.rect());
        screen.setDevicePixelRatio(1.0);
        full.setDevicePixelRatio(1.0);
        QCOMPARE(screen, full);
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

    void pacingFollowsThePlatform()
    {
        const QString name = QGuiApplication::platformName();
        if (name != QLatin1String("offscreen") && name != QLatin1String("xcb") && name != QLatin1String("wayland"))
            QSKIP("a platform this test does not know");
        // Only Wayland commits a buffer to the compositor on every repaint.
        const PictureBox::Pacing expected = name == QLatin1String("wayland") ? PictureBox::Pacing::DisplayFrames
                                                                              : PictureBox::Pacing::EveryRefresh;
        PictureBox box;
        QCOMPARE(box.pacing(), expected);
    }

private:
    std::unique_ptr<ScriptedPlatform> m_desktop;
};

QTEST_MAIN(TestPictureBox)
#include "test_picture_box.moc"
