// The about box: its look, Enter and Esc, the help menu command, the
// registry lookup and the system information launcher.

#include "platform/qt_platform.h"
#include "tests/support/form_look.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"
#include "ui/about/frm_about.h"

#include <QDir>
#include <QFrame>
#include <QPushButton>
#include <QSignalSpy>

#include <sys/stat.h>

using namespace quilfen;
using namespace quilfen::test;

namespace {

const QString kLocation1 = QString::fromLatin1(kSysInfoKey);
const QString kLocation2 = QString::fromLatin1(kSysInfoLocationKey);
const QString kUnavailable = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
const QString kTestKey = QStringLiteral("SOFTWARE\\Quilfen Test");

enum class Stored { Text, RawBytes, Dword, Kind, Nothing, KeyMissing, KeyReadOnly };

}  // namespace

class TestAboutBox : public QObject {
    Q_OBJECT
private:
    WindowFixture<> m_fx;

    ScriptedRegistry& registry() { return m_fx.desktop->fakeRegistry; }
    RecordingRegistry& registryCalls() { return m_fx.desktop->registryCalls; }

    void verifyUnavailableMessage() { m_fx.verifyOneMessage(kUnavailable, QString(), MsgIcon::None); }

private slots:
    void init() { m_fx.start(); }
    void cleanup() { m_fx.stop(); }

    // What the box fixes about its look: each control by its name, with its
    // fixed text and font.
    void look_data()
    {
        QTest::addColumn<Look>("look");
        lookRow({.name = "frmAbout", .text = "ﾊﾞｰｼﾞｮﾝ情報", .traits = {"fixed size", "32 × 32 icon"}});
        lookRow({.name = "picIcon", .traits = {"shows the program icon"}});
        lookRow({.name = "lblTitle", .text = "Quilfen", .font = expectedFont("ＭＳ Ｐゴシック", 12, QFont::Bold)});
        lookRow({.name = "lblVersion", .text = "Version 3.0"});
        lookRow({.name = "Label1", .text = "2001/01/15"});
        lookRow({.name = "lblDisclaimer", .traits = {"some text"}});
        lookRow({.name = "cmdOK", .text = "OK", .traits = {"default button"}});
        lookRow({.name = "cmdSysInfo", .text = "ｼｽﾃﾑ情報"});
    }
    void look()
    {
        QFETCH(Look, look);
        frmAbout form;
        verifyLook(form, look);
    }

    // The separator, as painted: a grey line with a white one just below it.
    void separatorIsAGreyAndAWhiteLine()
    {
        frmAbout form;
        const QList<QFrame*> lines = form.findChildren<QFrame*>(QStringLiteral("Line1"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(form.Line1[0]->property("index").toInt(), 0);
        QCOMPARE(form.Line1[1]->property("index").toInt(), 1);
        QCOMPARE(form.Line1[1]->y(), form.Line1[0]->y() + 1);
        form.show();
        const QImage shot = form.grab().toImage();
        const int x = form.Line1[0]->x() + form.Line1[0]->width() / 2;
        QCOMPARE(QColor(shot.pixel(x, form.Line1[0]->y())), QColor(128, 128, 128));
        QCOMPARE(QColor(shot.pixel(x, form.Line1[1]->y())), QColor(255, 255, 255));
    }

    void okIsDefaultAndCancel_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }
    void okIsDefaultAndCancel()
    {
        QFETCH(int, key);
        frmAbout form;
        QSignalSpy okClicks(form.cmdOK, &QPushButton::clicked);
        QSignalSpy finished(&form, &QDialog::finished);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.cmdOK->setFocus();
        QTest::keyClick(&form, static_cast<Qt::Key>(key));
        QCOMPARE(okClicks.size(), 1);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!form.isVisible());
    }

    void systemInformationButtonStartsTheLauncher()
    {
        registry().setValue(kLocation1, QStringLiteral("PATH"), textValue(QStringLiteral("/opt/info/tool")));
        frmAbout form;
        form.cmdSysInfo->click();
        QCOMPARE(m_fx.desktop->startedPrograms, QStringList{QStringLiteral("/opt/info/tool")});
    }

