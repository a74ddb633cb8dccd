// The benchmark result dialog: its look, figures and closing.

#include "bench/benchmark_figures.h"
#include "bench/result_dialog.h"
#include "engine/escape_time.h"
#include "engine/escape_time_simd.h"
#include "engine/mandel11.h"
#include "platform/fonts.h"
#include "tests/support/environment_locale.h"
#include "tests/support/form_look.h"

#include <hwy/targets.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace quilfen;
using namespace quilfen::test;

class TestResultDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString localeProblem = adoptEnvironmentLocale();
        QVERIFY2(localeProblem.isEmpty(), qPrintable(localeProblem));
        installFontSubstitutions();
    }
    void init() { resetEngineState(); }
    void cleanup()
    {
        hwy::SetSupportedTargetsForTest(0);
        setEngineThreads(0);
        resetEngineState();
    }

    void figuresOfTheLastRun_data()
    {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<QString>("mflops");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("ratio");
        QTest::newRow("4936 ms") << 1.234F << "259" << "1.234" << "1.05";
        QTest::newRow("480 ms, four figures of MFLOPS") << 0.12F << "2667" << "0.12" << "10.82";
        QTest::newRow("0 ms") << 0.0F << "-" << "0." << "-";
    }
    void figuresOfTheLastRun()
    {
        QFETCH(float, seconds);
        QFETCH(QString, mflops);
        QFETCH(QString, time);
        QFETCH(QString, ratio);
        CalcSeconds = seconds;
        MflopsText = mflopsText(seconds);  // as the benchmark run formats it
        ResultDialog dialog;
        QCOMPARE(dialog.LabelTime->text(), time);
        QCOMPARE(dialog.LabelFLOPS->text(), mflops);
        QCOMPARE(dialog.LabelGW2k->text(), ratio);
        for (const QLabel* figure : {dialog.LabelTime, dialog.LabelFLOPS, dialog.LabelGW2k})
            QCOMPARE(figure->palette().color(QPalette::WindowText), dialog.palette().color(QPalette::WindowText));
    }

    // A run that computed wrong counts shows no number at all, in red.
    void wrongCountsShowNoFigure_data()
    {
        QTest::addColumn<float>("seconds");
        QTest::newRow("4936 ms") << 1.234F;
        QTest::newRow("0 ms") << 0.0F;
    }
    void wrongCountsShowNoFigure()
    {
        QFETCH(float, seconds);
        CalcSeconds = seconds;
        MflopsText = "259";
        BenchInvalid = true;
        ResultDialog dialog;
        for (const QLabel* figure : {dialog.LabelTime, dialog.LabelFLOPS, dialog.LabelGW2k}) {
            QCOMPARE(figure->text(), QStringLiteral("無効"));
            QCOMPARE(figure->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        }
    }

    // The instruction set by the name users know, whichever the processor runs.
    void rateUnitNamesHowTheEngineComputes_data()
    {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<int>("threads");
        QTest::addColumn<QString>("text");
        QTest::newRow("AVX-512, one thread") << qint64(HWY_AVX3) << 1 << "MFLOPS (AVX-512, 1 スレッド)";
        QTest::newRow("AVX-512, three threads") << qint64(HWY_AVX3) << 3 << "MFLOPS (AVX-512, 3 スレッド)";
        QTest::newRow("AVX2") << qint64(HWY_AVX2) << 2 << "MFLOPS (AVX2, 2 スレッド)";
        QTest::newRow("SSE4") << qint64(HWY_SSE4) << 2 << "MFLOPS (SSE4, 2 スレッド)";
        QTest::newRow("NEON") << qint64(HWY_NEON) << 2 << "MFLOPS (NEON, 2 スレッド)";
        QTest::newRow("no vector instructions") << qint64(HWY_EMU128) << 1 << "MFLOPS (SIMD なし, 1 スレッド)";
    }
    void rateUnitNamesHowTheEngineComputes()
    {
        QFETCH(qint64, target);
        QFETCH(int, threads);
        QFETCH(QString, text);
        if ((simdCompiledTargets() & hwy::SupportedTargets() & target) == 0)
            QSKIP("the engine does not run that instruction set here");
        hwy::SetSupportedTargetsForTest(target);
        QCOMPARE(setEngineThreads(threads), threads);
        ResultDialog dialog;
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label5"))->text(), text);
    }

    // What the dialog fixes about its look: each control by its name, with
    // its fixed text and font; the figures stand right-aligned left of their
    // units, and the rows run from top to bottom.
    void look_data()
    {
        QTest::addColumn<Look>("look");
        QTest::addColumn<QString>("leftOf");  // in the same row
        QTest::addColumn<QString>("below");   // the row above
        const QFont figure = expectedFont("Times New Roman", 18.0);
        const QString serif = QStringLiteral("Liberation Serif");
        const QStringList rightAligned{QStringLiteral("right-aligned")};
        const QString none;
        lookRow({.name = "ResultDialog", .text = "ベンチマーク結果"}) << none << none;
        lookRow({.name = "Label1", .text = "計算時間：", .font = expectedFont("ＭＳ Ｐゴシック", 14.25)})
            << none << none;
        lookRow({.name = "LabelTime", .font = figure, .drawnWith = serif, .traits = rightAligned})
            << "Label6" << none;
        lookRow({.name = "Label6", .text = "sec", .font = expectedFont("ＭＳ Ｐゴシック", 14.25)}) << none << none;
        lookRow({.name = "Label3", .text = "演算性能：", .font = expectedFont("ＭＳ Ｐゴシック", 14.25)})
            << none << "Label1";
        lookRow({.name = "LabelFLOPS", .font = figure, .drawnWith = serif, .traits = rightAligned})
            << "Label5" << "Label3";
        lookRow({.name = "Label5", .font = expectedFont("ＭＳ Ｐゴシック", 11.25)}) << none << none;
        lookRow({.name = "LabelGW2k", .font = figure, .drawnWith = serif, .traits = rightAligned})
            << "Label8" << "LabelFLOPS";
        // Two blanks before the parenthesis.
        lookRow({.name = "Label8", .text = "vs Gateway2000/Select1000  (Athron 1GHz)",
                 .font = expectedFont("ＭＳ Ｐゴシック", 11.25), .traits = {"centred on two lines"}})
            << none << none;
        lookRow({.name = "OKButton", .text = "OK", .traits = {"default button"}}) << none << "LabelGW2k";
    }
    void look()
    {
        QFETCH(Look, look);
        QFETCH(QString, leftOf);
        QFETCH(QString, below);
        ResultDialog dialog;
        verifyLook(dialog, look);
        if (QTest::currentTestFailed())
            return;
        const QRect place = qobject_cast<QWidget*>(namedControl(dialog, look.name))->geometry();
        if (!leftOf.isEmpty()) {
            const QRect unit = dialog.findChild<QLabel*>(leftOf)->geometry();
            QVERIFY(place.right() < unit.left());
            // On the same row: their vertical extents overlap.
            QVERIFY(place.top() < unit.bottom() && unit.top() < place.bottom());
        }
        if (!below.isEmpty())
            QVERIFY(dialog.findChild<QWidget*>(below)->geometry().bottom() < place.top());
    }

    void closes_data()
    {
        QTest::addColumn<int>("key");  // 0: click the button
        QTest::newRow("OK button") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void closes()
    {
        QFETCH(int, key);
        ResultDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (key == 0)
            QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
        else
            QTest::keyClick(&dialog, static_cast<Qt::Key>(key));
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestResultDialog)
#include "test_result_dialog.moc"
