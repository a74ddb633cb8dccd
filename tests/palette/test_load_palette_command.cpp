// Loading a palette from the menu: the dialog it asks for, the message for
// each read result and status text, and the redraw offered after a computation.

#include "platform/picture_box.h"
#include "platform/qt_platform.h"
#include "tests/support/program_texts.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QTimer>

#include <stdexcept>

using namespace quilfen;
using namespace quilfen::test;

namespace {

const QString kComputed = QStringLiteral("計算時間 0.1 秒");
const QString kLoaded = QStringLiteral("パレットファイルを読み込みました");
const QString kRedraw = QStringLiteral("パレットファイルを読み込みました。") + QChar(13) +
                        QStringLiteral("再描画しますか？ ");

enum class FileKind { Missing, NotPalette, Broken, Loaded };

struct Rgb {
    int r, g, b;
};

constexpr Rgb kNewColour{10, 200, 30};
constexpr Rgb kOldColour{250, 5, 60};

// A palette table file whose `entries` entries all have the new colour.
QByteArray newColourFile(int entries, const QByteArray& header = kPaletteHeader)
{
    return paletteText(entries, [](int) { return std::array<int, 3>{kNewColour.r, kNewColour.g, kNewColour.b}; },
                       header);
}

void fillTable(Rgb colour)
{
    for (auto& entry : PalTable)
        entry = {static_cast<std::int16_t>(colour.r), static_cast<std::int16_t>(colour.g),
                 static_cast<std::int16_t>(colour.b)};
}

int entriesWithColour(Rgb colour)
{
    int count = 0;
    for (const auto& entry : PalTable)
        count += entry[0] == colour.r && entry[1] == colour.g && entry[2] == colour.b;
    return count;
}

// How many pixels of the image have exactly this colour.
int pixelsOfColour(const QImage& image, Rgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb wanted = qRgb(colour.r, colour.g, colour.b);
    int count = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            count += (rgb.pixel(x, y) & 0xFFFFFFu) == (wanted & 0xFFFFFFu);
    return count;
}

// The desktop's own dialogs, with the program's folder a test folder.
class FolderDesktop : public QtPlatform {
public:
    explicit FolderDesktop(QString folder) : m_folder(std::move(folder)) {}
    QString programDirectory() override { return m_folder; }

private:
    QString m_folder;
};

// What the file dialog shows: its file types and the names it lists.
struct DialogView {
    QStringList fileTypes;
    QStringList listed;
};

// Reads what the open dialog shows once it lists `awaited`, then cancels it.
void readOpenDialogThenCancel(DialogView& view, const QString& awaited)
{
    QTimer::singleShot(0, [&view, awaited] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        auto names = [list] {
            QStringList result;
            const QModelIndex root = list->rootIndex();
            for (int row = 0; row < list->model()->rowCount(root); ++row)
                result << list->model()->index(row, 0, root).data().toString();
            return result;
        };
        if (types && list) {
            for (int k = 0; k < types->count(); ++k)
                view.fileTypes << types->itemText(k);
            if (!QTest::qWaitFor([&] { return names().contains(awaited); }))
                qWarning("the dialog never listed %s", qPrintable(awaited));
            view.listed = names();
        }
        dialog->reject();
    });
}

}  // namespace

class TestLoadPaletteCommand : public QObject {
    Q_OBJECT
private:
    WindowFixture<> m_fx;

    QString writePalette(FileKind kind, const QString& name = QStringLiteral("chosen.qpl"))
    {
        const QString path = m_fx.path(name);
        switch (kind) {
        case FileKind::Missing: break;
        case FileKind::NotPalette: writeFile(path, newColourFile(1025, "quilfen palette table file")); break;
        case FileKind::Broken: writeFile(path, newColourFile(100)); break;
        case FileKind::Loaded: writeFile(path, newColourFile(1025)); break;
        }
        return path;
    }

