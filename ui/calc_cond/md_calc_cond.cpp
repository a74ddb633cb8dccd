#include "ui/calc_cond/md_calc_cond.h"

#include "engine/mandel11.h"
#include "engine/number_text.h"
#include "engine/tick_count.h"
#include "platform/fonts.h"
#include "platform/main_view.h"
#include "platform/picture_box.h"
#include "platform/platform.h"
#include "ui/calc_cond/range_preview.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <cstdint>

namespace quilfen {

namespace {

constexpr int kClientWidth = 449;
constexpr int kClientHeight = 211;

// Rows of the boxes, from the top: Text4, Text1, Text2, Text3.
constexpr int kLabelX = 217;
constexpr int kBoxX = 336;
constexpr int kBoxWidth = 105;
constexpr int kBoxHeight = 29;

constexpr char kFormA[] = "+0.########;-0.########";
constexpr char kFormB[] = "+0.#######;-0.#######";
constexpr char kFormC[] = "+0.###e-#0;-0.###e-#0";

// Ranges up to this are shown in scientific form (form B would show
// "+0.0001" for everything below it).
constexpr double kSmallRange = 0.0001;

const QColor kRunningColour(255, 0, 0);
const QColor kDoneColour(0, 0, 0);

double numberOf(const QLineEdit* box)
{
    return numberOfText(box->text().toStdString());
}

}  // namespace

QString MDCalcCond::previewPicturePath()
{
    return platform().programDirectory() + QStringLiteral("/mandel.bmp");
}

MDCalcCond::MDCalcCond(MainView& view, QWidget* parent) : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("MDCalcCond"));
    setWindowTitle(QStringLiteral("計算条件"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(gothicFont(9.0));

    // Created in the tab order (CmdSet, Text4, Text1, Text2, Text3,
    // CmdDefalutSet, CmdCancel), so the focus chain starts at CmdSet.
    auto button = [this](const char* name, const QString& caption, QRect geometry) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        b->setFocusPolicy(Qt::StrongFocus);
        // Enter belongs to the text boxes; a button reacts to Enter only
        // when it holds the focus (see eventFilter).
        b->setAutoDefault(false);
        b->installEventFilter(this);
        return b;
    };
    // Each box keeps Qt's limit of 32,767 characters: a longer paste is cut
    // there, far beyond anything a number needs.
    auto box = [this](const char* name, const QString& text, int top) {
        auto* t = new QLineEdit(text, this);
        t->setObjectName(QString::fromLatin1(name));
        t->setGeometry(kBoxX, top, kBoxWidth, kBoxHeight);
        t->installEventFilter(this);
        return t;
    };
    auto label = [this](const char* name, const QString& caption, int boxTop) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(kLabelX, boxTop + 5, kBoxX - kLabelX - 6, kBoxHeight - 10);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };

    CmdSet = button("CmdSet", QStringLiteral("設定して実行"), QRect(355, 175, 88, 30));
    // The designer texts never show: Form_Load replaces them.
    Text4 = box("Text4", QStringLiteral("350"), 7);
    Text1 = box("Text1", QStringLiteral("0.39032"), 42);
    Text2 = box("Text2", QStringLiteral("-0.23775"), 77);
    Text3 = box("Text3", QStringLiteral("0.01"), 112);
    CmdDefalutSet = button("CmdDefalutSet", QStringLiteral("初期値に戻す"), QRect(216, 147, 100, 22));
    CmdCancel = button("CmdCancel", QStringLiteral("設定のみ"), QRect(216, 175, 87, 30));
    label("Label4", QStringLiteral("繰り返しの最大数"), 7);
    label("Label1", QStringLiteral("中心座標(実軸)"), 42);
    label("Label2", QStringLiteral("中心座標(虚軸)"), 77);
    label("Label3", QStringLiteral("計算範囲"), 112);
    RangePict = new PictureBox(this);
    RangePict->setObjectName(QStringLiteral("RangePict"));
    RangePict->setFocusPolicy(Qt::NoFocus);

    connect(CmdDefalutSet, &QPushButton::clicked, this, [this] { CmdDefalutSet_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    connect(CmdSet, &QPushButton::clicked, this, [this] { CmdSet_Click(); });
}

MDCalcCond::~MDCalcCond()
{
    // Focus changes while the children are torn down must reach no handler.
    m_loaded = false;
    for (QObject* child : children())
        child->removeEventFilter(this);
}

void MDCalcCond::Form_Load()
{
    RangePict->setLeft(8);
    RangePict->setTop(8);
    RangePict->setWidth(198);
    RangePict->setHeight(198);
    // The preview's drawing area runs from -2 to 1.94 on both axes.
    RangePict->Scale(-2.0, 2.0, 1.94, -1.94);
    RangePict->LoadPicture(previewPicturePath());

    Text1->setText(QString::fromStdString(formatNumber(CalcCond.CentreRe, kFormA)));
    Text2->setText(QString::fromStdString(formatNumber(CalcCond.CentreIm, kFormA)));
    Text3->setText(QString::fromStdString(
        formatNumber(CalcCond.Range, CalcCond.Range > kSmallRange ? kFormB : kFormC)));
    Text4->setText(QString::number(MaxIter));

    // The values themselves, not the rounded texts.
    EditCentreRe = CalcCond.CentreRe;
    EditCentreIm = CalcCond.CentreIm;
    EditRange = CalcCond.Range;

    m_loaded = true;
    m_running = false;
    DrawRangePict();
    CmdSet->setFocus(Qt::OtherFocusReason);
}

void MDCalcCond::ReadCondTexts()
{
    EditCentreRe = numberOf(Text1);
    EditCentreIm = numberOf(Text2);
    EditRange = numberOf(Text3);
}

void MDCalcCond::DrawRangePict()
{
    // Reloading the picture wipes the previous overlay.
    RangePict->LoadPicture(previewPicturePath());
    RangePict->setDrawMode(DrawMode::CopyPen);
    for (const PreviewFigure& figure : rangePreviewFigures(EditCentreRe, EditCentreIm, EditRange))
        RangePict->Line(figure.x1, figure.y1, figure.x2, figure.y2, figure.colour, figure.box);
}

// Enter, or leaving a box, reads all three boxes, not only the one concerned.
void MDCalcCond::readAndRedraw()
{
    if (!acceptsInput())
        return;
    ReadCondTexts();
    DrawRangePict();
}

void MDCalcCond::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        readAndRedraw();
}