    void helpMenuShowsAFreshBoxModally()
    {
        int shown = 0;
        m_fx.desktop->modalHandlers[QStringLiteral("frmAbout")] = [&shown](QDialog& dialog) {
            ++shown;
            auto& form = static_cast<frmAbout&>(dialog);
            if (form.windowTitle() != QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報") || form.parentWidget() == nullptr)
                return -1;
            form.cmdOK->click();
            return form.result();
        };
        m_fx.window->MenuHelpAbout_Click();
        m_fx.window->MenuHelpAbout_Click();
        QCOMPARE(shown, 2);
        QCOMPARE(m_fx.desktop->modalForms, (QStringList{QStringLiteral("frmAbout"), QStringLiteral("frmAbout")}));
        QVERIFY(m_fx.window->findChildren<frmAbout*>().isEmpty());  // unloaded after each showing
        QVERIFY(m_fx.desktop->messages.empty());
    }

    void getKeyValue_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QByteArray>("bytes");      // Text: the text; RawBytes/Kind: the data
        QTest::addColumn<quint32>("number");        // Dword: the number; Kind: the kind
        QTest::addColumn<bool>("expectedResult");
        QTest::addColumn<QString>("expectedText");  // the caller passes "before"

        const QString before = QStringLiteral("before");
        QTest::newRow("text") << Stored::Text << QByteArray("/usr/bin/hardinfo") << 0u << true
                              << QStringLiteral("/usr/bin/hardinfo");
        QTest::newRow("text with Japanese") << Stored::Text << QStringLiteral("/opt/情報/ツール").toUtf8() << 0u
                                            << true << QStringLiteral("/opt/情報/ツール");
        QTest::newRow("empty text") << Stored::Text << QByteArray() << 0u << true << QString();
        QTest::newRow("text stored without its NUL")
            << Stored::RawBytes << QByteArray("abc") << 1u << true << QStringLiteral("abc");
        QTest::newRow("text of 1023 bytes fits with its NUL")
            << Stored::Text << QByteArray(1023, 'x') << 0u << true << QString(1023, QLatin1Char('x'));
        QTest::newRow("text of 1024 bytes without NUL fits")
            << Stored::RawBytes << QByteArray(1024, 'y') << 1u << true << QString(1024, QLatin1Char('y'));
        QTest::newRow("text of 1024 bytes and its NUL is too large")
            << Stored::Text << QByteArray(1024, 'z') << 0u << false << QString();
        QTest::newRow("dword 0x1F") << Stored::Dword << QByteArray() << 0x1Fu << true << QStringLiteral("&h0000001F");
        QTest::newRow("dword 0x12345678") << Stored::Dword << QByteArray() << 0x12345678u << true
                                          << QStringLiteral("&h12345678");
        QTest::newRow("dword 0xA0B0C0D0") << Stored::Dword << QByteArray() << 0xA0B0C0D0u << true
                                          << QStringLiteral("&hA0B0C0D0");
        QTest::newRow("dword zero") << Stored::Dword << QByteArray() << 0u << true << QStringLiteral("&h00000000");
        QTest::newRow("binary leaves the text as passed")
            << Stored::Kind << QByteArray("\x01\x02\x03", 3) << 3u << true << before;
        QTest::newRow("expandable text leaves the text as passed")
            << Stored::Kind << QByteArray("%HOME%\0", 7) << 2u << true << before;
        QTest::newRow("multi-text leaves the text as passed")
            << Stored::Kind << QByteArray("a\0b\0\0", 5) << 7u << true << before;
        QTest::newRow("binary too large for the buffer")
            << Stored::Kind << QByteArray(2000, '\x07') << 3u << false << QString();
        QTest::newRow("missing value") << Stored::Nothing << QByteArray() << 0u << false << QString();
        QTest::newRow("missing key") << Stored::KeyMissing << QByteArray() << 0u << false << QString();
        QTest::newRow("key that refuses write rights")
            << Stored::KeyReadOnly << QByteArray("/usr/bin/hardinfo") << 0u << false << QString();
    }
    void getKeyValue()
    {
        QFETCH(Stored, stored);
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, number);
        QFETCH(bool, expectedResult);
        QFETCH(QString, expectedText);

