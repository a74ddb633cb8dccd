// Saving the picture as a BMP file and copying it to the clipboard.

#include "platform/picture_box.h"
#include "platform/qt_platform.h"
#include "tests/support/program_texts.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace quilfen;
using namespace quilfen::test;

namespace {

// Limits the size of files this process may write, like a nearly full disk;
// a write past it fails (the signal it would raise is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_ok = m_ok && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

QStringList folderEntries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

}  // namespace

class TestImageExport : public QObject {
    Q_OBJECT
private:
    WindowFixture<> m_fx;

    void drawSomething()
    {
        HalfSize = 200;
        CalcCond = {-0.5, 0.0, 2.5};
        MaxIter = 30;
        CalcMandel();
        for (int k = 0; k <= 1024; ++k)
            PalTable[static_cast<std::size_t>(k)] = {static_cast<std::int16_t>(k % 256),
                                                     static_cast<std::int16_t>((k * 5) % 256), 90};
        DrawMandel();
    }

    void verifyWriteFailedMessage()
    {
        m_fx.verifyOneMessage(kWriteFailed, QStringLiteral("Error"), MsgIcon::Critical);
    }

private slots:
    void init() { m_fx.start(); }
    void cleanup() { m_fx.stop(); }

    void dialogProposesManimgEveryTime()
    {
        m_fx.desktop->saveAnswers = {m_fx.path(QStringLiteral("first.bmp")), QString()};
        m_fx.window->MenuFileSave_Click();
        m_fx.window->MenuFileSave_Click();
        QCOMPARE(m_fx.desktop->saveRequests.size(), std::size_t{2});
        for (const FileDialogRequest& request : m_fx.desktop->saveRequests) {
            QCOMPARE(request.proposedPath, m_fx.folder->path() + QStringLiteral("/manimg.bmp"));
            QCOMPARE(request.flags, 0x8802u);
            QVERIFY(request.filter.isEmpty());
        }
    }

