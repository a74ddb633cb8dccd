// The zoom selection on the main window: the rubber band, the question and
// the new region, through synthesised mouse events and the scripted platform.

#include "engine/selection_geometry.h"
#include "platform/picture_box.h"
#include "tests/support/window_fixture.h"

#include <QDialog>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSet>

#include <cmath>
#include <functional>
#include <memory>

using namespace quilfen;
using namespace quilfen::test;

namespace {

// The region of the worked example (and of the benchmark).
constexpr CalcCondition kExampleRegion{-0.15, 0.8, 0.4};

// A scripted platform that also lets a test look at the picture while the
// question is on screen.
class ProbingPlatform : public ScriptedPlatform {
public:
    std::function<void()> onMessage;

    MsgAnswer messageBox(const MessageBoxRequest& request) override
    {
        if (onMessage)
            onMessage();
        return ScriptedPlatform::messageBox(request);
    }
};

// The region a square from start to end selects on a picture of `drawn`;
// test_selection_geometry checks the arithmetic against worked examples.
CalcCondition expectedRegion(const CalcCondition& drawn, QPointF start, QPointF end)
{
    return selectedRegion(drawn, start.x(), start.y(), end.x(), end.y());
}

// `image` with the one-pixel outline of the rectangle between two pixel
// corners inverted, each outline pixel once (a rectangle of side 0 is one
// pixel, a flat one a line).
QImage withOutlineInverted(QImage image, QPoint a, QPoint b)
{
    const QRect area = image.rect();
    auto onOutline = [&](int x, int y) {
        const bool inX = x >= std::min(a.x(), b.x()) && x <= std::max(a.x(), b.x());
        const bool inY = y >= std::min(a.y(), b.y()) && y <= std::max(a.y(), b.y());
        return (inX && (y == a.y() || y == b.y())) || (inY && (x == a.x() || x == b.x()));
    };
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (onOutline(x, y))
                image.setPixel(x, y, 0xFF000000U | (image.pixel(x, y) ^ 0x00FFFFFFU));
    return image;
}

// Pixel position of a point in the user units of a 400 × 400 picture.
QPoint pixelOf(QPointF user)
{
    return {static_cast<int>(std::floor(user.x() + 0.5)), static_cast<int>(std::floor(400.0 - user.y() + 0.5))};
}

int differingPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

}  // namespace

class TestZoomSelection : public QObject {
    Q_OBJECT

    WindowFixture<ProbingPlatform> m_fx;
    QImage m_picture;  // the picture before the selection

    PictureBox& picture() { return *m_fx.window->Picture1; }

    // Computes and draws the region as the program does, with a colour ramp
    // that gives neighbouring counts different colours.
    static void fillPalette()
    {
        for (int k = 0; k <= 1024; ++k) {
            PalTable[k][0] = static_cast<std::int16_t>((k * 37) & 0xFF);
            PalTable[k][1] = static_cast<std::int16_t>((k * 11) & 0xFF);
            PalTable[k][2] = static_cast<std::int16_t>((k * 5 + 60) & 0xFF);
        }
    }

    void drawPicture(const CalcCondition& region)
    {
        HalfSize = 200;
        MaxIter = 100;
        fillPalette();
        CalcCond = region;
        CalcMandel();
        DrawMandel();
        m_picture = picture().image().copy();
    }

    // Mouse events on Picture1 at user positions, through Qt's event delivery.
    void press(Qt::MouseButton button, QPointF user) { QTest::mousePress(&picture(), button, {}, pixelOf(user)); }
    void release(Qt::MouseButton button, QPointF user)
    {
        QTest::mouseRelease(&picture(), button, {}, pixelOf(user));
    }
    void move(QPointF user) { QTest::mouseMove(&picture(), pixelOf(user)); }