        const QString name = QStringLiteral("Value");
        switch (stored) {
        case Stored::Text: registry().setValue(kTestKey, name, textValue(QString::fromUtf8(bytes))); break;
        case Stored::RawBytes: registry().setValue(kTestKey, name, {kRegSz, bytes}); break;
        case Stored::Dword: registry().setValue(kTestKey, name, dwordValue(number)); break;
        case Stored::Kind: registry().setValue(kTestKey, name, {number, bytes}); break;
        case Stored::Nothing: registry().addKey(kTestKey); break;
        case Stored::KeyMissing: registry().addKey(kTestKey + QStringLiteral("\\Other")); break;
        case Stored::KeyReadOnly:
            registry().setValue(kTestKey, name, textValue(QString::fromUtf8(bytes)));
            registry().setGrantedAccess(kTestKey, kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify);
            break;
        }

        frmAbout form;
        QString text = QStringLiteral("before");
        QCOMPARE(form.GetKeyValue(kHkeyLocalMachine, kTestKey, name, text), expectedResult);
        QCOMPARE(text, expectedText);
        QVERIFY(!text.contains(QChar(0)));

        // Opened for reading and writing, queried into 1024 bytes, always closed.
        QCOMPARE(registryCalls().opens.size(), std::size_t{1});
        QCOMPARE(registryCalls().opens.front().access, 0x2003Fu);
        QCOMPARE(registryCalls().opens.front().options, 0u);
        const bool opened = registryCalls().opens.front().status == kErrorSuccess;
        QCOMPARE(registryCalls().queries.size(), opened ? std::size_t{1} : std::size_t{0});
        if (opened)
            QCOMPARE(registryCalls().queries.front().bufferSize, 1024u);
        QCOMPARE(registryCalls().closes.size(), opened ? std::size_t{1} : std::size_t{0});
        QCOMPARE(registryCalls().openHandleCount(), 0);
    }

    void startSysInfo_data()
    {
        QTest::addColumn<QString>("location1");       // null: no such value
        QTest::addColumn<QString>("location2");       // null: no such value; "<dir>" the temp folder
        QTest::addColumn<QString>("programInFolder");  // "file", "folder" or empty
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<QString>("expectedStart");   // empty: nothing started, the message shown
        QTest::addColumn<bool>("location2Read");

        const QString none;
        const QString dir = QStringLiteral("<dir>");
        QTest::newRow("location 1 present") << QStringLiteral("/opt/info/tool") << dir << QStringLiteral("file")
                                            << true << QStringLiteral("/opt/info/tool") << false;
        QTest::newRow("location 1 names a missing file")
            << QStringLiteral("/nowhere/tool") << none << QString() << false << QString() << false;
        QTest::newRow("location 1 missing, location 2 holds the program")
            << none << dir << QStringLiteral("file") << true << QStringLiteral("<dir>/hardinfo") << true;
        QTest::newRow("location 1 missing, location 2 without the program")
            << none << dir << QString() << true << QString() << true;
        QTest::newRow("location 1 missing, location 2 holds a folder of that name")
            << none << dir << QStringLiteral("folder") << true << QString() << true;
        QTest::newRow("location 1 missing, location 2 names a missing folder")
            << none << QStringLiteral("/nowhere") << QString() << true << QString() << true;
        QTest::newRow("nothing configured") << none << none << QString() << true << QString() << true;
        QTest::newRow("location 2 holds the program but it does not start")
            << none << dir << QStringLiteral("file") << false << QString() << true;
    }
    void startSysInfo()
    {
        QFETCH(QString, location1);
        QFETCH(QString, location2);
        QFETCH(QString, programInFolder);
        QFETCH(bool, startSucceeds);
        QFETCH(QString, expectedStart);
        QFETCH(bool, location2Read);

        const QString folder = m_fx.path(QStringLiteral("tools"));
        QVERIFY(QDir().mkdir(folder));
        if (programInFolder == QLatin1String("file"))
            QVERIFY(writeFile(folder + QStringLiteral("/hardinfo"), "#!/bin/sh\n"));
        if (programInFolder == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(folder + QStringLiteral("/hardinfo")));
        location2.replace(QStringLiteral("<dir>"), folder);
        expectedStart.replace(QStringLiteral("<dir>"), folder);
        if (!location1.isNull())
            registry().setValue(kLocation1, QStringLiteral("PATH"), textValue(location1));
        if (!location2.isNull())
            registry().setValue(kLocation2, QStringLiteral("MSINFO"), textValue(location2));
        m_fx.desktop->startSucceeds = startSucceeds;

        frmAbout form;
        form.StartSysInfo();

        if (expectedStart.isEmpty())
            verifyUnavailableMessage();
        else
            QVERIFY(m_fx.desktop->messages.empty());
        if (startSucceeds)
            QCOMPARE(m_fx.desktop->startedPrograms, expectedStart.isEmpty() ? QStringList() : QStringList{expectedStart});

        QVERIFY(!registryCalls().opens.empty());
        QCOMPARE(registryCalls().opens.front().key, kLocation1);
        bool read2 = false;
        for (const auto& open : registryCalls().opens)
            read2 = read2 || open.key == kLocation2;
        for (const auto& query : registryCalls().queries)
            read2 = read2 || query.key == kLocation2;
        QCOMPARE(read2, location2Read);
        QCOMPARE(registryCalls().openHandleCount(), 0);
    }

    void locationOneRefusingAccessFallsBackToLocationTwo()
    {
        const QString folder = m_fx.folder->path();
        QVERIFY(writeFile(folder + QStringLiteral("/hardinfo"), "#!/bin/sh\n"));
        registry().setValue(kLocation1, QStringLiteral("PATH"), textValue(QStringLiteral("/opt/info/tool")));
        registry().setGrantedAccess(kLocation1, kReadControl | kKeyQueryValue);
        registry().setValue(kLocation2, QStringLiteral("MSINFO"), textValue(folder));
        frmAbout form;
        form.StartSysInfo();
        QCOMPARE(m_fx.desktop->startedPrograms, QStringList{folder + QStringLiteral("/hardinfo")});
        QVERIFY(m_fx.desktop->messages.empty());
    }

    // What the settings file may name that is not started: only an absolute
    // path to an executable regular file is, never a name looked up through
    // $PATH or the current folder.
    void desktopStartRefuses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a missing program") << "/ABS/no-such-program";
        QTest::newRow("a folder") << "/ABS";
        QTest::newRow("a bare name found through PATH") << "quilfen-test-tool";
        QTest::newRow("a relative name found in the current folder") << "tools/quilfen-test-tool";
        QTest::newRow("a relative name with a dot") << "./tools/quilfen-test-tool";
        QTest::newRow("an absolute file that may not be executed") << "/ABS/tools/not-executable";
        QTest::newRow("an executable named pipe") << "/ABS/tools/pipe";
    }
    void desktopStartRefuses()
    {
        QFETCH(QString, name);
        const QString folder = m_fx.folder->path();
        const QByteArray script = "#!/bin/sh\n";
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/tools")));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/bin")));
        for (const QString& tool : {QStringLiteral("/tools/quilfen-test-tool"), QStringLiteral("/bin/quilfen-test-tool"),
                                    QStringLiteral("/tools/not-executable")}) {
            QVERIFY(writeFile(folder + tool, script));
            QVERIFY(QFile::setPermissions(folder + tool, tool.endsWith(QLatin1String("not-executable"))
                                                             ? QFile::ReadOwner | QFile::WriteOwner
                                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray pipe = QFile::encodeName(folder + QStringLiteral("/tools/pipe"));
        QCOMPARE(mkfifo(pipe.constData(), 0700), 0);

        const QByteArray oldPath = qgetenv("PATH");
        const QString oldCurrent = QDir::currentPath();
        qputenv("PATH", QFile::encodeName(folder + QStringLiteral("/bin:")) + oldPath);
        QDir::setCurrent(folder);
        QtPlatform desktop;
        const bool started = desktop.startProgram(QString(name).replace(QStringLiteral("/ABS"), folder));
        qputenv("PATH", oldPath);
        QDir::setCurrent(oldCurrent);

        QVERIFY(!started);
    }

    void desktopStartOfAnExistingProgramSucceeds()
    {
        // Started detached: the call returns without waiting for the program.
        QtPlatform desktop;
        QVERIFY(desktop.startProgram(QStringLiteral("/bin/true")));
    }
};

QTEST_MAIN(TestAboutBox)
#include "test_about_box.moc"
