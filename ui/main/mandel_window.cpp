#include "ui/main/mandel_window.h"

#include "bench/benchmark_command.h"
#include "engine/mandel11.h"
#include "palette/load_palette_command.h"
#include "palette/palette_reader.h"
#include "platform/fonts.h"
#include "platform/picture_box.h"
#include "platform/platform.h"
#include "ui/about/frm_about.h"
#include "ui/calc_cond/md_calc_cond.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScopedValueRollback>
#include <qdrawutil.h>

namespace quilfen {

namespace {

// The window whose picture DrawMandel paints on: the last one made.
const MANDEL* g_drawnOn = nullptr;

// The status line's text from start-up until the first computation.
const QString kWaitingText = QStringLiteral("待機中です");

// Size of the area below the menu bar.
constexpr int kClientWidth = 415;
constexpr int kClientHeight = 437;

// True while a command or a mouse selection handler runs. The drawing lets
// queued input through once at its end; a command started from there would
// run inside another one (and could reach a dialog that is being closed),
// so such input is dropped instead.
bool g_commandRunning = false;

template <typename Handler>
void runUnlessRunning(const Handler& handler)
{
    if (g_commandRunning)
        return;
    QScopedValueRollback running(g_commandRunning, true);
    handler();
}

// The status line: a label whose one-pixel frame is black whatever colour
// its text has (a plain frame is drawn in the text's colour).
class StatusLine : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        QPainter painter(this);
        qDrawPlainRect(&painter, frameRect(), Qt::black, lineWidth());
    }
};

}  // namespace

MANDEL::MANDEL(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MANDEL"));
    setWindowTitle(QStringLiteral("Quilfen"));
    setWindowIcon(QIcon(QStringLiteral(":/quilfen/quilfen.png")));
    // A fixed single border: no resizing, no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    Picture1 = new PictureBox(client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(8, 0, 401, 401);
    Picture1->setFocusPolicy(Qt::StrongFocus);

    Label1 = new StatusLine(kWaitingText, client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(7, 412, 403, 20);
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label1->setLineWidth(1);
    Label1->setFont(gothicFont(9.75));

    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    auto addMenu = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addMenuItem = [this](QMenu* menu, const char* name, const QString& caption,
                              void (MANDEL::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, handler] { runUnlessRunning([&] { (this->*handler)(); }); });
    };
    QMenu* file = addMenu("MenuFile", QStringLiteral("ﾌｧｲﾙ"));
    addMenuItem(file, "MenuEditPal", QStringLiteral("パレットファイルの読み込み"), &MANDEL::MenuEditPal_Click);
    addMenuItem(file, "MenuFileSave", QStringLiteral("画像を保存"), &MANDEL::MenuFileSave_Click);
    addMenuItem(file, "MenuFileEnd", QStringLiteral("Quilfen の終了"), &MANDEL::MenuFileEnd_Click);
    QMenu* edit = addMenu("MenuEdit", QStringLiteral("編集"));
    addMenuItem(edit, "MenuEditCopy", QStringLiteral("クリップボードへコピー"), &MANDEL::MenuEditCopy_Click);
    QMenu* condition = addMenu("MenuCondition", QStringLiteral("計算"));
    addMenuItem(condition, "MenuConditionCal", QStringLiteral("条件を指定して実行"),
                &MANDEL::MenuConditionCal_Click);
    QMenu* bench = addMenu("MenuBench", QStringLiteral("ﾍﾞﾝﾁﾏｰｸ"));
    addMenuItem(bench, "MenuBenchGo", QStringLiteral("実行"), &MANDEL::MenuBenchGo_Click);
    QMenu* help = addMenu("MenuHelp", QStringLiteral("ﾍﾙﾌﾟ"));
    addMenuItem(help, "MenuHelpAbout", QStringLiteral("Quilfen について"), &MANDEL::MenuHelpAbout_Click);

    auto guarded = [this](void (MANDEL::*handler)(int, int, float, float)) {
        return [this, handler](int button, int shift, float x, float y) {
            runUnlessRunning([&] { (this->*handler)(button, shift, x, y); });
        };
    };
    connect(Picture1, &PictureBox::mouseDown, this, guarded(&MANDEL::Picture1_MouseDown));
    connect(Picture1, &PictureBox::mouseMove, this, guarded(&MANDEL::Picture1_MouseMove));
    connect(Picture1, &PictureBox::mouseUp, this, guarded(&MANDEL::Picture1_MouseUp));

    adjustSize();
    setFixedSize(sizeHint());

    attachPicture(Picture1, [] { platform().doEvents(); });
    g_drawnOn = this;
}

MANDEL::~MANDEL()
{
    if (g_drawnOn == this) {
        attachPicture(nullptr, {});
        g_drawnOn = nullptr;
    }
}

bool MANDEL::Form_Load()
{
    HalfSize = kHalfSize;
    CalcCond = {-0.5, 0.0, 2.5};
    MaxIter = 500;
    DrawDone = false;
    Dragging = false;

    const QString path =
        platform().programDirectory() + QLatin1Char('/') + QLatin1String(kStartupPaletteName);
    const PaletteReadResult result = ReadPaletteFile(path.toStdString());
    if (result == PaletteReadResult::Loaded || result == PaletteReadResult::NotPalette)
        return true;

    showErrorBox(QStringLiteral("default.qplファイルの読み込みに失敗しました。") + QChar(13) +
                 QStringLiteral("プログラムを終了します。"));
    platform().endProgram(1);
    return false;
}

bool startMainWindow(MANDEL& window)
{
    if (!window.Form_Load())
        return false;
    window.show();
    return true;
}

// The commands of other folders, started with what they need of the window.
void MANDEL::MenuEditPal_Click()
{
    chooseAndLoadPalette(*this);
}

// Each opening loads a new dialog from the shared state, gone once it has
// closed, so nothing of one opening reaches the next.
void MANDEL::MenuConditionCal_Click()
{
    MDCalcCond dialog(*this);
    dialog.Form_Load();
    platform().showModal(dialog);
}

void MANDEL::MenuBenchGo_Click()
{
    runBenchmark(*this);
}

void MANDEL::MenuHelpAbout_Click()
{
    frmAbout form(this);
    platform().showModal(form);
}

void MANDEL::MenuFileEnd_Click()
{
    platform().endProgram(0);
}

void MANDEL::closeEvent(QCloseEvent* event)
{
    m_closed = true;
    QMainWindow::closeEvent(event);
}

void MANDEL::clearPicture()
{
    Picture1->Cls();
}

bool MANDEL::stillWaiting() const
{
    return Label1->text() == kWaitingText;
}

void MANDEL::setStatus(const QString& text, const QColor& colour)
{
    QPalette pal = Label1->palette();
    pal.setColor(QPalette::WindowText, colour);
    Label1->setPalette(pal);
    Label1->setText(text);
    Label1->repaint();
}

}  // namespace quilfen