void MDCalcCond::Text2_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        readAndRedraw();
}

void MDCalcCond::Text3_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        readAndRedraw();
}

void MDCalcCond::Text1_LostFocus()
{
    readAndRedraw();
}

void MDCalcCond::Text2_LostFocus()
{
    readAndRedraw();
}

void MDCalcCond::Text3_LostFocus()
{
    readAndRedraw();
}

void MDCalcCond::CmdDefalutSet_Click()
{
    if (!acceptsInput())
        return;
    Text1->setText(QStringLiteral("-0.5"));
    Text2->setText(QStringLiteral("0"));
    Text3->setText(QStringLiteral("2.5"));
    Text4->setText(QStringLiteral("500"));
    ReadCondTexts();
    DrawRangePict();
}

void MDCalcCond::CmdCancel_Click()
{
    if (!acceptsInput())
        return;
    Unload();
}

void MDCalcCond::CmdSet_Click()
{
    if (!acceptsInput())
        return;
    m_running = true;

    CalcCond.CentreRe = EditCentreRe;
    CalcCond.CentreIm = EditCentreIm;
    CalcCond.Range = EditRange;
    MaxIter = iterationLimitOfNumber(numberOf(Text4));

    m_view.clearPicture();
    DrawDone = false;
    m_view.setStatus(QStringLiteral("計算中です。お待ち下さい・・・"), kRunningColour);

    // Hidden but still loaded. The main window repaints where the dialog
    // was, during the pause too: under a window manager the exposes come a
    // few milliseconds after hide(). No input is handled until the drawing.
    hide();
    platform().repaintWindows();

    waitTicks(platform().tickCount(), kSettlingMs);

    // Only the computation is timed, not the drawing.
    const std::uint32_t t1 = platform().tickCount();
    CalcMandel();
    const std::uint32_t t2 = platform().tickCount();
    CalcSeconds = static_cast<float>(ticksBetween(t1, t2) / 1000.0);

    m_view.setStatus(QStringLiteral("描画中・・・"), kRunningColour);
    DrawMandel();
    m_view.setStatus(QStringLiteral("計算時間は") +
                         QString::fromStdString(singleToText(CalcSeconds)) + QStringLiteral("秒"),
                     kDoneColour);

    m_running = false;
    Unload();
}

void MDCalcCond::Unload()
{
    m_loaded = false;
    QDialog::done(QDialog::Accepted);
}

void MDCalcCond::done(int result)
{
    // Closing by any way but the buttons (the window's close control,
    // Escape) stores nothing; it is refused while the dialog computes.
    if (m_running)
        return;
    m_loaded = false;
    QDialog::done(result);
}

void MDCalcCond::showEvent(QShowEvent* event)
{
    // The button holding the focus shows its focus frame from the start,
    // as the focused button of a dialog does on Windows. Qt's styles draw
    // the frame only once the keyboard has moved the focus in this window.
    setAttribute(Qt::WA_KeyboardFocusChange);
    QDialog::showEvent(event);
}

void MDCalcCond::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool MDCalcCond::eventFilter(QObject* watched, QEvent* event)
{
    const bool isBox = watched == Text1 || watched == Text2 || watched == Text3;
    if (isBox && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty()) {
            const int code = typed.front().unicode();
            if (watched == Text1)
                Text1_KeyPress(code);
            else if (watched == Text2)
                Text2_KeyPress(code);
            else
                Text3_KeyPress(code);
        }
        return false;  // the box still gets the key, unchanged
    }
    if (isBox && event->type() == QEvent::FocusOut) {
        // Leaving the box for another control, not switching windows or
        // opening the box's context menu.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == Text1)
                Text1_LostFocus();
            else if (watched == Text2)
                Text2_LostFocus();
            else
                Text3_LostFocus();
        }
        return false;
    }
    auto* button = qobject_cast<QPushButton*>(watched);
    // Since Qt 6.11 focus that arrives other than by the keyboard clears the
    // window's keyboard-focus flag, the focus given with the window's
    // activation at opening included. The button receiving that focus sets
    // the flag again, so that its frame shows from the start under every Qt.
    if (button && event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
        setAttribute(Qt::WA_KeyboardFocusChange);
    // A button holding the focus is pressed by Enter, as on Windows.
    if (button && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
            button->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quilfen
