// The benchmark menu run on the main window, with the tick count, the modal
// result dialog and the status line under the test's control.

#include "bench/result_dialog.h"
#include "engine/escape_time_scalar.h"
#include "platform/picture_box.h"
#include "tests/support/window_fixture.h"

#include <QLabel>

#include <cstdint>
#include <memory>
#include <vector>

using namespace quilfen;
using namespace quilfen::test;

Q_DECLARE_METATYPE(std::uint32_t)

namespace {

const QString kBusyText = QStringLiteral("計算中です。お待ち下さい…");
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// What the window showed at one moment of the run.
struct Moment {
    QString status;
    QColor colour;
    bool drawDone = false;
    bool pictureBlank = false;
    int repaints = 0;  // paint-only event handling so far
    int doEvents = 0;  // event handling that lets input through, so far
};

// What the result dialog showed while it was open.
struct DialogView {
    QString time;
    QString flops;
    QString ratio;
    Moment window;
};

bool pictureIsBlank(PictureBox& picture)
{
    const QImage& image = picture.image();
    const QRgb background = picture.backgroundColour().rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                return false;
    return true;
}

}  // namespace

class TestBenchmarkRun : public QObject {
    Q_OBJECT

    WindowFixture<> m_fx;
    std::vector<std::uint32_t> m_ticks;  // readings the tick count gives, in order
    std::vector<Moment> m_atTicks;       // the window at each reading
    std::vector<DialogView> m_dialogs;   // one per opening of the result dialog

    Moment now() const
    {
        Moment m;
        m.status = m_fx.window->Label1->text();
        m.colour = m_fx.window->Label1->palette().color(QPalette::WindowText);
        m.drawDone = DrawDone;
        m.pictureBlank = pictureIsBlank(*m_fx.window->Picture1);
        m.repaints = m_fx.desktop->repaintCalls;
        m.doEvents = m_fx.desktop->doEventsCalls;
        return m;
    }

    // The readings for one run: t0, the settling readings up to ts, then t1.
    static std::vector<std::uint32_t> oneRun(std::uint32_t t0, std::uint32_t elapsedMs)
    {
        const std::uint32_t ts = t0 + 1000U;
        return {t0, ts, ts + elapsedMs};
    }

    void runBenchmark() { m_fx.trigger("MenuBenchGo"); }

private slots:
    void init()
    {
        m_fx.start(false);
        m_ticks.clear();
        m_atTicks.clear();
        m_dialogs.clear();
        m_fx.desktop->onTick = [this] {
            const std::size_t k = m_atTicks.size();
            m_atTicks.push_back(now());
            // Past the script the clock runs on in big steps, so a wrong
            // number of readings fails the test instead of hanging it.
            if (k < m_ticks.size())
                return m_ticks[k];
            const std::uint32_t last = m_ticks.empty() ? 0U : m_ticks.back();
            return last + 1000U * static_cast<std::uint32_t>(k + 1 - m_ticks.size());
        };
        m_fx.desktop->modalHandlers[QStringLiteral("ResultDialog")] = [this](QDialog& form) {
            auto& dialog = dynamic_cast<ResultDialog&>(form);
            m_dialogs.push_back({dialog.LabelTime->text(), dialog.LabelFLOPS->text(),
                                 dialog.LabelGW2k->text(), now()});
            return int(QDialog::Accepted);
        };
        QVERIFY(m_fx.window->Form_Load());
    }
    void cleanup() { m_fx.stop(); }

    // Through the menu; test_benchmark_figures has the figures of every
    // worked example.
    void workedExamples_data()
    {
        QTest::addColumn<std::uint32_t>("elapsed");
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("flops");
        QTest::addColumn<QString>("ratio");
        QTest::newRow("4936 ms")
            << 4936U << 1.234F << "計算時間は1.234秒" << "1.234" << "259" << "1.05";
        QTest::newRow("1234 ms, fourth decimal 5")
            << 1234U << 0.3085F << "計算時間は0.309秒" << "0.309" << "1037" << "4.21";
        QTest::newRow("4000 ms, one second")
            << 4000U << 1.0F << "計算時間は1.秒" << "1." << "320" << "1.30";
        QTest::newRow("0 ms, within one tick")
            << 0U << 0.0F << "計算時間は0.秒" << "0." << "-" << "-";
    }
    void workedExamples()
    {
        QFETCH(std::uint32_t, elapsed);
        QFETCH(float, seconds);
        QFETCH(QString, status);
        QFETCH(QString, time);
        QFETCH(QString, flops);
        QFETCH(QString, ratio);
        m_ticks = oneRun(777000U, elapsed);
        runBenchmark();

        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(CalcSeconds, seconds);
        QCOMPARE(QString::fromStdString(MflopsText), flops);
        QCOMPARE(m_fx.window->Label1->text(), status);
        QCOMPARE(m_fx.window->Label1->palette().color(QPalette::WindowText), kBlack);
        QCOMPARE(m_dialogs.size(), std::size_t{1});
        QCOMPARE(m_dialogs[0].time, time);
        QCOMPARE(m_dialogs[0].flops, flops);
        QCOMPARE(m_dialogs[0].ratio, ratio);
    }