    // The picture with the band of the square from start to corner on it.
    QImage withBand(QPointF start, QPointF corner) const
    {
        return withOutlineInverted(m_picture, pixelOf(start), pixelOf(corner));
    }

private slots:
    void init()
    {
        m_fx.start(false);
        m_fx.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_fx.window.get()));
    }

    void cleanup()
    {
        // QTest remembers held buttons across tests: let go of all of them.
        m_fx.desktop->onMessage = nullptr;
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            QTest::mouseRelease(&picture(), button);
        m_fx.stop();
    }

    void aDrawnPictureHasStructure()
    {
        drawPicture(kExampleRegion);
        QVERIFY(DrawDone);
        QCOMPARE(m_picture.size(), QSize(400, 400));
        // Many colours, so that an inverted pixel anywhere shows.
        QSet<QRgb> colours;
        for (int y = 0; y < 400; y += 40)
            for (int x = 0; x < 400; x += 40)
                colours.insert(m_picture.pixel(x, y));
        QVERIFY(colours.size() > 5);
    }

    void workedExampleThroughMouseEvents()
    {
        drawPicture(kExampleRegion);
        const QPointF start(100, 300);
        press(Qt::LeftButton, start);
        QVERIFY(Dragging);
        QCOMPARE(DragStartX, 100.0F);
        QCOMPARE(DragStartY, 300.0F);
        QCOMPARE(picture().image(), m_picture);  // a press draws nothing

        move({140, 280});
        QCOMPARE(picture().image(), withBand(start, {140, 260}));
        move({180, 250});
        QCOMPARE(DragEndX, 180.0F);
        QCOMPARE(DragEndY, 220.0F);
        QCOMPARE(picture().image(), withBand(start, {180, 220}));

        QImage duringQuestion;
        m_fx.desktop->onMessage = [&] { duringQuestion = picture().image().copy(); };
        release(Qt::LeftButton, {180, 250});

        QCOMPARE(duringQuestion, withBand(start, {180, 220}));
        QCOMPARE(picture().image(), m_picture);
        QVERIFY(!Dragging);
        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        const MessageBoxRequest& question = m_fx.desktop->messages.front();
        QCOMPARE(question.text, QStringLiteral("描画範囲を変更しますか？"));
        QCOMPARE(question.title, QStringLiteral("描画範囲の変更"));
        QCOMPARE(question.buttons, MsgButtons::OkCancel);
        QCOMPARE(question.icon, MsgIcon::None);
        QCOMPARE(question.defaultButton, MsgAnswer::Ok);

        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, start, {180, 220}));
        QVERIFY(std::fabs(CalcCond.CentreRe - -0.21) < 1e-15);
        QVERIFY(std::fabs(CalcCond.CentreIm - 0.86) < 1e-15);
        QVERIFY(std::fabs(CalcCond.Range - 0.08) < 1e-15);
        QCOMPARE(MaxIter, 100);
        QCOMPARE(DrawnCond, kExampleRegion);  // nothing is computed
    }

    void releaseWhereNoMoveWasReported()
    {
        drawPicture(kExampleRegion);
        const QPointF start(100, 300);
        m_fx.window->Picture1_MouseDown(1, 0, 100.0F, 300.0F);
        m_fx.window->Picture1_MouseMove(1, 0, 150.0F, 260.0F);
        QCOMPARE(picture().image(), withBand(start, {150, 250}));

        QImage duringQuestion;
        m_fx.desktop->onMessage = [&] { duringQuestion = picture().image().copy(); };
        m_fx.window->Picture1_MouseUp(1, 0, 180.0F, 250.0F);

        // The question is about the square of the release position.
        QCOMPARE(duringQuestion, withBand(start, {180, 220}));
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, start, {180, 220}));
    }

    void clickWithoutMovement()
    {
        drawPicture(kExampleRegion);
        m_fx.window->Picture1_MouseDown(1, 0, 123.5F, 234.25F);
        m_fx.window->Picture1_MouseUp(1, 0, 123.5F, 234.25F);
        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond.Range, 0.0);
        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, {123.5, 234.25}, {123.5, 234.25}));
    }

    void draggingBeyondTheEdge()
    {
        drawPicture(kExampleRegion);
        const QPointF start(350, 350);
        press(Qt::LeftButton, start);
        move({500, 460});  // beyond the right and top edges
        QCOMPARE(QPointF(DragEndX, DragEndY), QPointF(500, 500));
        // Only the part of the band inside the picture is drawn.
        QCOMPARE(picture().image(), withBand(start, {500, 500}));
        release(Qt::LeftButton, {500, 460});
        QCOMPARE(picture().image(), m_picture);
        const CalcCondition region = expectedRegion(kExampleRegion, start, {500, 500});
        QCOMPARE(CalcCond, region);
        QVERIFY(CalcCond.CentreRe > kExampleRegion.CentreRe + 0.5 * kExampleRegion.Range);
    }

    void sideOver400ZoomsOut()
    {
        drawPicture(kExampleRegion);
        m_fx.window->Picture1_MouseDown(1, 0, -100.0F, -50.0F);
        m_fx.window->Picture1_MouseMove(1, 0, 300.0F, 600.0F);
        m_fx.window->Picture1_MouseUp(1, 0, 450.0F, 600.0F);
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond.Range, 650.0 * kExampleRegion.Range / 400.0);
        QVERIFY(CalcCond.Range > kExampleRegion.Range);
    }

    void otherButtonCancelsTheDrag_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void otherButtonCancelsTheDrag()
    {
        QFETCH(Qt::MouseButton, button);
        drawPicture(kExampleRegion);
        const CalcCondition before = CalcCond;
        press(Qt::LeftButton, {100, 100});
        move({160, 130});
        QVERIFY(picture().image() != m_picture);
        press(button, {160, 130});
        QVERIFY(!Dragging);
        QCOMPARE(picture().image(), m_picture);
        move({200, 200});  // both held: nothing
        release(button, {200, 200});
        move({220, 220});  // the left alone, but the selection is over
        QCOMPARE(picture().image(), m_picture);
        release(Qt::LeftButton, {220, 220});
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(CalcCond, before);
        QCOMPARE(picture().image(), m_picture);
    }

    void otherButtonWhileIdleChangesNothing()
    {
        drawPicture(kExampleRegion);
        press(Qt::RightButton, {100, 100});
        move({150, 150});
        release(Qt::RightButton, {150, 150});
        QVERIFY(!Dragging);
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(picture().image(), m_picture);
    }

    void movesWithBothButtonsHeldAreIgnored()
    {
        drawPicture(kExampleRegion);
        const QPointF start(200, 200);
        press(Qt::RightButton, start);  // idle: nothing
        press(Qt::LeftButton, start);   // the left goes down: a selection starts
        QVERIFY(Dragging);
        move({260, 240});  // both held
        QCOMPARE(QPointF(DragEndX, DragEndY), start);
        QCOMPARE(picture().image(), m_picture);
        release(Qt::RightButton, {260, 240});
        QVERIFY(Dragging);
        QVERIFY(m_fx.desktop->messages.empty());
        move({250, 240});  // the left alone again: the band follows
        QCOMPARE(picture().image(), withBand(start, {250, 250}));
        release(Qt::LeftButton, {250, 240});
        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, start, {250, 250}));
    }

    void cancelChangesNothing()
    {
        drawPicture(kExampleRegion);
        CalcCond = {0.25, -0.5, 1.5};
        MaxIter = 77;
        m_fx.desktop->messageAnswers = {MsgAnswer::Cancel};
        press(Qt::LeftButton, {100, 300});
        move({180, 250});
        release(Qt::LeftButton, {180, 250});
        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        QCOMPARE(CalcCond, (CalcCondition{0.25, -0.5, 1.5}));
        QCOMPARE(MaxIter, 77);
        QVERIFY(!Dragging);
        QCOMPARE(picture().image(), m_picture);
        QVERIFY(m_fx.desktop->modalForms.isEmpty());
    }

    // After the benchmark, its region is the picture a selection works on;
    // the region comes from the picture on screen, not from conditions set
    // after it was drawn.
    void selectionOnTheBenchmarksPicture()
    {
        fillPalette();
        m_fx.window->MenuBenchGo_Click();
        QCOMPARE(m_fx.desktop->modalForms, QStringList{QStringLiteral("ResultDialog")});
        QVERIFY(DrawDone);
        QCOMPARE(DrawnCond, kExampleRegion);
        m_picture = picture().image().copy();
        CalcCond = {0.3, 0.02, 0.001};  // as after "set only" in the conditions dialog

        press(Qt::LeftButton, {100, 300});
        move({180, 250});
        QCOMPARE(picture().image(), withBand({100, 300}, {180, 220}));
        release(Qt::LeftButton, {180, 250});
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, {100, 300}, {180, 220}));
        QCOMPARE(MaxIter, 500);
    }

    void nothingBeforeTheFirstPicture()
    {
        // The window as it opens: no computation, no drawing.
        QVERIFY(!DrawDone);
        const QImage blank = picture().image().copy();
        CalcCond = {-0.5, 0.0, 2.5};
        press(Qt::LeftButton, {100, 100});
        QVERIFY(!Dragging);
        move({150, 150});
        release(Qt::LeftButton, {150, 150});
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(picture().image(), blank);
        QCOMPARE(CalcCond, (CalcCondition{-0.5, 0.0, 2.5}));
    }

    void nothingWhileANewPictureIsPrepared()
    {
        drawPicture(kExampleRegion);
        DrawDone = false;  // as a computation clears it before starting
        m_fx.window->Picture1_MouseDown(1, 0, 100.0F, 100.0F);
        m_fx.window->Picture1_MouseMove(1, 0, 150.0F, 150.0F);
        m_fx.window->Picture1_MouseUp(1, 0, 150.0F, 150.0F);
        QVERIFY(!Dragging);
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(picture().image(), m_picture);
    }

    // A drag whose release never arrived: the next press removes its band.
    void pressAfterALostReleaseRemovesTheOldBand()
    {
        drawPicture(kExampleRegion);
        m_fx.window->Picture1_MouseDown(1, 0, 100.0F, 100.0F);
        m_fx.window->Picture1_MouseMove(1, 0, 150.0F, 170.0F);
        m_fx.window->Picture1_MouseDown(1, 0, 300.0F, 300.0F);
        QCOMPARE(picture().image(), m_picture);
        m_fx.window->Picture1_MouseMove(1, 0, 250.0F, 260.0F);
        QCOMPARE(picture().image(), withBand({300, 300}, {250, 250}));
        m_fx.window->Picture1_MouseUp(1, 0, 250.0F, 260.0F);
        QCOMPARE(picture().image(), m_picture);
        QCOMPARE(CalcCond, expectedRegion(kExampleRegion, {300, 300}, {250, 250}));
    }

    // Many moves at fractional positions, in and beyond the picture, back
    // to the start point and across it: the band is always the square of
    // the last move (the first move removes no band, there is none yet), and
    // the picture comes back bit for bit.
    void wanderingPointerLeavesThePictureAsItWas_data()
    {
        QTest::addColumn<bool>("cancelWithRightButton");
        QTest::newRow("released") << false;
        QTest::newRow("cancelled") << true;
    }
    void wanderingPointerLeavesThePictureAsItWas()
    {
        QFETCH(bool, cancelWithRightButton);
        drawPicture(kExampleRegion);
        QRandomGenerator random(20240607);
        const QPointF start(150.37, 211.61);
        const float sx = static_cast<float>(start.x());
        const float sy = static_cast<float>(start.y());
        m_fx.window->Picture1_MouseDown(1, 0, sx, sy);
        for (int step = 0; step < 60; ++step) {
            float x = static_cast<float>(-100.0 + random.bounded(600.0));
            float y = static_cast<float>(-100.0 + random.bounded(600.0));
            if (step % 10 == 3) {  // straight back to the start: side 0
                x = sx;
                y = sy;
            }
            m_fx.window->Picture1_MouseMove(1, 0, x, y);
            QCOMPARE(DragEndX, static_cast<float>(SquareEndX(sx, sy, x, y)));
            QCOMPARE(DragEndY, static_cast<float>(SquareEndY(sx, sy, x, y)));
            const QPoint a = pixelOf({sx, sy});
            const QPoint b = pixelOf({DragEndX, DragEndY});
            const QImage expected = withOutlineInverted(m_picture, a, b);
            QVERIFY2(picture().image() == expected,
                     qPrintable(QStringLiteral("step %1: %2 pixels off")
                                    .arg(step)
                                    .arg(differingPixels(picture().image(), expected))));
        }
        if (cancelWithRightButton) {
            m_fx.window->Picture1_MouseDown(2, 0, 10.5F, 20.5F);
            m_fx.window->Picture1_MouseUp(1, 0, 10.5F, 20.5F);
            QVERIFY(m_fx.desktop->messages.empty());
        } else {
            m_fx.window->Picture1_MouseUp(1, 0, 333.3F, -12.7F);
            QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        }
        QVERIFY(!Dragging);
        QCOMPARE(picture().image(), m_picture);
    }

    void okOpensTheConditionsDialogFilledWithTheRegion()
    {
        drawPicture(kExampleRegion);
        MaxIter = 500;
        QStringList texts;
        m_fx.desktop->modalHandlers[QStringLiteral("MDCalcCond")] = [&texts](QDialog& form) {
            for (const char* name : {"Text1", "Text2", "Text3", "Text4"}) {
                auto* box = form.findChild<QLineEdit*>(QLatin1String(name));
                texts << (box ? box->text() : QStringLiteral("(missing)"));
            }
            return 0;
        };
        press(Qt::LeftButton, {100, 300});
        move({180, 250});
        release(Qt::LeftButton, {180, 250});
        QCOMPARE(m_fx.desktop->modalForms, QStringList{QStringLiteral("MDCalcCond")});
        QCOMPARE(texts, (QStringList{"-0.21", "+0.86", "+0.08", "500"}));
        QCOMPARE(picture().image(), m_picture);
    }
};

QTEST_MAIN(TestZoomSelection)
#include "test_zoom_selection.moc"