    // A computed and drawn picture in the old colours, as after a run.
    void computeAndDraw()
    {
        HalfSize = 200;
        CalcCond = {-0.5, 0.0, 2.5};
        MaxIter = 20;
        CalcMandel();
        fillTable(kOldColour);
        DrawMandel();
        m_fx.window->setStatus(kComputed, Qt::black);
    }

private slots:
    void init() { m_fx.start(); }
    void cleanup() { m_fx.stop(); }

    void dialogIsSetUpAfreshEachTime()
    {
        m_fx.desktop->openAnswers = {m_fx.path(QStringLiteral("elsewhere.qpl"))};
        m_fx.window->MenuEditPal_Click();
        m_fx.window->MenuEditPal_Click();

        QCOMPARE(m_fx.desktop->openRequests.size(), std::size_t{2});
        for (const FileDialogRequest& request : m_fx.desktop->openRequests) {
            QCOMPARE(request.proposedPath, m_fx.folder->path() + QStringLiteral("/Default.qpl"));
            QCOMPARE(request.filter, QStringLiteral("Quilfen Palette File(.qpl)|*.qpl"));
            QCOMPARE(request.filterIndex, 1);
            QCOMPARE(request.flags, 0u);
        }
        QVERIFY(m_fx.desktop->messages.empty());
    }

    // Qt's own dialog: the file type shown as its description alone,
    // listing only palette files.
    void desktopDialogShowsTheFileTypeAndListsPalettes()
    {
        QVERIFY(writeFile(m_fx.path(QStringLiteral("fire.qpl")), newColourFile(1025)));
        QVERIFY(writeFile(m_fx.path(QStringLiteral("notes.txt")), "text"));
        FolderDesktop desktop(m_fx.folder->path());
        setPlatform(&desktop);
        DialogView view;
        readOpenDialogThenCancel(view, QStringLiteral("fire.qpl"));
        m_fx.window->MenuEditPal_Click();
        setPlatform(m_fx.desktop.get());

        QCOMPARE(view.fileTypes, QStringList{QStringLiteral("Quilfen Palette File(.qpl)")});
        QCOMPARE(view.listed, QStringList{QStringLiteral("fire.qpl")});
    }