    void statusTextsAndColoursInOrder()
    {
        // A picture on screen first, so that clearing it shows.
        CalcMandel();
        DrawMandel();
        QVERIFY(!pictureIsBlank(*m_fx.window->Picture1));
        const int doEventsBefore = m_fx.desktop->doEventsCalls;

        m_ticks = oneRun(5000U, 4936U);
        runBenchmark();
        QCOMPARE(m_atTicks.size(), std::size_t{3});

        // t0: red, picture cleared, no selection possible; the window has
        // repainted where the menu was, but no input has been handled.
        QCOMPARE(m_atTicks[0].status, kBusyText);
        QCOMPARE(m_atTicks[0].colour, kRed);
        QVERIFY(!m_atTicks[0].drawDone);
        QVERIFY(m_atTicks[0].pictureBlank);
        QCOMPARE(m_atTicks[0].repaints, 1);
        QCOMPARE(m_atTicks[2].doEvents, doEventsBefore);
        // t1: the computations are done, nothing drawn or reported yet.
        QCOMPARE(m_atTicks[2].status, kBusyText);
        QCOMPARE(m_atTicks[2].colour, kRed);
        QVERIFY(!m_atTicks[2].drawDone);
        QVERIFY(m_atTicks[2].pictureBlank);
        // Dialog: the time in black above the finished picture.
        QCOMPARE(m_dialogs.size(), std::size_t{1});
        QCOMPARE(m_dialogs[0].window.status, QStringLiteral("計算時間は1.234秒"));
        QCOMPARE(m_dialogs[0].window.colour, kBlack);
        QVERIFY(m_dialogs[0].window.drawDone);
        QVERIFY(!m_dialogs[0].window.pictureBlank);
        // After the dialog closes the status keeps the time.
        QCOMPARE(m_fx.window->Label1->text(), QStringLiteral("計算時間は1.234秒"));
    }

    void settlingWaitPollsUntilAFullSecond()
    {
        // Readings 300 ms apart: 5900 is short of the second, 6200 is the
        // start time, so 4936 ms are measured from 6200, not from 6000.
        m_ticks = {5000U, 5300U, 5600U, 5900U, 6200U, 6200U + 4936U};
        runBenchmark();
        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(CalcSeconds, 1.234F);
        // Between readings the wait sleeps, repainting, up to 5 ms before the
        // end (the last 5 ms are polled); 6200 came too late for that.
        QCOMPARE(m_fx.desktop->sleeps, (std::vector<std::uint32_t>{695U, 395U, 95U}));
    }

    // Closing the main window during the run: the run finishes, then the
    // program ends without showing the result dialog.
    void closingTheWindowEndsTheProgram_data()
    {
        QTest::addColumn<int>("closeAtReading");  // -1: not closed
        QTest::newRow("not closed") << -1;
        QTest::newRow("closed during the settling wait") << 0;
        QTest::newRow("closed after the computations") << 2;
    }
    void closingTheWindowEndsTheProgram()
    {
        QFETCH(int, closeAtReading);
        m_ticks = oneRun(5000U, 4936U);
        auto scripted = m_fx.desktop->onTick;
        m_fx.desktop->onTick = [&, scripted] {
            if (m_atTicks.size() == static_cast<std::size_t>(closeAtReading))
                m_fx.window->close();
            return scripted();
        };
        runBenchmark();
        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(CalcSeconds, 1.234F);
        QVERIFY(DrawDone);
        if (closeAtReading < 0) {
            QCOMPARE(m_dialogs.size(), std::size_t{1});
            QVERIFY(m_fx.desktop->endRequests.empty());
        } else {
            QVERIFY(m_fx.desktop->modalForms.isEmpty());
            QCOMPARE(m_fx.desktop->endRequests, std::vector<int>{0});
        }
    }

    void tickWrapInsideTheSettlingWait()
    {
        const std::uint32_t t0 = 0xFFFFFF00U;
        m_ticks.clear();
        for (std::uint32_t k = 0; k <= 10; ++k)
            m_ticks.push_back(t0 + 100U * k);  // wraps after the third reading
        m_ticks.push_back(m_ticks.back() + 1234U);
        QCOMPARE(m_ticks[10], 0x000002E8U);
        runBenchmark();
        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(CalcSeconds, 0.3085F);
        QCOMPARE(m_dialogs.at(0).time, QStringLiteral("0.309"));
    }

    void tickWrapInsideTheTimedStretch()
    {
        m_ticks = oneRun(0xFFFFF000U - 1000U, 4936U);
        QVERIFY(m_ticks[2] < m_ticks[1]);
        runBenchmark();
        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(CalcSeconds, 1.234F);
        QCOMPARE(QString::fromStdString(MflopsText), QStringLiteral("259"));
        QCOMPARE(m_dialogs.at(0).ratio, QStringLiteral("1.05"));
    }

