// The calculation conditions dialog, opened from the menu and driven through
// the scripted platform.

#include "platform/picture_box.h"
#include "tests/support/program_texts.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"
#include "ui/calc_cond/md_calc_cond.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "tests/support/environment_locale.h"
#include "tests/support/exact_compare.h"
#include "tests/support/form_look.h"

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

using namespace quilfen;
using namespace quilfen::test;

namespace {

const QString kRunning = QStringLiteral("計算中です。お待ち下さい・・・");
const QString kDrawing = QStringLiteral("描画中・・・");
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// A region far outside the set: every point escapes at once, so runs with
// any iteration limit are quick.
const CalcCondition kFarRegion{10.0, 10.0, 1.0};

struct StatusSeen {
    QString text;
    QColor colour;
    bool operator==(const StatusSeen&) const = default;
};

char* toString(const StatusSeen& s)
{
    return QTest::toString(s.text + QStringLiteral(" ") + s.colour.name());
}

// Shows the dialog and gives it the keyboard focus, as the desktop does.
bool showActive(QDialog& dialog)
{
    dialog.show();
    dialog.activateWindow();
    return QTest::qWaitForWindowActive(&dialog);
}

QRgb pixelOf(const MDCalcCond& d, int x, int y)
{
    return d.RangePict->image().pixel(x, y) & 0xFFFFFFU;
}

// The figures' colours as pixels of the preview's image.
const QRgb kAxisPixel = qRgb(0, 0, 255) & 0xFFFFFFU;
const QRgb kOutlinePixel = qRgb(255, 255, 0) & 0xFFFFFFU;

}  // namespace

class TestCalcCond : public QObject {
    Q_OBJECT
private:
    WindowFixture<> m_fx;
    int m_openings = 0;

    ScriptedPlatform& scripted() { return *m_fx.desktop; }

    StatusSeen status() const
    {
        return {m_fx.window->Label1->text(), m_fx.window->Label1->palette().color(QPalette::WindowText)};
    }

    // Opens the dialog from the menu, as the user does, and runs script on
    // it while it is shown.
    void openDialog(const std::function<void(MDCalcCond&)>& script)
    {
        scripted().modalHandlers[QStringLiteral("MDCalcCond")] = [this, script](QDialog& form) {
            ++m_openings;
            auto* dialog = qobject_cast<MDCalcCond*>(&form);
            if (dialog)
                script(*dialog);
            return form.result();
        };
        m_fx.trigger("MenuConditionCal");
    }

private slots:
    void initTestCase()
    {
        const QString localeProblem = adoptEnvironmentLocale();
        QVERIFY2(localeProblem.isEmpty(), qPrintable(localeProblem));
    }

    void init()
    {
        m_openings = 0;
        m_fx.start(false);
        QVERIFY(m_fx.window->Form_Load());  // default.qpl beside the test
    }

    void cleanup() { m_fx.stop(); }

    void firstOpening()
    {
        QPointer<MDCalcCond> seen;
        openDialog([&](MDCalcCond& d) {
            seen = &d;
            QCOMPARE(d.Text1->text(), QStringLiteral("-0.5"));
            QCOMPARE(d.Text2->text(), QStringLiteral("+0."));
            QCOMPARE(d.Text3->text(), QStringLiteral("+2.5"));
            QCOMPARE(d.Text4->text(), QStringLiteral("500"));
            QCOMPARE_EXACT(d.EditCentreRe, -0.5);
            QCOMPARE_EXACT(d.EditCentreIm, 0.0);
            QCOMPARE_EXACT(d.EditRange, 2.5);
            QVERIFY(d.isLoaded());
            QVERIFY(d.parent() == nullptr);
        });
        QCOMPARE(m_openings, 1);
        QCOMPARE(scripted().modalForms, QStringList{QStringLiteral("MDCalcCond")});
        QVERIFY(seen.isNull());  // unloaded: destroyed after closing
        QCOMPARE(CalcCond, (CalcCondition{-0.5, 0.0, 2.5}));
        QCOMPARE(MaxIter, 500);
    }

