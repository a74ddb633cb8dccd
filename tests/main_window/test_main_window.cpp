// The main window: start-up with the default colour table, its layout, its
// menus and the exit command.

#include "fonts.h"
#include "mandel11.h"
#include "mandel_window.h"
#include "picture_box.h"
#include "program_texts.h"
#include "scripted_platform.h"
#include "test_files.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
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

    void layout()
    {
        MANDEL window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Quilfen"));
        QCOMPARE(window.windowIcon().availableSizes().value(0), QSize(32, 32));

        const QWidget* client = window.centralWidget();
        QCOMPARE(client->size(), QSize(415, 437));
        QCOMPARE(client->geometry().top(), window.menuBar()->geometry().bottom() + 1);
        QCOMPARE(window.size(), QSize(415, window.menuBar()->height() + 437));

        // A fixed border: no resizing, no minimise or maximise button.
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(window.Picture1->geometry(), QRect(8, 0, 401, 401));
        QCOMPARE(window.Picture1->objectName(), QStringLiteral("Picture1"));
        QCOMPARE(window.Label1->geometry(), QRect(7, 412, 403, 20));
        QCOMPARE(window.Label1->objectName(), QStringLiteral("Label1"));
        QCOMPARE(window.Label1->frameShape(), QFrame::Box);
        QCOMPARE(window.Label1->frameShadow(), QFrame::Plain);
        QCOMPARE(window.Label1->lineWidth(), 1);
        QCOMPARE(window.Label1->text(), kWaiting);
        QCOMPARE(window.Label1->wordWrap(), false);

        const QFont font = window.Label1->font();
        QCOMPARE(font.family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(font.pointSizeF(), 9.75);
        QCOMPARE(font.weight(), QFont::Normal);
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
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

    void menus()
    {
        const QList<QPair<QString, QString>> expected = {
            {"MenuFile", "ﾌｧｲﾙ"},
            {"MenuEditPal", "パレットファイルの読み込み"},
            {"MenuFileSave", "画像を保存"},
            {"MenuFileEnd", "Quilfen の終了"},
            {"MenuEdit", "編集"},
            {"MenuEditCopy", "クリップボードへコピー"},
            {"MenuCondition", "計算"},
            {"MenuConditionCal", "条件を指定して実行"},
            {"MenuBench", "ﾍﾞﾝﾁﾏｰｸ"},
            {"MenuBenchGo", "実行"},
            {"MenuHelp", "ﾍﾙﾌﾟ"},
            {"MenuHelpAbout", "Quilfen について"},
        };
        MANDEL window;
        QList<QPair<QString, QString>> actual;
        auto check = [](const QAction* action) {
            QVERIFY(!action->isSeparator());
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(!action->text().contains(QLatin1Char('&')));
            QVERIFY(action->isEnabled());
            QVERIFY(action->isVisible());
        };
        for (const QAction* top : window.menuBar()->actions()) {
            check(top);
            actual.append({top->objectName(), top->text()});
            QVERIFY(top->menu());
            for (const QAction* item : top->menu()->actions()) {
                check(item);
                QVERIFY(!item->menu());
                actual.append({item->objectName(), item->text()});
            }
        }
        QCOMPARE(actual, expected);
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
