// Hostile input wherever a user can type or choose: texts in the conditions
// dialog, palette files, save paths and the preview picture. Every row states
// what the program makes of the input, and then the program computes, draws
// and ends normally.
//
// The cases the area tests already cover are not repeated here: a save path
// under a regular file, onto a folder, into a missing folder and onto a
// nearly full disk (RLIMIT_FSIZE) in test_image_export; a mandel.bmp that is
// missing, empty or not a bitmap in test_calc_cond; the palette reader's
// own file cases in test_palette_reader; the registry's settings file in
// test_settings_registry; quilfen-cli's arguments and files in test_cli.

#include "engine/escape_time_scalar.h"
#include "engine/number_text.h"
#include "platform/picture_box.h"
#include "tests/support/program_texts.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"
#include "ui/calc_cond/md_calc_cond.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <cfloat>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quilfen;
using namespace quilfen::test;

namespace {

// The box of a QLineEdit: what a paste longer than this keeps.
constexpr int kBoxLimit = 32767;

// Every point of this square escapes at the first step, so even the
// largest iteration limit computes at once.
const CalcCondition kFarRegion{10.0, 10.0, 1.0};

// Set before the QApplication exists: whether this process has a mount
// namespace of its own, where a tiny tmpfs can be mounted without the rest
// of the machine seeing it; and if not, why not.
bool g_privateMounts = false;
std::string g_noPrivateMounts;

// Whether "/" is a mount point of this process's view. Inside a chroot it
// usually is not: the namespace could be made, but not kept private, and
// /proc/self/exe would then name the program by its path outside the chroot.
bool rootIsMountPoint()
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // Each line: mount id, parent id, major:minor, root, mount point, ...
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().split(' ');
        if (fields.size() > 4 && fields[4] == "/")
            return true;
    }
    return false;
}