    // Pressing the open button on the proposal "Default.qpl": on a file
    // system that tells letter cases apart, the file of that name in another
    // case is read when there is no "Default.qpl" itself.
    void proposalOfAnotherCase_data()
    {
        QTest::addColumn<QStringList>("files");  // each with its own colours
        QTest::addColumn<QString>("chosen");     // as the dialog returns it
        QTest::addColumn<QString>("read");       // whose colours are loaded; empty: none

        const QString proposal = QStringLiteral("Default.qpl");
        QTest::newRow("only the start-up file")
            << QStringList{"default.qpl"} << proposal << "default.qpl";
        QTest::newRow("Default.qpl itself is there")
            << QStringList{"default.qpl", "Default.qpl"} << proposal << "Default.qpl";
        QTest::newRow("only one in capitals") << QStringList{"DEFAULT.QPL"} << proposal << "DEFAULT.QPL";
        QTest::newRow("the start-up file among several")
            << QStringList{"DEFAULT.QPL", "default.qpl"} << proposal << "default.qpl";
        QTest::newRow("several, none the start-up file")
            << QStringList{"DEFAULT.QPL", "DeFault.qpl"} << proposal << "";
        QTest::newRow("no such file in any case") << QStringList{"fire.qpl"} << proposal << "";
        QTest::newRow("a typed name other than the proposal")
            << QStringList{"default.qpl"} << "DEFAULT.QPL" << "";
        QTest::newRow("the name of the proposal in another folder")
            << QStringList{"sub/default.qpl"} << "sub/Default.qpl" << "";
    }
    void proposalOfAnotherCase()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, chosen);
        QFETCH(QString, read);
        QVERIFY(QDir(m_fx.folder->path()).mkdir(QStringLiteral("sub")));
        for (int k = 0; k < files.size(); ++k) {
            const int red = 100 + k;
            QVERIFY(writeFile(m_fx.path(files[k]),
                              paletteText(1025, [red](int) { return std::array<int, 3>{red, 1, 2}; })));
        }
        fillTable(kOldColour);
        m_fx.desktop->openAnswers = {m_fx.path(chosen)};
        m_fx.window->MenuEditPal_Click();

        if (read.isEmpty()) {
            QVERIFY(m_fx.desktop->messages.empty());
            QCOMPARE(entriesWithColour(kOldColour), 1025);
            return;
        }
        const Rgb colour{100 + int(files.indexOf(read)), 1, 2};
        QCOMPARE(entriesWithColour(colour), 1025);
        m_fx.verifyOneMessage(kLoaded, QStringLiteral("完了"), MsgIcon::Information);
    }

    void cancelOrEmptyNameEndsSilently_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("cancelled") << QStringList{QString()};
        QTest::newRow("empty name") << QStringList{QStringLiteral("")};
    }
    void cancelOrEmptyNameEndsSilently()
    {
        QFETCH(QStringList, answers);
        fillTable(kOldColour);
        m_fx.desktop->openAnswers = answers;
        m_fx.window->MenuEditPal_Click();
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(entriesWithColour(kOldColour), 1025);
    }

    void messageByResultAndStatus_data()
    {
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("text");  // empty: no message
        QTest::addColumn<QString>("title");
        QTest::addColumn<MsgIcon>("icon");
        QTest::addColumn<MsgButtons>("buttons");

        const QString none;
        const QString error = QStringLiteral("Error");
        for (const QString& status : {kWaiting, kComputed}) {
            const QByteArray when = status == kWaiting ? "before a computation" : "after a computation";
            QTest::newRow("missing file, " + when)
                << FileKind::Missing << status << none << none << MsgIcon::None << MsgButtons::Ok;
            QTest::newRow("not a palette, " + when)
                << FileKind::NotPalette << status << kNotPalette << error << MsgIcon::Critical << MsgButtons::Ok;
            QTest::newRow("broken, " + when)
                << FileKind::Broken << status << kBroken << error << MsgIcon::Critical << MsgButtons::Ok;
        }
        QTest::newRow("loaded, before a computation")
            << FileKind::Loaded << kWaiting << kLoaded << QStringLiteral("完了") << MsgIcon::Information
            << MsgButtons::Ok;
        const QString question = QStringLiteral("再描画しますか？");
        QTest::newRow("loaded, after a computation")
            << FileKind::Loaded << kComputed << kRedraw << question << MsgIcon::Question << MsgButtons::YesNo;
        QTest::newRow("loaded, status differs by a trailing blank")
            << FileKind::Loaded << kWaiting + QLatin1Char(' ') << kRedraw << question << MsgIcon::Question
            << MsgButtons::YesNo;
        QTest::newRow("loaded, empty status")
            << FileKind::Loaded << QString() << kRedraw << question << MsgIcon::Question << MsgButtons::YesNo;
    }
    void messageByResultAndStatus()
    {
        QFETCH(FileKind, kind);
        QFETCH(QString, status);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(MsgIcon, icon);
        QFETCH(MsgButtons, buttons);

        m_fx.window->Label1->setText(status);
        m_fx.desktop->openAnswers = {writePalette(kind)};
        m_fx.desktop->messageAnswers = {MsgAnswer::No};
        m_fx.window->MenuEditPal_Click();

        if (text.isEmpty()) {
            QVERIFY(m_fx.desktop->messages.empty());
            return;
        }
        m_fx.verifyOneMessage(text, title, icon, buttons);
        QCOMPARE(m_fx.window->Label1->text(), status);
    }

    void tableAfterEachResult_data()
    {
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<int>("newEntries");
        QTest::newRow("missing file touches nothing") << FileKind::Missing << 0;
        QTest::newRow("not a palette touches nothing") << FileKind::NotPalette << 0;
        QTest::newRow("broken keeps the entries read") << FileKind::Broken << 100;
        QTest::newRow("loaded replaces every entry") << FileKind::Loaded << 1025;
    }
    void tableAfterEachResult()
    {
        QFETCH(FileKind, kind);
        QFETCH(int, newEntries);
        fillTable(kOldColour);
        m_fx.desktop->openAnswers = {writePalette(kind)};
        m_fx.window->MenuEditPal_Click();
        QCOMPARE(entriesWithColour(kNewColour), newEntries);
        QCOMPARE(entriesWithColour(kOldColour), 1025 - newEntries);
        if (newEntries > 0 && newEntries < 1025) {
            QCOMPARE(PalTable[newEntries - 1][2], std::int16_t{kNewColour.b});
            QCOMPARE(PalTable[newEntries][2], std::int16_t{kOldColour.b});
        }
    }

    void fileInAFolderWithAJapaneseName()
    {
        QVERIFY(QDir(m_fx.folder->path()).mkdir(QStringLiteral("パレット")));
        m_fx.desktop->openAnswers = {writePalette(FileKind::Loaded, QStringLiteral("パレット/虹.qpl"))};
        m_fx.window->MenuEditPal_Click();
        QCOMPARE(entriesWithColour(kNewColour), 1025);
        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        QCOMPARE(m_fx.desktop->messages.front().text, kLoaded);
    }

    void nothingIsDrawnBeforeAComputation()
    {
        const QImage before = m_fx.window->Picture1->image();
        m_fx.desktop->openAnswers = {writePalette(FileKind::Loaded)};
        m_fx.window->MenuEditPal_Click();
        QVERIFY(!DrawDone);
        QCOMPARE(m_fx.window->Picture1->image(), before);
    }

    void redrawOnlyOnYes_data()
    {
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<bool>("redrawn");
        QTest::newRow("yes redraws in the new colours") << MsgAnswer::Yes << true;
        QTest::newRow("no keeps the old picture") << MsgAnswer::No << false;
    }
    void redrawOnlyOnYes()
    {
        QFETCH(MsgAnswer, answer);
        QFETCH(bool, redrawn);
        computeAndDraw();
        const QImage before = m_fx.window->Picture1->image().copy();
        const int pixels = before.width() * before.height();
        QCOMPARE(pixelsOfColour(before, kOldColour), pixels);
        DrawDone = false;  // a probe: only a drawing sets it again
        const int doEventsBefore = m_fx.desktop->doEventsCalls;

        m_fx.desktop->openAnswers = {writePalette(FileKind::Loaded)};
        m_fx.desktop->messageAnswers = {answer};
        m_fx.window->MenuEditPal_Click();

        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{1});
        QCOMPARE(DrawDone, redrawn);
        QCOMPARE(m_fx.desktop->doEventsCalls - doEventsBefore, redrawn ? 1 : 0);
        const QImage after = m_fx.window->Picture1->image();
        QCOMPARE(after.size(), before.size());
        QCOMPARE(pixelsOfColour(after, redrawn ? kNewColour : kOldColour), pixels);
        QCOMPARE(m_fx.window->Label1->text(), kComputed);
    }

    void failureDuringTheRedrawIsReportedAsBroken()
    {
        computeAndDraw();
        m_fx.desktop->onDoEvents = [] { throw std::runtime_error("window system gone"); };
        m_fx.desktop->openAnswers = {writePalette(FileKind::Loaded)};
        m_fx.desktop->messageAnswers = {MsgAnswer::Yes};
        m_fx.window->MenuEditPal_Click();

        QCOMPARE(m_fx.desktop->messages.size(), std::size_t{2});
        QCOMPARE(m_fx.desktop->messages[0].text, kRedraw);
        QCOMPARE(m_fx.desktop->messages[1].text, kBroken);
        QCOMPARE(m_fx.desktop->messages[1].title, QStringLiteral("Error"));
        QCOMPARE(m_fx.desktop->messages[1].icon, MsgIcon::Critical);
    }
};

QTEST_MAIN(TestLoadPaletteCommand)
#include "test_load_palette_command.moc"
