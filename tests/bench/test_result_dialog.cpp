// The benchmark result dialog: its texts, fonts, figures and closing.

#include "benchmark_figures.h"
#include "environment_locale.h"
#include "escape_time.h"
#include "escape_time_simd.h"
#include "fonts.h"
#include "mandel11.h"
#include "result_dialog.h"

#include <hwy/targets.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace quilfen;
using quilfen::test::adoptEnvironmentLocale;

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

    void fixedTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("time caption") << "Label1" << "計算時間：";
        QTest::newRow("time unit") << "Label6" << "sec";
        QTest::newRow("performance caption") << "Label3" << "演算性能：";
        QTest::newRow("reference machine, two blanks")
            << "Label8" << "vs Gateway2000/Select1000  (Athron 1GHz)";
    }
    void fixedTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        ResultDialog dialog;
        const auto* label = dialog.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), text);
    }

    void captionAndButton()
    {
        ResultDialog dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("ResultDialog"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("ベンチマーク結果"));
        QCOMPARE(dialog.OKButton->objectName(), QStringLiteral("OKButton"));
        QCOMPARE(dialog.OKButton->text(), QStringLiteral("OK"));
        QVERIFY(dialog.OKButton->isDefault());
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
        QCOMPARE(dialog.Label5->text(), text);
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::newRow("time figure") << "LabelTime" << "Times New Roman" << 18.0;
        QTest::newRow("rate figure") << "LabelFLOPS" << "Times New Roman" << 18.0;
        QTest::newRow("ratio figure") << "LabelGW2k" << "Times New Roman" << 18.0;
        QTest::newRow("time caption") << "Label1" << "ＭＳ Ｐゴシック" << 14.25;
        QTest::newRow("performance caption") << "Label3" << "ＭＳ Ｐゴシック" << 14.25;
        QTest::newRow("time unit") << "Label6" << "ＭＳ Ｐゴシック" << 14.25;
        QTest::newRow("rate unit") << "Label5" << "ＭＳ Ｐゴシック" << 11.25;
        QTest::newRow("reference machine") << "Label8" << "ＭＳ Ｐゴシック" << 11.25;
    }
    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(double, points);
        ResultDialog dialog;
        const auto* label = dialog.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pointSizeF(), points);
    }

    void figuresUseTheSerifStandIn()
    {
        ResultDialog dialog;
        QCOMPARE(QFontInfo(dialog.LabelTime->font()).family(), QStringLiteral("Liberation Serif"));
    }

    void figuresStandRightAlignedLeftOfTheirUnits_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("unit");
        QTest::newRow("time") << "LabelTime" << "Label6";
        QTest::newRow("rate") << "LabelFLOPS" << "Label5";
        QTest::newRow("ratio") << "LabelGW2k" << "Label8";
    }
    void figuresStandRightAlignedLeftOfTheirUnits()
    {
        QFETCH(QString, figure);
        QFETCH(QString, unit);
        ResultDialog dialog;
        const auto* f = dialog.findChild<QLabel*>(figure);
        const auto* u = dialog.findChild<QLabel*>(unit);
        QVERIFY(f && u);
        QVERIFY(f->alignment() & Qt::AlignRight);
        QVERIFY(f->geometry().right() < u->geometry().left());
        // On the same row: their vertical extents overlap.
        QVERIFY(f->geometry().top() < u->geometry().bottom());
        QVERIFY(u->geometry().top() < f->geometry().bottom());
    }

    void rowsRunTopToBottom()
    {
        ResultDialog dialog;
        QVERIFY(dialog.Label1->geometry().bottom() < dialog.Label3->geometry().top());
        QVERIFY(dialog.Label3->geometry().bottom() < dialog.LabelFLOPS->geometry().top());
        QVERIFY(dialog.LabelFLOPS->geometry().bottom() < dialog.LabelGW2k->geometry().top());
        QVERIFY(dialog.LabelGW2k->geometry().bottom() < dialog.OKButton->geometry().top());
        QVERIFY(dialog.rect().contains(dialog.OKButton->geometry()));
        QVERIFY(dialog.rect().contains(dialog.Label8->geometry()));
    }

    void referenceMachineIsCentredOnTwoLines()
    {
        ResultDialog dialog;
        QVERIFY(dialog.Label8->wordWrap());
        QCOMPARE(dialog.Label8->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        const QFontMetrics metrics(dialog.Label8->font());
        const QRect twoLines = metrics.boundingRect(dialog.Label8->contentsRect(), Qt::TextWordWrap,
                                                    dialog.Label8->text());
        // Two lines: taller than one, shorter than three.
        QVERIFY(twoLines.height() >= 2 * metrics.height());
        QVERIFY(twoLines.height() < 3 * metrics.height());
        QVERIFY(twoLines.height() <= dialog.Label8->height());
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