    void secondRunOverwritesTheResults()
    {
        const auto first = oneRun(10000U, 4936U);
        const auto second = oneRun(50000U, 20000U);
        m_ticks = first;
        m_ticks.insert(m_ticks.end(), second.begin(), second.end());
        runBenchmark();
        runBenchmark();
        QCOMPARE(m_atTicks.size(), m_ticks.size());
        QCOMPARE(m_fx.desktop->modalForms,
                 QStringList({QStringLiteral("ResultDialog"), QStringLiteral("ResultDialog")}));
        QCOMPARE(m_dialogs.size(), std::size_t{2});
        QCOMPARE(m_dialogs[0].time, QStringLiteral("1.234"));
        QCOMPARE(m_dialogs[1].time, QStringLiteral("5."));
        QCOMPARE(m_dialogs[1].flops, QStringLiteral("64"));
        QCOMPARE(m_dialogs[1].ratio, QStringLiteral("0.26"));
        QCOMPARE(CalcSeconds, 5.0F);
        QCOMPARE(QString::fromStdString(MflopsText), QStringLiteral("64"));
        QCOMPARE(m_fx.window->Label1->text(), QStringLiteral("計算時間は5.秒"));
    }

    // The grid is checked after the closing tick reading: a count spoilt at
    // that reading, after the four computations, makes every figure invalid;
    // one spoilt at the start time is overwritten by the computations.
    void wrongCountsMakeTheFiguresInvalid_data()
    {
        QTest::addColumn<int>("spoiltAt");  // tick reading after which one count changes
        QTest::addColumn<bool>("invalid");
        QTest::newRow("after the timed runs") << 2 << true;
        QTest::newRow("before the timed runs") << 1 << false;
    }
    void wrongCountsMakeTheFiguresInvalid()
    {
        QFETCH(int, spoiltAt);
        QFETCH(bool, invalid);
        const auto first = oneRun(10000U, 4936U);
        const auto second = oneRun(50000U, 4936U);
        m_ticks = first;
        m_ticks.insert(m_ticks.end(), second.begin(), second.end());
        m_fx.desktop->onTick = [this, spoiltAt, reading = m_fx.desktop->onTick] {
            const std::size_t k = m_atTicks.size();
            const std::uint32_t now = reading();
            if (k == static_cast<std::size_t>(spoiltAt))
                ++IterMap[123][45];
            return now;
        };
        runBenchmark();

        const QString invalidText = QStringLiteral("無効");
        QCOMPARE(m_dialogs.size(), std::size_t{1});
        QCOMPARE(BenchInvalid, invalid);
        if (invalid) {
            QCOMPARE(m_dialogs[0].time, invalidText);
            QCOMPARE(m_dialogs[0].flops, invalidText);
            QCOMPARE(m_dialogs[0].ratio, invalidText);
            QCOMPARE(QString::fromStdString(MflopsText), invalidText);
            QCOMPARE(m_dialogs[0].window.status,
                     QStringLiteral("計算結果が正しくないため、ベンチマークの結果は無効です"));
            QCOMPARE(m_dialogs[0].window.colour, kRed);
        } else {
            QCOMPARE(m_dialogs[0].time, QStringLiteral("1.234"));
            QCOMPARE(m_dialogs[0].flops, QStringLiteral("259"));
            QCOMPARE(m_dialogs[0].ratio, QStringLiteral("1.05"));
            QCOMPARE(m_dialogs[0].window.status, QStringLiteral("計算時間は1.234秒"));
            QCOMPARE(m_dialogs[0].window.colour, kBlack);
        }
        // The picture is drawn either way; the status keeps its text.
        QVERIFY(m_dialogs[0].window.drawDone);
        QCOMPARE(m_fx.window->Label1->text(), m_dialogs[0].window.status);

        // A following run with the right counts is valid again.
        runBenchmark();
        QCOMPARE(m_dialogs.size(), std::size_t{2});
        QVERIFY(!BenchInvalid);
        QCOMPARE(m_dialogs[1].flops, QStringLiteral("259"));
        QCOMPARE(m_fx.window->Label1->text(), QStringLiteral("計算時間は1.234秒"));
    }

    void benchmarkConditionsStayCurrent()
    {
        CalcCond = {0.25, -0.5, 1.5};
        MaxIter = 1000;
        m_ticks = oneRun(1000U, 4000U);
        runBenchmark();

        const CalcCondition region{-0.15, 0.8, 0.4};
        QCOMPARE(CalcCond, region);
        QCOMPARE(DrawnCond, region);
        QCOMPARE(MaxIter, 500);
        QCOMPARE(HalfSize, 200);
        QVERIFY(DrawDone);

        auto expected = std::make_unique<IterGrid>(IterMap);
        computeIterMapScalar(region, 200, 500, *expected);
        QVERIFY(*expected == IterMap);
    }
};

QTEST_MAIN(TestBenchmarkRun)
#include "test_benchmark_run.moc"