    // "設定して実行" shows its focus mark as soon as the dialog opens, the
    // same mark the keyboard gives it, not only after a key is pressed.
    void focusMarkShowsAtOpening()
    {
        openDialog([&](MDCalcCond& d) {
            QVERIFY(showActive(d));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.CmdSet));
            const QImage opening = d.CmdSet->grab().toImage();

            d.Text4->setFocus(Qt::OtherFocusReason);
            QVERIFY(!d.CmdSet->hasFocus());
            const QImage unfocused = d.CmdSet->grab().toImage();

            QTest::keyClick(d.Text4, Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.CmdSet));
            const QImage tabbed = d.CmdSet->grab().toImage();

            QVERIFY(opening != unfocused);
            QCOMPARE(opening, tabbed);
            d.CmdCancel_Click();
        });
    }

    // What the dialog fixes about its look: each control by its name, with
    // its caption and its place; a label stands at x = 217 in its box's row;
    // the tab order runs from the control that has the focus at opening.
    void look_data()
    {
        QTest::addColumn<Look>("look");
        QTest::addColumn<QString>("captionOf");
        QTest::addColumn<int>("tab");  // -1: no tab stop
        const QStringList noDefault{QStringLiteral("no default button")};
        lookRow({.name = "MDCalcCond", .text = "計算条件", .geometry = {0, 0, 449, 211}, .traits = {"fixed size"}})
            << QString() << -1;
        lookRow({.name = "RangePict", .geometry = {8, 8, 198, 198}}) << QString() << -1;
        lookRow({.name = "CmdSet", .text = "設定して実行", .geometry = {355, 175, 88, 30}, .traits = noDefault})
            << QString() << 0;
        lookRow({.name = "Label4", .text = "繰り返しの最大数"}) << "Text4" << -1;
        lookRow({.name = "Text4", .geometry = {336, 7, 105, 29}}) << QString() << 1;
        lookRow({.name = "Label1", .text = "中心座標(実軸)"}) << "Text1" << -1;
        lookRow({.name = "Text1", .geometry = {336, 42, 105, 29}}) << QString() << 2;
        lookRow({.name = "Label2", .text = "中心座標(虚軸)"}) << "Text2" << -1;
        lookRow({.name = "Text2", .geometry = {336, 77, 105, 29}}) << QString() << 3;
        lookRow({.name = "Label3", .text = "計算範囲"}) << "Text3" << -1;
        lookRow({.name = "Text3", .geometry = {336, 112, 105, 29}}) << QString() << 4;
        lookRow({.name = "CmdDefalutSet", .text = "初期値に戻す", .geometry = {216, 147, 100, 22}, .traits = noDefault})
            << QString() << 5;
        lookRow({.name = "CmdCancel", .text = "設定のみ", .geometry = {216, 175, 87, 30}, .traits = noDefault})
            << QString() << 6;
    }
    void look()
    {
        QFETCH(Look, look);
        QFETCH(QString, captionOf);
        QFETCH(int, tab);
        openDialog([&](MDCalcCond& d) {
            QVERIFY(showActive(d));
            verifyLook(d, look);
            if (QTest::currentTestFailed())
                return;
            auto* control = qobject_cast<QWidget*>(namedControl(d, look.name));
            if (!captionOf.isEmpty()) {
                const QWidget* box = d.findChild<QLineEdit*>(captionOf);
                QVERIFY(box);
                QCOMPARE(control->x(), 217);
                QVERIFY(control->geometry().intersects(QRect(217, box->y(), box->x() - 217, box->height())));
            }
            // The focus chain from the focus at opening, tab stops only.
            QList<QWidget*> order;
            QWidget* w = QApplication::focusWidget();
            QVERIFY(w);
            do {
                if (w->focusPolicy() & Qt::TabFocus)
                    order << w;
                w = w->nextInFocusChain();
            } while (w != QApplication::focusWidget());
            QCOMPARE(order.size(), qsizetype(7));
            QCOMPARE(order.indexOf(control), qsizetype(tab));
            d.CmdCancel_Click();
        });
    }

    void rangeText_data()
    {
        QTest::addColumn<double>("range");
        QTest::addColumn<QString>("text");
        QTest::newRow("2.5") << 2.5 << "+2.5";
        QTest::newRow("0.00010001 in form B") << 0.00010001 << "+0.0001";
        QTest::newRow("0.0001 in form C") << 0.0001 << "+1.e-4";
        QTest::newRow("zero") << 0.0 << "+0.e0";
        QTest::newRow("negative") << -1.0 << "-1.e0";
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "NaN";
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "Infinity";
    }
    void rangeText()
    {
        QFETCH(double, range);
        QFETCH(QString, text);
        CalcCond = {0.39032, -0.23775, range};
        MaxIter = 350;
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("+0.39032"));
            QCOMPARE(d.Text2->text(), QStringLiteral("-0.23775"));
            QCOMPARE(d.Text3->text(), text);
            QCOMPARE(d.Text4->text(), QStringLiteral("350"));
            QVERIFY(d.EditRange == range || (std::isnan(d.EditRange) && std::isnan(range)));
        });
    }

    void negativeIterationLimitText()
    {
        MaxIter = -7;
        openDialog([&](MDCalcCond& d) { QCOMPARE(d.Text4->text(), QStringLiteral("-7")); });
    }

    // The boxes show rounded texts; the working values, and what
    // "設定して実行" stores, are the values themselves.
    void fullPrecisionKept()
    {
        const CalcCondition precise{0.123456789012, -0.987654321098765, 0.000123456789012};
        CalcCond = precise;
        MaxIter = 20;
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("+0.12345679"));
            QCOMPARE(d.Text2->text(), QStringLiteral("-0.98765432"));
            QCOMPARE(d.Text3->text(), QStringLiteral("+0.0001235"));
            QCOMPARE_EXACT(d.EditCentreRe, precise.CentreRe);
            d.CmdSet->click();
        });
        QCOMPARE(CalcCond, precise);
        QCOMPARE(DrawnCond, precise);
        QCOMPARE(MaxIter, 20);
        QVERIFY(DrawDone);
    }

    // Enter in, or leaving, any of the first three boxes reads all three.
    void enterAndLeave_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("enter");
        for (int box = 1; box <= 3; ++box) {
            QTest::addRow("Enter in Text%d", box) << box << true;
            QTest::addRow("leaving Text%d", box) << box << false;
        }
    }
    void enterAndLeave()
    {
        QFETCH(int, box);
        QFETCH(bool, enter);
        CalcCond = {0.123456789012, 0.0, 2.5};
        MaxIter = 20;
        openDialog([&](MDCalcCond& d) {
            QVERIFY(showActive(d));
            // Texts put in without events: nothing is read yet.
            d.Text2->setText(QStringLiteral("-0.125"));
            d.Text3->setText(QStringLiteral("0.5"));
            QCOMPARE_EXACT(d.EditCentreIm, 0.0);
            QLineEdit* target = box == 1 ? d.Text1 : box == 2 ? d.Text2 : d.Text3;
            target->setFocus(Qt::OtherFocusReason);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(target));
            QCOMPARE_EXACT(d.EditRange, 2.5);  // gaining the focus reads nothing
            if (enter)
                QTest::keyClick(target, Qt::Key_Return);
            else
                QTest::keyClick(target, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget() == target, enter);
            QCOMPARE_EXACT(d.EditCentreRe, 0.12345679);  // the text shown, not the value
            QCOMPARE_EXACT(d.EditCentreIm, -0.125);
            QCOMPARE_EXACT(d.EditRange, 0.5);
            QVERIFY(d.isLoaded());
            QCOMPARE(d.Text1->text(), QStringLiteral("+0.12345679"));  // Enter changes no text
            // The preview moved: the old outline's top edge (y = 1.25) is gone.
            QVERIFY(pixelOf(d, 60, 38) != kOutlinePixel);
            d.CmdSet->click();
        });
        QCOMPARE(CalcCond, (CalcCondition{0.12345679, -0.125, 0.5}));
    }

    // Other keys read nothing.
    void otherKeysReadNothing()
    {
        openDialog([&](MDCalcCond& d) {
            QVERIFY(showActive(d));
            d.Text1->setFocus(Qt::OtherFocusReason);
            d.Text1->selectAll();
            QTest::keyClicks(d.Text1, QStringLiteral("0.25"));
            QCOMPARE(d.Text1->text(), QStringLiteral("0.25"));
            QCOMPARE_EXACT(d.EditCentreRe, -0.5);
            d.CmdCancel->click();
        });
        QCOMPARE_EXACT(CalcCond.CentreRe, -0.5);
    }

    // Clicking "設定して実行" with an edit still in a box: the box loses the
    // focus to the button first, so the edit is stored.
    void pendingEditStoredBeforeClick_data()
    {
        QTest::addColumn<int>("box");
        QTest::newRow("Text1") << 1;
        QTest::newRow("Text2") << 2;
        QTest::newRow("Text3") << 3;
    }
    void pendingEditStoredBeforeClick()
    {
        QFETCH(int, box);
        MaxIter = 20;
        CalcCondition seenAtRun;
        scripted().onRepaint = [&] {
            if (scripted().repaintCalls == 1)
                seenAtRun = CalcCond;
        };
        openDialog([&](MDCalcCond& d) {
            QVERIFY(showActive(d));
            QLineEdit* target = box == 1 ? d.Text1 : box == 2 ? d.Text2 : d.Text3;
            target->setFocus(Qt::OtherFocusReason);
            target->selectAll();
            QTest::keyClicks(target, QStringLiteral("0.75"));
            QTest::mouseClick(d.CmdSet, Qt::LeftButton);
        });
        CalcCondition expected{-0.5, 0.0, 2.5};
        (box == 1 ? expected.CentreRe : box == 2 ? expected.CentreIm : expected.Range) = 0.75;
        QCOMPARE(seenAtRun, expected);
        QCOMPARE(CalcCond, expected);
        QCOMPARE(m_fx.window->Label1->palette().color(QPalette::WindowText), kBlack);
    }

    // Ordinary texts in the limit box; test_hostile_input has the hostile ones.
    void text4Readings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxIter");
        QTest::newRow("2.9") << "2.9" << 2;
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("-5") << "-5" << 1;
        QTest::newRow("abc") << "abc" << 1;
        QTest::newRow("1e3") << "1e3" << 1000;
        QTest::newRow("blanks between digits") << " 3 5 0 " << 350;
        QTest::newRow("1,5") << "1,5" << 1;
        QTest::newRow("just above the cap") << "1000001" << 1000000;
        QTest::newRow("the cap") << "1000000" << 1000000;
    }
    void text4Readings()
    {
        QFETCH(QString, text);
        QFETCH(int, maxIter);
        CalcCond = kFarRegion;
        openDialog([&](MDCalcCond& d) {
            d.Text4->setText(text);
            d.CmdSet->click();
        });
        QCOMPARE(MaxIter, maxIter);
        QVERIFY(DrawDone);
    }

    void restoreDefaultsThenSetOnly()
    {
        CalcCond = {0.3, 0.1, 0.2};
        MaxIter = 77;
        openDialog([&](MDCalcCond& d) {
            d.Text1->setText(QStringLiteral("5"));
            d.CmdDefalutSet->click();
            QCOMPARE(d.Text1->text(), QStringLiteral("-0.5"));
            QCOMPARE(d.Text2->text(), QStringLiteral("0"));
            QCOMPARE(d.Text3->text(), QStringLiteral("2.5"));
            QCOMPARE(d.Text4->text(), QStringLiteral("500"));
            QCOMPARE_EXACT(d.EditCentreRe, -0.5);
            QCOMPARE_EXACT(d.EditCentreIm, 0.0);
            QCOMPARE_EXACT(d.EditRange, 2.5);
            // The start-up square: its left edge at x = -1.75 (pixel 13),
            // its top edge at y = 1.25 (pixel 38).
            QCOMPARE(pixelOf(d, 13, 100), kOutlinePixel);
            QCOMPARE(pixelOf(d, 60, 38), kOutlinePixel);
            QCOMPARE(CalcCond, (CalcCondition{0.3, 0.1, 0.2}));
            d.CmdCancel->click();
            QVERIFY(!d.isLoaded());
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(CalcCond, (CalcCondition{0.3, 0.1, 0.2}));
        QCOMPARE(MaxIter, 77);
        QVERIFY(!DrawDone);
        QCOMPARE(m_fx.window->Label1->text(), kWaiting);
        QCOMPARE(scripted().tickReadings, 0);
        QCOMPARE(scripted().doEventsCalls, 0);
        QCOMPARE(scripted().repaintCalls, 0);
    }

    // Closing by the window's control, by Escape, or with no handler at all
    // (the scripted platform closes the form at once) stores nothing.
    void closingStoresNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("close control") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("closed at once") << 2;
    }
    void closingStoresNothing()
    {
        QFETCH(int, how);
        CalcCond = {0.3, 0.1, 0.2};
        MaxIter = 77;
        if (how == 2) {
            m_fx.trigger("MenuConditionCal");
        } else {
            openDialog([&](MDCalcCond& d) {
                QVERIFY(showActive(d));
                d.Text1->setFocus(Qt::OtherFocusReason);
                d.Text1->setText(QStringLiteral("1"));
                d.Text4->setText(QStringLiteral("9"));
                if (how == 0)
                    QVERIFY(d.close());
                else
                    QTest::keyClick(d.Text1, Qt::Key_Escape);
                QVERIFY(!d.isLoaded());
            });
        }
        QCOMPARE(scripted().modalForms.size(), qsizetype(1));
        QCOMPARE(CalcCond, (CalcCondition{0.3, 0.1, 0.2}));
        QCOMPARE(MaxIter, 77);
        QCOMPARE(m_fx.window->Label1->text(), kWaiting);
    }

    // Every opening loads afresh from the shared state.
    void eachOpeningLoadsAfresh()
    {
        openDialog([&](MDCalcCond& d) {
            d.Text1->setText(QStringLiteral("0.25"));
            QTest::keyClick(d.Text1, Qt::Key_Return);
            d.CmdCancel->click();
        });
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("-0.5"));
            QCOMPARE_EXACT(d.EditCentreRe, -0.5);
            d.CmdCancel->click();
        });
        QCOMPARE(m_openings, 2);
    }

    // Red while computing and drawing, black with the time at the end; the
    // dialog is hidden during the run and unloaded after it. The main window
    // repaints once the dialog is hidden, but no input is handled before the
    // drawing has finished.
    void statusSequence()
    {
        MaxIter = 20;
        QList<StatusSeen> seen;
        auto record = [&] {
            const StatusSeen now = status();
            if (seen.isEmpty() || !(seen.back() == now))
                seen << now;
        };
        const std::uint32_t ticks[] = {5000, 5999, 6000, 7000, 9453};
        int reading = 0;
        bool hiddenWhileRunning = true;
        bool clearedBeforeTheWait = false;
        QPointer<MDCalcCond> dialog;
        scripted().onTick = [&]() -> std::uint32_t {
            record();
            hiddenWhileRunning = hiddenWhileRunning && dialog && !dialog->isVisible() && dialog->isLoaded();
            return reading < 5 ? ticks[reading++] : 9999;
        };
        bool repaintedWithTheDialogHidden = false;
        scripted().onRepaint = [&] {
            record();
            if (scripted().repaintCalls == 1) {
                repaintedWithTheDialogHidden = dialog && !dialog->isVisible();
                clearedBeforeTheWait = !DrawDone && scripted().tickReadings == 0 &&
                                       m_fx.window->Picture1->image().pixel(200, 200) ==
                                           m_fx.window->Picture1->backgroundColour().rgb();
            }
        };
        bool inputBeforeTheDrawing = false;
        scripted().onDoEvents = [&] {
            record();
            inputBeforeTheDrawing = inputBeforeTheDrawing || !DrawDone;
        };
        openDialog([&](MDCalcCond& d) {
            dialog = &d;
            d.show();
            d.CmdSet->click();
            QVERIFY(!d.isLoaded());
        });
        record();
        const QList<StatusSeen> expected = {
            {kRunning, kRed},
            {kDrawing, kRed},
            {QStringLiteral("計算時間は 2.453秒"), kBlack},
        };
        QCOMPARE(seen, expected);
        QCOMPARE(reading, 5);
        QCOMPARE(scripted().tickReadings, 5);
        QCOMPARE(scripted().repaintCalls, 1);
        QCOMPARE(scripted().doEventsCalls, 1);  // the drawing's, at its end
        QVERIFY(!inputBeforeTheDrawing);
        QCOMPARE_EXACT(CalcSeconds, 2.453f);
        QVERIFY(hiddenWhileRunning);
        QVERIFY(repaintedWithTheDialogHidden);
        QVERIFY(clearedBeforeTheWait);
        QVERIFY(DrawDone);
        QVERIFY(dialog.isNull());
    }

    // The pause waits 1000 ticks whatever the counter does. It sleeps (the
    // scripted clock moves on by the sleep) through all but the last 5 ms,
    // which it polls: readings are the pause's start, the reading before the
    // sleep, those after it up to the end, and the two around the computation.
    void pauseOnTheTickCount_data()
    {
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<int>("readings");
        QTest::addColumn<QList<quint32>>("sleeps");
        QTest::addColumn<float>("seconds");
        // 1000, 1001, sleep 994, 1996 … 2000, then 2001 and 2002.
        QTest::newRow("plain") << quint32(1000) << quint32(1) << 9 << QList<quint32>{994} << 0.001f;
        QTest::newRow("wrap through zero")
            << quint32(0xFFFFFE00) << quint32(1) << 9 << QList<quint32>{994} << 0.001f;
        QTest::newRow("through the signed boundary")
            << quint32(0x7FFFFE00) << quint32(1) << 9 << QList<quint32>{994} << 0.001f;
        // S, S + 16, sleep 979, S + 1011 is past the end.
        QTest::newRow("coarse ticks")
            << quint32(0xFFFFFFF0) << quint32(16) << 5 << QList<quint32>{979} << 0.016f;
        // 0, 999 leaves 1 ms: polled, no sleep.
        QTest::newRow("large steps") << quint32(0) << quint32(999) << 5 << QList<quint32>{} << 0.999f;
    }
    void pauseOnTheTickCount()
    {
        QFETCH(quint32, start);
        QFETCH(quint32, step);
        QFETCH(int, readings);
        QFETCH(QList<quint32>, sleeps);
        QFETCH(float, seconds);
        CalcCond = kFarRegion;
        scripted().ticks = start;
        scripted().tickStep = step;
        openDialog([](MDCalcCond& d) { d.CmdSet->click(); });
        QCOMPARE(scripted().tickReadings, readings);
        QCOMPARE(QList<quint32>(scripted().sleeps.begin(), scripted().sleeps.end()), sleeps);
        QCOMPARE_EXACT(CalcSeconds, seconds);
    }

    // A counter that jumps backwards ends the pause instead of hanging; a
    // wrap between the two timing readings still gives the true time.
    void tickCountJumps()
    {
        CalcCond = kFarRegion;
        const std::uint32_t sequence[] = {500, 400, 0xFFFFFF00, 0x100};
        int reading = 0;
        scripted().onTick = [&]() -> std::uint32_t { return sequence[std::min(reading++, 3)]; };
        openDialog([](MDCalcCond& d) { d.CmdSet->click(); });
        QCOMPARE(reading, 4);
        QCOMPARE_EXACT(CalcSeconds, 0.512f);
        QCOMPARE(m_fx.window->Label1->text(), QStringLiteral("計算時間は 0.512秒"));
    }

    // Input that the drawing's DoEvents lets through reaches neither another
    // command nor the hidden dialog.
    void reentryIsDropped()
    {
        MaxIter = 20;
        QPointer<MDCalcCond> dialog;
        bool poked = false;
        scripted().onDoEvents = [&] {
            if (poked || !dialog)
                return;
            poked = true;
            m_fx.trigger("MenuConditionCal");
            m_fx.trigger("MenuBenchGo");
            m_fx.trigger("MenuFileEnd");
            m_fx.trigger("MenuEditPal");
            dialog->Text1->setText(QStringLiteral("3"));
            QTest::keyClick(dialog->Text1, Qt::Key_Return);
            dialog->CmdDefalutSet->click();
            dialog->CmdCancel->click();
            dialog->CmdSet->click();
            QVERIFY(!dialog->close());
            dialog->reject();
            QVERIFY(dialog->isLoaded());
            QCOMPARE_EXACT(dialog->EditCentreRe, -0.5);
        };
        openDialog([&](MDCalcCond& d) {
            dialog = &d;
            d.CmdSet->click();
        });
        QVERIFY(poked);
        QCOMPARE(m_openings, 1);
        QCOMPARE(scripted().modalForms, QStringList{QStringLiteral("MDCalcCond")});
        QVERIFY(scripted().endRequests.empty());
        QVERIFY(scripted().openRequests.empty());
        QCOMPARE(scripted().doEventsCalls, 1);
        QCOMPARE(CalcCond, (CalcCondition{-0.5, 0.0, 2.5}));
        QCOMPARE(status().colour, kBlack);
        QVERIFY(m_fx.window->Label1->text().startsWith(QStringLiteral("計算時間は")));
        QVERIFY(dialog.isNull());

        // Once the command has ended, the menu works again.
        openDialog([](MDCalcCond& d) { d.CmdCancel->click(); });
        QCOMPARE(m_openings, 2);
    }

    // Conditions that are not numbers at all (left by some other arithmetic)
    // are shown, previewed and kept.
    void nonFiniteConditions()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        CalcCond = {nan, -inf, inf};
        MaxIter = 5;
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("NaN"));
            QCOMPARE(d.Text2->text(), QStringLiteral("-Infinity"));
            QCOMPARE(d.Text3->text(), QStringLiteral("Infinity"));
            d.CmdSet->click();
        });
        QVERIFY(std::isnan(CalcCond.CentreRe));
        QCOMPARE_EXACT(CalcCond.CentreIm, -inf);
        QCOMPARE_EXACT(CalcCond.Range, inf);
        QVERIFY(DrawDone);
    }

    // Without a readable mandel.bmp the preview is blank but for the figures,
    // and the dialog works.
    void previewPictureMissing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not an image") << QByteArray("BM this is no bitmap") << true;
        QTest::newRow("empty") << QByteArray() << true;
    }
    void previewPictureMissing()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        if (present)
            QVERIFY(writeFile(folder.filePath(QStringLiteral("mandel.bmp")), content));
        scripted().directory = folder.path();
        MaxIter = 20;
        openDialog([&](MDCalcCond& d) {
            const QRgb blank = d.RangePict->backgroundColour().rgb() & 0xFFFFFFU;
            QCOMPARE(pixelOf(d, 180, 120), blank);
            QCOMPARE(pixelOf(d, 5, 101), kAxisPixel);  // the real axis
            QCOMPARE(pixelOf(d, 13, 100), kOutlinePixel);
            d.CmdSet->click();
        });
        QVERIFY(DrawDone);
        QCOMPARE(status().colour, kBlack);
    }

    // The preview shows mandel.bmp with the figures over it.
    void previewOverPicture()
    {
        const QImage picture(MDCalcCond::previewPicturePath());
        if (picture.isNull())
            QSKIP("mandel.bmp is not built beside the tests");
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(pixelOf(d, 180, 120), picture.pixel(180, 120) & 0xFFFFFFU);
            QCOMPARE(pixelOf(d, 5, 101), kAxisPixel);
            QCOMPARE(pixelOf(d, 101, 5), kAxisPixel);
            QCOMPARE(pixelOf(d, 13, 100), kOutlinePixel);
            d.CmdCancel->click();
        });
    }
};

QTEST_MAIN(TestCalcCond)
#include "test_calc_cond.moc"