bool enterPrivateMountNamespace()
{
    if (geteuid() != 0) {
        g_noPrivateMounts = "needs root";
        return false;
    }
    if (!rootIsMountPoint()) {
        g_noPrivateMounts = "/ is not a mount point here (a chroot?)";
        return false;
    }
    if (unshare(CLONE_NEWNS) != 0) {
        g_noPrivateMounts = std::string("unshare: ") + std::strerror(errno);
        return false;
    }
    // Mounts made here must not propagate back to the machine's namespace.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_noPrivateMounts = std::string("making / private: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// A tmpfs of `bytes` mounted on a folder for the life of the object.
class TinyDisk {
public:
    explicit TinyDisk(const QString& where, qint64 bytes) : m_where(QFile::encodeName(where))
    {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = g_privateMounts &&
                    mount("tmpfs", m_where.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    ~TinyDisk()
    {
        if (m_mounted)
            umount2(m_where.constData(), MNT_DETACH);
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;
    bool mounted() const { return m_mounted; }
    // Write protection that even root cannot pass: the file system itself
    // refuses every write.
    bool makeReadOnly()
    {
        return m_mounted && mount(nullptr, m_where.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_where;
    bool m_mounted = false;
};

// The scripted platform with a hook that runs when the save dialog has
// answered and before the picture is written.
class HookedPlatform : public ScriptedPlatform {
public:
    std::function<void()> afterSaveDialog;

    std::optional<QString> saveFileDialog(const FileDialogRequest& request) override
    {
        std::optional<QString> answer = ScriptedPlatform::saveFileDialog(request);
        if (afterSaveDialog)
            afterSaveDialog();
        return answer;
    }
};

QByteArray randomBytes(int size, quint32 seed, int lowest = 0, int highest = 256)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random.bounded(lowest, highest));
    return bytes;
}

QByteArray utf16(const QByteArray& ascii, QStringEncoder::Encoding encoding, bool byteOrderMark)
{
    QStringEncoder encode(encoding, byteOrderMark ? QStringConverter::Flag::WriteBom
                                                  : QStringConverter::Flag::Default);
    return encode(QString::fromLatin1(ascii));
}

// A magenta picture of that size in that file format.
QByteArray magentaPicture(int side, const char* format)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A bitmap header that claims a picture far larger than memory allows.
QByteArray hugeBitmapHeader()
{
    QByteArray header(54, '\0');
    auto put32 = [&header](int at, quint32 v) {
        for (int k = 0; k < 4; ++k)
            header[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, 54 + 3u * 100000u * 100000u);
    put32(10, 54);
    put32(14, 40);
    put32(18, 100000);  // width
    put32(22, 100000);  // height
    header[26] = 1;     // planes
    header[28] = 24;    // bits per pixel
    return header + QByteArray(4096, '\x7F');
}

enum class Expect { Silent, NotPalette, Broken };

// Colours compared without the alpha byte.
QRgb pixelOf(QRgb colour)
{
    return colour & 0xFFFFFFU;
}

QRgb pixelOf(PictureBox& picture, int x, int y)
{
    return pixelOf(picture.image().pixel(x, y));
}

const QRgb kAxisPixel = pixelOf(qRgb(0, 0, 255));  // the preview's real axis

}  // namespace

Q_DECLARE_METATYPE(Expect)

class TestHostileInput : public QObject {
    Q_OBJECT
private:
    WindowFixture<HookedPlatform> m_fx;

    HookedPlatform& scripted() { return *m_fx.desktop; }
    QString path(const QString& name) const { return m_fx.path(name); }
    void trigger(const char* name) { m_fx.trigger(name); }

    // Opens the conditions dialog from the menu; script runs while it is
    // shown and active.
    void openDialog(const std::function<void(MDCalcCond&)>& script)
    {
        scripted().modalHandlers[QStringLiteral("MDCalcCond")] = [script](QDialog& form) {
            auto* dialog = qobject_cast<MDCalcCond*>(&form);
            if (dialog) {
                dialog->show();
                dialog->activateWindow();
                if (QTest::qWaitForWindowActive(dialog))
                    script(*dialog);
                if (dialog->isLoaded())
                    dialog->CmdCancel->click();
            }
            return form.result();
        };
        trigger("MenuConditionCal");
    }

    // The picture was computed from the stored conditions and drawn, and
    // the status line ends black with the time.
    void verifyComputedAndDrawn()
    {
        QVERIFY(DrawDone);
        QCOMPARE(DrawnCond, CalcCond);
        QVERIFY2(m_fx.window->Label1->text().startsWith(QStringLiteral("計算時間は")) &&
                     m_fx.window->Label1->text().endsWith(QStringLiteral("秒")),
                 qPrintable(m_fx.window->Label1->text()));
        QCOMPARE(m_fx.window->Label1->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        // Counts of the scalar reference at the corners and the centre.
        const GridFrame frame = gridFrame(CalcCond, 2 * HalfSize);
        for (int i : {0, 200, 400}) {
            for (int j : {0, 200, 400}) {
                const double cr = static_cast<double>(i) * frame.d + frame.x0;
                const double ci = static_cast<double>(j) * frame.d + frame.y0;
                QCOMPARE(IterMap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)],
                         escapeCount(cr, ci, MaxIter));
            }
        }
        for (int i = 0; i <= 400; ++i)
            for (int j = 0; j <= 400; ++j) {
                const std::int32_t count = IterMap[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                if (count < 1 || count > MaxIter + 1)
                    QFAIL(qPrintable(QStringLiteral("count %1 at (%2, %3)").arg(count).arg(i).arg(j)));
            }
    }

    // Computes and draws with the current conditions through the dialog,
    // then ends the program from the menu.
    void computeDrawAndEnd()
    {
        if (MaxIter > 1000 || !std::isfinite(CalcCond.Range))
            CalcCond = kFarRegion;
        openDialog([](MDCalcCond& d) { d.CmdSet->click(); });
        verifyComputedAndDrawn();
        trigger("MenuFileEnd");
        QCOMPARE(scripted().endRequests, std::vector<int>{0});
    }

    // A text put into a box as the user would: typed over the old one, or
    // pasted from the clipboard into the emptied box.
    static void enterText(QLineEdit* box, const QString& text, bool paste)
    {
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        if (paste) {
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            box->insert(text);
        }
    }

private slots:
    void init()
    {
        m_fx.start();
        QVERIFY(m_fx.folder->isValid());
        // The program's data files, beside the test as beside the program.
        const QString built = QCoreApplication::applicationDirPath();
        QVERIFY(QFile::copy(built + QStringLiteral("/default.qpl"), path(QStringLiteral("default.qpl"))));
        QFile::copy(built + QStringLiteral("/mandel.bmp"), path(QStringLiteral("mandel.bmp")));
        QVERIFY(startMainWindow(*m_fx.window));
    }

    void cleanup() { m_fx.stop(); }

    // One hostile text in one box; the other boxes keep the texts of a
    // region far outside the set, limit 50. `stored` is what "設定して実行"
    // stores for that box (the iteration limit for Text4).
    void conditionTexts_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<double>("stored");

        const QString digitsBeyondIntegers = QStringLiteral("340282366920938463463374607431768211457");  // 2^128 + 1
        // Read in full this is 2.5; the box keeps only its first 32,767
        // characters, all of them zeros after the point.
        const QString longFraction = QStringLiteral("0.") + QString(99990, QLatin1Char('0')) + QStringLiteral("25e99991");
        const struct {
            const char* tag;
            QString text;
            bool paste;
            double value;
        } centreAndRange[] = {
            {"empty", QString(), false, 0.0},
            {"only blanks", QStringLiteral("    "), false, 0.0},
            {"1e400", QStringLiteral("1e400"), false, DBL_MAX},
            {"-1e400", QStringLiteral("-1e400"), false, -DBL_MAX},
            {"1e-400", QStringLiteral("1e-400"), false, 0.0},
            {"nan", QStringLiteral("nan"), false, 0.0},
            {"inf", QStringLiteral("inf"), false, 0.0},
            {"-inf", QStringLiteral("-inf"), false, 0.0},
            {"digits overflowing every integer type", digitsBeyondIntegers, false, std::ldexp(1.0, 128)},
            {"far outside the set, 1e300", QStringLiteral("1e300"), false, 1e300},
            {"full-width digits", QStringLiteral("１２３"), false, 0.0},
            {"decimal comma", QStringLiteral("0,5"), false, 0.0},
            {"100,000-character paste, cut at 32,767", longFraction, true, 0.0},
            {"100,000 nines pasted", QString(100000, QLatin1Char('9')), true, DBL_MAX},
        };
        for (int box = 1; box <= 3; ++box) {
            for (const auto& row : centreAndRange)
                QTest::addRow("Text%d %s", box, row.tag) << box << row.text << row.paste << row.value;
        }
        QTest::newRow("Text3 range 0") << 3 << "0" << false << 0.0;
        QTest::newRow("Text3 negative range") << 3 << "-2.5" << false << -2.5;
        QTest::newRow("Text3 negative range beyond doubles") << 3 << "-1e999" << false << -DBL_MAX;

        const struct {
            const char* tag;
            QString text;
            bool paste;
            int limit;
        } counts[] = {
            {"empty", QString(), false, 1},
            {"only blanks", QStringLiteral("    "), false, 1},
            {"1e400", QStringLiteral("1e400"), false, kMaxIterLimit},
            {"-1e400", QStringLiteral("-1e400"), false, 1},
            {"1e-400", QStringLiteral("1e-400"), false, 1},
            {"nan", QStringLiteral("nan"), false, 1},
            {"inf", QStringLiteral("inf"), false, 1},
            {"just beyond 32-bit signed", QStringLiteral("2147483648"), false, kMaxIterLimit},
            {"just below 32-bit signed", QStringLiteral("-2147483649"), false, 1},
            {"just beyond 64-bit unsigned", QStringLiteral("18446744073709551617"), false, kMaxIterLimit},
            {"digits overflowing every integer type", digitsBeyondIntegers, false, kMaxIterLimit},
            {"far above the cap with a fraction", QStringLiteral("2.9e6"), false, kMaxIterLimit},
            {"100,000 nines pasted", QString(100000, QLatin1Char('9')), true, kMaxIterLimit},
            {"100,000 blanks and a 7 pasted, cut before the 7", QString(99999, QLatin1Char(' ')) + QLatin1Char('7'),
             true, 1},
        };
        for (const auto& row : counts)
            QTest::addRow("Text4 %s", row.tag) << 4 << row.text << row.paste << double(row.limit);
    }
    void conditionTexts()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(bool, paste);
        QFETCH(double, stored);

        CalcCond = kFarRegion;
        MaxIter = 50;
        CalcCondition expected = kFarRegion;
        int expectedLimit = 50;
        if (box == 4)
            expectedLimit = static_cast<int>(stored);
        else
            (box == 1 ? expected.CentreRe : box == 2 ? expected.CentreIm : expected.Range) = stored;

        openDialog([&](MDCalcCond& d) {
            QLineEdit* target = box == 1 ? d.Text1 : box == 2 ? d.Text2 : box == 3 ? d.Text3 : d.Text4;
            enterText(target, text, paste);
            QCOMPARE(target->text(), text.left(kBoxLimit));
            // Leaving the box for the button reads it, then the run starts.
            QTest::mouseClick(d.CmdSet, Qt::LeftButton);
            QVERIFY(!d.isLoaded());
        });
        QCOMPARE(CalcCond, expected);
        QCOMPARE(MaxIter, expectedLimit);
        verifyComputedAndDrawn();

        // The next opening shows what was stored, and runs it again unchanged.
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(d.Text4->text(), QString::number(expectedLimit));
            for (QLineEdit* b : {d.Text1, d.Text2, d.Text3})
                QVERIFY(!b->text().isEmpty());
            d.CmdSet->click();
        });
        QCOMPARE(CalcCond, expected);
        QCOMPARE(MaxIter, expectedLimit);
        verifyComputedAndDrawn();

        trigger("MenuFileEnd");
        QCOMPARE(scripted().endRequests, std::vector<int>{0});
    }

    // The long paste really is cut: read whole it would be another number.
    void longPasteWouldReadOtherwise()
    {
        const QString longFraction = QStringLiteral("0.") + QString(99990, QLatin1Char('0')) + QStringLiteral("25e99991");
        QCOMPARE(numberOfText(longFraction.toStdString()), 2.5);
        QCOMPARE(numberOfText(longFraction.left(kBoxLimit).toStdString()), 0.0);
    }

    // Palette files chosen from the menu.
    void paletteFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("kind");  // file, pipe, folder, device, sparse
        QTest::addColumn<Expect>("expect");

        const QByteArray header = "Quilfen Palette Table File\r\n";
        QTest::newRow("binary garbage: a PNG picture") << magentaPicture(16, "PNG") << "file" << Expect::NotPalette;
        QTest::newRow("binary garbage: random bytes")
            << "\x01" + randomBytes(65536, 9) << "file" << Expect::NotPalette;
        QTest::newRow("binary garbage after the header line")
            << header + randomBytes(65536, 17, 0x80, 0x100) << "file" << Expect::Broken;
        QTest::newRow("UTF-16 LE with byte-order mark")
            << utf16(rampPaletteText(), QStringConverter::Utf16LE, true) << "file" << Expect::NotPalette;
        QTest::newRow("UTF-16 BE with byte-order mark")
            << utf16(rampPaletteText(), QStringConverter::Utf16BE, true) << "file" << Expect::NotPalette;
        QTest::newRow("UTF-16 LE without byte-order mark")
            << utf16(rampPaletteText(), QStringConverter::Utf16LE, false) << "file" << Expect::NotPalette;
        // Its first line is longer than any header: not a palette.
        QTest::newRow("a gigabyte with no line break") << QByteArray() << "sparse" << Expect::NotPalette;
        QTest::newRow("the header, then a gigabyte with no line break") << header << "sparse" << Expect::Broken;
        QTest::newRow("a named pipe that nobody writes") << QByteArray() << "pipe" << Expect::Silent;
        QTest::newRow("a folder named like a palette") << QByteArray() << "folder" << Expect::Silent;
        QTest::newRow("a device without end") << QByteArray() << "device" << Expect::Silent;
    }
    void paletteFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, kind);
        QFETCH(Expect, expect);

        QString chosen = path(QStringLiteral("hostile.qpl"));
        if (kind == QLatin1String("file") || kind == QLatin1String("sparse")) {
            QVERIFY(writeFile(chosen, content));
            if (kind == QLatin1String("sparse"))
                QVERIFY(QFile(chosen).resize(qint64(1) << 30));  // NUL bytes that take no disk
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(mkfifo(QFile::encodeName(chosen).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(chosen));
        } else {
            chosen = QStringLiteral("/dev/zero");
        }
        const PaletteTable before = PalTable;

        scripted().openAnswers = {chosen};
        trigger("MenuEditPal");

        switch (expect) {
        case Expect::Silent:
            QVERIFY(scripted().messages.empty());
            break;
        case Expect::NotPalette:
        case Expect::Broken:
            m_fx.verifyOneMessage(expect == Expect::Broken ? kBroken : kNotPalette, QStringLiteral("Error"),
                                  MsgIcon::Critical);
            break;
        }
        // Nothing in these files is a value: the colours stay as they were.
        QVERIFY(PalTable == before);
        QCOMPARE(m_fx.window->Label1->text(), kWaiting);

        MaxIter = 40;
        computeDrawAndEnd();
        if (kind == QLatin1String("sparse"))
            QFile::remove(chosen);
    }

    // Save paths that fail only once the dialog has closed.
    void savePaths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("the folder vanished after the dialog") << "vanished" << false;
        QTest::newRow("a full disk, new file") << "full disk" << false;
        QTest::newRow("a full disk, the old file is kept") << "full disk, old file" << false;
        QTest::newRow("a write-protected folder, new file") << "read-only" << false;
        QTest::newRow("a write-protected folder, the old file is kept") << "read-only, old file" << false;
        QTest::newRow("a name longer than the system allows") << "long name" << false;
        // Only a regular file is ever replaced: as root a device node would
        // otherwise be swapped for a bitmap (think of /dev/null).
        QTest::newRow("a named pipe is refused and stays") << "pipe" << false;
        QTest::newRow("a device node is refused and stays") << "device" << false;
        QTest::newRow("a socket is refused and stays") << "socket" << false;
        QTest::newRow("a link to a file that does not exist is refused and stays") << "dangling link" << false;
        // As an ordinary user, in a folder that user may write: refused as cp refuses.
        QTest::newRow("the user's own file of mode 444, the old file is kept") << "mode 444, old file" << false;
        QTest::newRow("root's file of mode 644, the old file is kept") << "root's, old file" << false;
        QTest::newRow("an old file keeps its permission bits, owner and group") << "owned old file" << true;
    }
    void savePaths()
    {
        QFETCH(QString, kind);
        QFETCH(bool, written);

        MaxIter = 40;
        CalcCond = {-0.5, 0.0, 2.5};
        openDialog([](MDCalcCond& d) { d.CmdSet->click(); });
        QVERIFY(DrawDone);

        const QString sub = path(QStringLiteral("pictures"));
        QVERIFY(QDir().mkdir(sub));
        QString target = sub + QStringLiteral("/manimg.bmp");
        std::unique_ptr<TinyDisk> disk;
        const QByteArray oldFile = "the user's own file " + QByteArray(20000, 'k');
        bool asUser = false;  // the save runs with the rights of nobody
        if (kind == QLatin1String("vanished")) {
            scripted().afterSaveDialog = [sub] { QDir(sub).removeRecursively(); };
        } else if (kind.startsWith(QLatin1String("full disk")) || kind.startsWith(QLatin1String("read-only"))) {
            disk = std::make_unique<TinyDisk>(sub, 64 * 1024);
            if (!disk->mounted()) {
                const std::string why = "no private mount namespace (" + g_noPrivateMounts +
                                        "): the RLIMIT_FSIZE cases of test_image_export stand in";
                QSKIP(why.c_str());
            }
            if (kind.endsWith(QLatin1String("old file")))
                QVERIFY(writeFile(target, oldFile));
            if (kind.startsWith(QLatin1String("read-only")))
                QVERIFY(disk->makeReadOnly());
        } else if (kind == QLatin1String("long name")) {
            target = sub + QLatin1Char('/') + QString(300, QLatin1Char('m')) + QStringLiteral(".bmp");
        } else if (kind == QLatin1String("pipe") || kind == QLatin1String("device") || kind == QLatin1String("socket")) {
            if (!makeSpecialFile(target, kind))
                QSKIP("cannot make that kind of file here (a device node needs root and CAP_MKNOD)");
        } else if (kind == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(QStringLiteral("nowhere/manimg.bmp"), target));
        } else if (kind.startsWith(QLatin1String("mode 444")) || kind.startsWith(QLatin1String("root's"))) {
            QVERIFY(writeFile(target, oldFile));
            const bool readOnly = kind.startsWith(QLatin1String("mode 444"));
            // Root may write anything: the save runs as nobody instead.
            asUser = geteuid() == 0;
            if (!asUser && !readOnly)
                QSKIP("needs root to make a file of root's");
            if (asUser) {
                QCOMPARE(chmod(QFile::encodeName(m_fx.folder->path()).constData(), 0711), 0);
                QCOMPARE(chmod(QFile::encodeName(sub).constData(), 0777), 0);
                if (readOnly)
                    QCOMPARE(chown(QFile::encodeName(target).constData(), 65534, 65534), 0);
            }
            QCOMPARE(chmod(QFile::encodeName(target).constData(), readOnly ? 0444 : 0644), 0);
        } else {
            QVERIFY(writeFile(target, oldFile));
            QCOMPARE(chmod(QFile::encodeName(target).constData(), 0604), 0);
            if (geteuid() == 0)
                QCOMPARE(chown(QFile::encodeName(target).constData(), 4321, 8765), 0);
        }
        struct stat before {};
        lstat(QFile::encodeName(target).constData(), &before);

        scripted().saveAnswers = {target};
        const bool asNobody = asUser && setegid(65534) == 0 && seteuid(65534) == 0;
        trigger("MenuFileSave");
        if (asUser)
            QVERIFY(seteuid(0) == 0 && setegid(0) == 0);
        QCOMPARE(asNobody, asUser);

        if (written) {
            QVERIFY(scripted().messages.empty());
            QVERIFY(QFileInfo(target).isFile());
            QCOMPARE(QImage(target, "BMP").convertToFormat(QImage::Format_RGB32),
                     m_fx.window->Picture1->image().convertToFormat(QImage::Format_RGB32));
            struct stat after {};
            QCOMPARE(stat(QFile::encodeName(target).constData(), &after), 0);
            QCOMPARE(after.st_mode & 07777, mode_t(0604));
            QCOMPARE(after.st_uid, before.st_uid);
            QCOMPARE(after.st_gid, before.st_gid);
        } else {
            m_fx.verifyOneMessage(kWriteFailed, QStringLiteral("Error"), MsgIcon::Critical);
            const bool special = kind == QLatin1String("pipe") || kind == QLatin1String("device") ||
                                 kind == QLatin1String("socket") || kind == QLatin1String("dangling link");
            struct stat after {};
            if (special) {
                // Still what it was, not a bitmap.
                QCOMPARE(lstat(QFile::encodeName(target).constData(), &after), 0);
                QCOMPARE(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
                QCOMPARE(after.st_rdev, before.st_rdev);
            } else if (kind.endsWith(QLatin1String("old file"))) {
                QCOMPARE(readFile(target), oldFile);
                QCOMPARE(stat(QFile::encodeName(target).constData(), &after), 0);
                QCOMPARE(after.st_uid, before.st_uid);
            } else {
                QVERIFY(!QFileInfo::exists(target));
            }
            if (QFileInfo::exists(sub)) {
                // No half-written temporary file is left behind.
                const QStringList left = QDir(sub).entryList(QDir::Files | QDir::Hidden);
                QCOMPARE(left, kind.endsWith(QLatin1String("old file")) ? QStringList{QStringLiteral("manimg.bmp")}
                                                                        : QStringList{});
            }
        }
        scripted().afterSaveDialog = nullptr;
        disk.reset();
        computeDrawAndEnd();
    }

    // A mandel.bmp that is no picture the program can show: the dialog
    // opens with a blank preview under its figures and works.
    void previewPicture_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("kind");  // file, folder, sparse, pipe, zero
        QTest::newRow("random bytes") << randomBytes(4096, 5) << "file";
        QTest::newRow("a bitmap header claiming 100,000 x 100,000 pixels") << hugeBitmapHeader() << "file";
        QTest::newRow("a palette file under the name") << rampPaletteText() << "file";
        QTest::newRow("a gigabyte of NUL bytes") << QByteArray() << "sparse";
        QTest::newRow("a folder") << QByteArray() << "folder";
        QTest::newRow("a named pipe that nobody writes") << QByteArray() << "pipe";
        QTest::newRow("a link to /dev/zero") << QByteArray() << "zero";
    }
    void previewPicture()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, kind);
        const QString picture = path(QStringLiteral("mandel.bmp"));
        QFile::remove(picture);
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(picture));
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(mkfifo(QFile::encodeName(picture).constData(), 0600), 0);
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), picture));
        } else {
            QVERIFY(writeFile(picture, content));
            if (kind == QLatin1String("sparse"))
                QVERIFY(QFile(picture).resize(qint64(1) << 30));
        }

        MaxIter = 40;
        openDialog([&](MDCalcCond& d) {
            const QRgb blank = pixelOf(d.RangePict->backgroundColour().rgb());
            QCOMPARE(pixelOf(*d.RangePict, 180, 120), blank);  // no picture of the set
            QCOMPARE(pixelOf(*d.RangePict, 5, 101), kAxisPixel);
            // Enter redraws, reloading the picture: still blank, still working.
            d.Text1->setFocus(Qt::OtherFocusReason);
            d.Text1->setText(QStringLiteral("-1"));
            QTest::keyClick(d.Text1, Qt::Key_Return);
            QCOMPARE(d.EditCentreRe, -1.0);
            QCOMPARE(pixelOf(*d.RangePict, 180, 120), blank);
            QCOMPARE(pixelOf(*d.RangePict, 5, 101), kAxisPixel);
            d.CmdSet->click();
        });
        QCOMPARE(CalcCond, (CalcCondition{-1.0, 0.0, 2.5}));
        verifyComputedAndDrawn();
        trigger("MenuFileEnd");
        QCOMPARE(scripted().endRequests, std::vector<int>{0});
        if (kind == QLatin1String("sparse"))
            QFile::remove(picture);
    }

    // A bitmap cut off half-way: Qt's reader keeps the rows that are there
    // (a bitmap is stored bottom row first), so the bottom half shows; the
    // rows that are missing have no defined colour. The dialog works.
    void truncatedPreviewPicture()
    {
        const QString picture = path(QStringLiteral("mandel.bmp"));
        QFile::remove(picture);
        const QByteArray bitmap = magentaPicture(198, "BMP");  // the preview's size
        QVERIFY(writeFile(picture, bitmap.left(bitmap.size() / 2)));
        MaxIter = 40;
        openDialog([&](MDCalcCond& d) {
            QCOMPARE(pixelOf(*d.RangePict, 197, 197), pixelOf(QColor(Qt::magenta).rgb()));
            QCOMPARE(pixelOf(*d.RangePict, 5, 101), kAxisPixel);
            d.CmdSet->click();
        });
        verifyComputedAndDrawn();
        trigger("MenuFileEnd");
        QCOMPARE(scripted().endRequests, std::vector<int>{0});
    }
};

int main(int argc, char* argv[])
{
    // Before any thread exists: a mount namespace is per process.
    g_privateMounts = enterPrivateMountNamespace();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestHostileInput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_hostile_input.moc"