    void cancelOrEmptyNameWritesNothing_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("cancelled") << QStringList{QString()};
        QTest::newRow("no answer at all") << QStringList{};
        QTest::newRow("empty name") << QStringList{QStringLiteral("")};
    }
    void cancelOrEmptyNameWritesNothing()
    {
        QFETCH(QStringList, answers);
        m_fx.desktop->saveAnswers = answers;
        m_fx.window->MenuFileSave_Click();
        QVERIFY(m_fx.desktop->messages.empty());
        QVERIFY(m_fx.desktop->savedPaths.isEmpty());
        QVERIFY(folderEntries(m_fx.folder->path()).isEmpty());
    }

    void savingBeforeAnythingIsDrawn()
    {
        const QString target = m_fx.path(QStringLiteral("manimg.bmp"));
        m_fx.desktop->saveAnswers = {target};
        m_fx.window->MenuFileSave_Click();

        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(readFile(target).left(2), QByteArray("BM"));
        const QImage saved(target, "BMP");
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), m_fx.window->Picture1->size());
        // The empty surface is the picture's background colour all over.
        const QRgb background = m_fx.window->Picture1->backgroundColour().rgb();
        const QImage rgb = saved.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); y += 7)
            for (int x = 0; x < rgb.width(); x += 7)
                QCOMPARE(rgb.pixel(x, y), background);
    }

    // The picture is written whole under the name as typed, replacing a file
    // of that name; nothing else is left in the folder.
    void savedFileHoldsThePicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("before");  // empty: no such file
        QTest::newRow("new file") << "drawn.bmp" << QByteArray();
        QTest::newRow("name without extension used as typed") << "manimg" << QByteArray();
        QTest::newRow("existing file replaced") << "old.bmp" << QByteArray("not a picture");
    }
    void savedFileHoldsThePicture()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, before);
        const QString target = m_fx.path(name);
        if (!before.isEmpty())
            QVERIFY(writeFile(target, before));
        drawSomething();
        m_fx.desktop->saveAnswers = {target};
        m_fx.window->MenuFileSave_Click();

        QVERIFY(m_fx.desktop->messages.empty());
        const QImage picture = m_fx.window->Picture1->image().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(400, 400));
        QCOMPARE(QImage(target, "BMP").convertToFormat(QImage::Format_RGB32), picture);
        QCOMPARE(folderEntries(m_fx.folder->path()), QStringList{name});
    }

    void unwritableTargetIsReported_data()
    {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("target");
        QTest::newRow("folder is a regular file") << QStringLiteral("file:plain") << QStringLiteral("plain/manimg.bmp");
        QTest::newRow("target is a folder") << QStringLiteral("dir:manimg.bmp") << QStringLiteral("manimg.bmp");
        QTest::newRow("folder does not exist") << QString() << QStringLiteral("gone/manimg.bmp");
    }
    void unwritableTargetIsReported()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, target);
        if (setUp.startsWith(QLatin1String("file:")))
            QVERIFY(writeFile(m_fx.path(setUp.mid(5)), "plain text"));
        if (setUp.startsWith(QLatin1String("dir:")))
            QVERIFY(QDir(m_fx.folder->path()).mkdir(setUp.mid(4)));
        const QStringList before = folderEntries(m_fx.folder->path());

        m_fx.desktop->saveAnswers = {m_fx.path(target)};
        m_fx.window->MenuFileSave_Click();

        verifyWriteFailedMessage();
        QCOMPARE(folderEntries(m_fx.folder->path()), before);
        if (setUp.startsWith(QLatin1String("file:")))
            QCOMPARE(readFile(m_fx.path(setUp.mid(5))), QByteArray("plain text"));
        if (setUp.startsWith(QLatin1String("dir:")))
            QVERIFY(folderEntries(m_fx.path(setUp.mid(4))).isEmpty());
    }

    void readOnlyFolderIsReported()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders; the cases above simulate the refusal");
        const QString sub = m_fx.path(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(sub));
        QVERIFY(QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        m_fx.desktop->saveAnswers = {sub + QStringLiteral("/manimg.bmp")};
        m_fx.window->MenuFileSave_Click();
        QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        verifyWriteFailedMessage();
        QVERIFY(folderEntries(sub).isEmpty());
    }

    // The disk fills up half-way through: an old file survives whole, and
    // no temporary file is left beside it.
    void failedWriteOnAFullDisk_data()
    {
        QTest::addColumn<QByteArray>("before");  // empty: no such file
        QTest::newRow("the old file is kept") << "the user's own file " + QByteArray(20000, 'k');
        QTest::newRow("no file where none was") << QByteArray();
    }
    void failedWriteOnAFullDisk()
    {
        QFETCH(QByteArray, before);
        drawSomething();
        const QString target = m_fx.path(QStringLiteral("keep.bmp"));
        if (!before.isEmpty())
            QVERIFY(writeFile(target, before));
        m_fx.desktop->saveAnswers = {target};
        {
            FileSizeLimit nearlyFull(4096);
            QVERIFY(nearlyFull.ok());
            m_fx.window->MenuFileSave_Click();
        }
        verifyWriteFailedMessage();
        QCOMPARE(readFile(target), before);
        QCOMPARE(folderEntries(m_fx.folder->path()),
                 before.isEmpty() ? QStringList{} : QStringList{QStringLiteral("keep.bmp")});
    }

    void copyPutsThePictureOnTheClipboard()
    {
        drawSomething();
        m_fx.window->MenuEditCopy_Click();
        QVERIFY(m_fx.desktop->messages.empty());
        QCOMPARE(m_fx.desktop->clipboardSets, 1);
        QCOMPARE(m_fx.desktop->clipboard.convertToFormat(QImage::Format_RGB32),
                 m_fx.window->Picture1->image().convertToFormat(QImage::Format_RGB32));
    }

    void copyBeforeAnythingIsDrawnGivesTheEmptySurface()
    {
        m_fx.window->MenuEditCopy_Click();
        QCOMPARE(m_fx.desktop->clipboard.size(), m_fx.window->Picture1->size());
        QCOMPARE(m_fx.desktop->clipboard.pixel(0, 0), m_fx.window->Picture1->backgroundColour().rgb());
    }

    void copyThroughTheDesktopClipboard()
    {
        drawSomething();
        QtPlatform desktop;
        setPlatform(&desktop);
        m_fx.window->MenuEditCopy_Click();
        setPlatform(m_fx.desktop.get());
        const QImage pasted = QGuiApplication::clipboard()->image();
        QCOMPARE(pasted.convertToFormat(QImage::Format_RGB32),
                 m_fx.window->Picture1->image().convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(TestImageExport)
#include "test_image_export.moc"
