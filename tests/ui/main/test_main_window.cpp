// The main window: start-up with the default colour table, its look (layout
// and menus) and the exit command.

#include "engine/mandel11.h"
#include "platform/fonts.h"
#include "platform/picture_box.h"
#include "platform/scripted_platform.h"
#include "tests/support/form_look.h"
#include "tests/support/program_texts.h"
#include "tests/support/test_files.h"
#include "ui/main/mandel_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quilfen;
using namespace quilfen::test;

namespace {

const QString kStartFailure = QStringLiteral("default.qplファイルの読み込みに失敗しました。") +
                              QChar(13) + QStringLiteral("プログラムを終了します。");

// Where a menu entry sits: "2" the second menu of the bar, "2.1" its first
// item; empty when it is nowhere (or below an item: no submenus).
QString menuPlace(const QMainWindow& window, const QAction* entry)
{
    const QList<QAction*> menus = window.menuBar()->actions();
    for (int m = 0; m < menus.size(); ++m) {
        if (menus[m] == entry)
            return QString::number(m + 1);
        const QList<QAction*> items = menus[m]->menu() ? menus[m]->menu()->actions() : QList<QAction*>();
        for (int k = 0; k < items.size(); ++k) {
            if (items[k] == entry && !entry->menu())
                return QStringLiteral("%1.%2").arg(m + 1).arg(k + 1);
        }
    }
    return {};
}

bool tableIsAllZero()
{
    for (const auto& entry : PalTable) {
        for (const auto component : entry) {
            if (component != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<ScriptedPlatform> m_scripted;
    QTemporaryDir m_folder;

    ScriptedPlatform& scripted() { return *m_scripted; }

    void writeDefault(const QByteArray* content)
    {
        const QString path = m_folder.filePath(QStringLiteral("default.qpl"));
        QFile::remove(path);
        if (content)
            QVERIFY(writeFile(path, *content));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        installFontSubstitutions();
    }

    void init()
    {
        resetEngineState();
        m_scripted = std::make_unique<ScriptedPlatform>();
        m_scripted->directory = m_folder.path();
        setPlatform(m_scripted.get());
    }

    void cleanup()
    {
        setPlatform(nullptr);
        resetEngineState();
    }

    void startUp_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<bool>("tableRead");
        QTest::newRow("complete table") << true << rampPaletteText() << true << true;
        QTest::newRow("missing file") << false << QByteArray() << false << false;
        QTest::newRow("empty file") << true << QByteArray() << false << false;
        QTest::newRow("header and fewer entries") << true << rampPaletteText(kPaletteHeader, 1000) << false
                                                  << false;
        QTest::newRow("header only") << true << rampPaletteText(kPaletteHeader, 0) << false << false;
        QTest::newRow("another first line")
            << true << rampPaletteText("Some Other Table File") << true << false;
    }
    void startUp()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(bool, starts);
        QFETCH(bool, tableRead);
        writeDefault(present ? &content : nullptr);

        MANDEL window;
        QCOMPARE(startMainWindow(window), starts);
        QCOMPARE(window.isVisible(), starts);
        if (starts) {
            QVERIFY(scripted().messages.empty());
            QVERIFY(scripted().endRequests.empty());
        } else {
            QCOMPARE(scripted().messages.size(), std::size_t(1));
            const MessageBoxRequest& message = scripted().messages.front();
            QCOMPARE(message.text, kStartFailure);
            QCOMPARE(message.title, QStringLiteral("Error"));
            QCOMPARE(message.icon, MsgIcon::Critical);
            QCOMPARE(message.buttons, MsgButtons::Ok);
            QCOMPARE(scripted().endRequests, std::vector<int>{1});
        }
        if (tableRead) {
            QCOMPARE(PalTable[0][0], 0);
            QCOMPARE(PalTable[300][0], 300 % 256);
            QCOMPARE(PalTable[300][1], 900 % 256);
            QCOMPARE(PalTable[1024][2], 7);
        } else if (starts) {
            QVERIFY(tableIsAllZero());
        }
    }

    // The table comes from the program's folder, never the current one.
    void startUpIgnoresCurrentFolder()
    {
        QTemporaryDir elsewhere;
        QVERIFY(elsewhere.isValid());
        QVERIFY(writeFile(elsewhere.filePath(QStringLiteral("default.qpl")), rampPaletteText()));
        writeDefault(nullptr);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        MANDEL window;
        const bool started = startMainWindow(window);
        QDir::setCurrent(previous);
        QVERIFY(!started);
        QCOMPARE(scripted().endRequests, std::vector<int>{1});
    }

    void startUpState()
    {
        const QByteArray table = rampPaletteText();
        writeDefault(&table);
        CalcCond = {1.0, 2.0, 3.0};
        MaxIter = 7;
        HalfSize = 5;
        DrawDone = true;
        Dragging = true;
        MANDEL window;
        QVERIFY(window.Form_Load());
        QCOMPARE(HalfSize, 200);
        QCOMPARE(CalcCond.CentreRe, -0.5);
        QCOMPARE(CalcCond.CentreIm, 0.0);
        QCOMPARE(CalcCond.Range, 2.5);
        QCOMPARE(MaxIter, 500);
        QVERIFY(!DrawDone);
        QVERIFY(!Dragging);
        QCOMPARE(window.Label1->text(), kWaiting);
        QVERIFY(!window.isVisible());
    }

    // What the window fixes about its look: each control by its name, with
    // its caption, its place in the client area and its font; the menus in
    // their order ("2.1": the first item of the second menu).
    void look_data()
    {
        QTest::addColumn<Look>("look");
        QTest::addColumn<QString>("place");
        lookRow({.name = "MANDEL", .text = "Quilfen", .geometry = {0, 0, 415, 437},
                 .traits = {"fixed size", "no minimise or maximise button", "32 × 32 icon",
                            "nothing but the menu bar and the client area"}})
            << QString();
        lookRow({.name = "Picture1", .geometry = {8, 0, 401, 401}}) << QString();
        lookRow({.name = "Label1", .text = "待機中です", .geometry = {7, 412, 403, 20},
                 .font = expectedFont("ＭＳ Ｐゴシック", 9.75, QFont::Normal), .drawnWith = "IPAPGothic",
                 .traits = {"one line"}})
            << QString();
        const QList<QStringList> menus = {
            {"MenuFile", "ﾌｧｲﾙ", "1"},
            {"MenuEditPal", "パレットファイルの読み込み", "1.1"},
            {"MenuFileSave", "画像を保存", "1.2"},
            {"MenuFileEnd", "Quilfen の終了", "1.3"},
            {"MenuEdit", "編集", "2"},
            {"MenuEditCopy", "クリップボードへコピー", "2.1"},
            {"MenuCondition", "計算", "3"},
            {"MenuConditionCal", "条件を指定して実行", "3.1"},
            {"MenuBench", "ﾍﾞﾝﾁﾏｰｸ", "4"},
            {"MenuBenchGo", "実行", "4.1"},
            {"MenuHelp", "ﾍﾙﾌﾟ", "5"},
            {"MenuHelpAbout", "Quilfen について", "5.1"},
        };
        for (const QStringList& menu : menus)
            lookRow({.name = menu[0], .text = menu[1], .traits = {"plain menu item"}}) << menu[2];
    }
    void look()
    {
        QFETCH(Look, look);
        QFETCH(QString, place);
        MANDEL window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        verifyLook(window, look);
        if (!place.isEmpty())
            QCOMPARE(menuPlace(window, qobject_cast<const QAction*>(namedControl(window, look.name))), place);
        // Five menus of seven items in all, as the rows list them.
        int entries = 0;
        for (const QAction* menu : window.menuBar()->actions())
            entries += 1 + int(menu->menu() ? menu->menu()->actions().size() : 0);
        QCOMPARE(entries, 12);
    }

    // While computing the status text is red; its frame stays black.
    void statusFrameStaysBlack_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::newRow("computing, red") << QColor(255, 0, 0);
        QTest::newRow("done, black") << QColor(0, 0, 0);
    }
    void statusFrameStaysBlack()
    {
        QFETCH(QColor, colour);
        MANDEL window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setStatus(QStringLiteral("計算中です。お待ち下さい・・・"), colour);
        const QImage shown = window.Label1->grab().toImage();
        const QRgb black = qRgb(0, 0, 0);
        for (int x = 0; x < shown.width(); ++x) {
            QCOMPARE(shown.pixel(x, 0), black);
            QCOMPARE(shown.pixel(x, shown.height() - 1), black);
        }
        for (int y = 0; y < shown.height(); ++y) {
            QCOMPARE(shown.pixel(0, y), black);
            QCOMPARE(shown.pixel(shown.width() - 1, y), black);
        }
        bool textInColour = false;
        for (int y = 1; y + 1 < shown.height() && !textInColour; ++y)
            for (int x = 1; x + 1 < shown.width() && !textInColour; ++x)
                textInColour = shown.pixel(x, y) == colour.rgb();
        QVERIFY(textInColour);
    }

    // Started without a display, the program says so in one line and ends
    // with status 1, before Qt would abort with advice to reinstall.
    void noDisplay_data()
    {
        QTest::addColumn<bool>("setEmpty");
        QTest::newRow("none set") << false;
        QTest::newRow("all set empty") << true;
    }
    void noDisplay()
    {
        QFETCH(bool, setEmpty);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            if (setEmpty)
                environment.insert(QString::fromLatin1(name), QString());
            else
                environment.remove(QString::fromLatin1(name));
        }
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quilfen"), {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(program.readAllStandardOutput(), QByteArray());
        const QByteArray message = program.readAllStandardError();
        QCOMPARE(message.count('\n'), 1);
        QVERIFY(message.endsWith('\n'));
        for (const char* part : {"quilfen: no display", "DISPLAY", "desktop session", "quilfen-cli"})
            QVERIFY2(message.contains(part), message.constData());
    }

    void exitEndsTheProgram()
    {
        MANDEL window;
        window.show();
        QAction* exit = window.findChild<QAction*>(QStringLiteral("MenuFileEnd"));
        QVERIFY(exit);
        exit->trigger();
        QCOMPARE(scripted().endRequests, std::vector<int>{0});
    }

    void closingTheWindowEndsTheProgram()
    {
        MANDEL window;
        window.show();
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
    }

    void japaneseQtTexts()
    {
        installJapaneseTranslations();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 QStringLiteral("キャンセル"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
