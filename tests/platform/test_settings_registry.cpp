// The registry stand-in on Linux: the administrator's settings file, and the
// registry double the tests fill in.

#include "platform/recording_registry.h"
#include "platform/scripted_registry.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>

#include <sys/stat.h>

using namespace quilfen;
using namespace quilfen::test;

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");

struct Read {
    std::int32_t status = -1;
    std::uint32_t kind = 0;
    QByteArray data;
};

// Opens the key, reads one value into a 1024-byte buffer, closes the key.
Read readValue(Registry& registry, const QString& key, const QString& name)
{
    Read result;
    RegistryKey handle = 0;
    result.status = registry.openKey(kHkeyLocalMachine, key, 0, kReadControl | 0x3F, &handle);
    if (result.status != kErrorSuccess)
        return result;
    std::array<unsigned char, 1024> buffer{};
    std::uint32_t size = 1024;
    result.status = registry.queryValue(handle, name, &result.kind, buffer.data(), &size);
    if (result.status == kErrorSuccess)
        result.data = QByteArray(reinterpret_cast<const char*>(buffer.data()), size);
    registry.closeKey(handle);
    return result;
}

}  // namespace

class TestSettingsRegistry : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_folder;

    QString writeSettings(const QByteArray& text)
    {
        const QString path = m_folder.filePath(QStringLiteral("registry.ini"));
        return writeFile(path, text) ? path : QString();
    }

private slots:
    void defaultLocationIsUnderEtc()
    {
        QCOMPARE(SettingsRegistry().path(), QStringLiteral("/etc/quilfen/registry.ini"));
    }

    void valuesOfEachForm_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("status");
        QTest::addColumn<uint>("kind");
        QTest::addColumn<QByteArray>("data");

        QTest::newRow("plain text") << QByteArray("PATH=/usr/bin/hardinfo") << 0 << 1u
                                    << QByteArray("/usr/bin/hardinfo\0", 18);
        QTest::newRow("blanks around name and text") << QByteArray("  PATH =  /usr/bin/x  ") << 0 << 1u
                                                     << QByteArray("/usr/bin/x\0", 11);
        QTest::newRow("quoted text keeps blanks") << QByteArray("PATH=\" a b \"") << 0 << 1u
                                                  << QByteArray(" a b \0", 6);
        QTest::newRow("quoted text that looks like a number") << QByteArray("PATH=\"dword:10\"") << 0 << 1u
                                                              << QByteArray("dword:10\0", 9);
        QTest::newRow("Japanese text") << QByteArray("PATH=/opt/情報") << 0 << 1u
                                       << QByteArray("/opt/情報") + QByteArray(1, '\0');
        QTest::newRow("empty text") << QByteArray("PATH=") << 0 << 1u << QByteArray(1, '\0');
        QTest::newRow("dword") << QByteArray("PATH=dword:0000001f") << 0 << 4u << QByteArray("\x1F\0\0\0", 4);
        QTest::newRow("dword in capitals") << QByteArray("PATH=DWORD:A0B0C0D0") << 0 << 4u << QByteArray("\xD0\xC0\xB0\xA0", 4);
        QTest::newRow("dword of nine digits is ignored") << QByteArray("PATH=dword:123456789") << 2 << 0u
                                                         << QByteArray();
        QTest::newRow("dword that is not hexadecimal is ignored") << QByteArray("PATH=dword:xyz") << 2 << 0u
                                                                  << QByteArray();
        QTest::newRow("raw bytes") << QByteArray("PATH=hex:01, ff,20") << 0 << 3u << QByteArray("\x01\xff\x20", 3);
        QTest::newRow("bad raw bytes are ignored") << QByteArray("PATH=hex:100") << 2 << 0u << QByteArray();
        QTest::newRow("value name in other letter case") << QByteArray("path=/bin/y") << 0 << 1u
                                                         << QByteArray("/bin/y\0", 7);
        QTest::newRow("commented out") << QByteArray("; PATH=/bin/z") << 2 << 0u << QByteArray();
        QTest::newRow("commented out with hash") << QByteArray("# PATH=/bin/z") << 2 << 0u << QByteArray();
        QTest::newRow("line without equals sign") << QByteArray("PATH /bin/z") << 2 << 0u << QByteArray();
        QTest::newRow("too large for the buffer") << "PATH=" + QByteArray(1024, 'q') << 234 << 1u << QByteArray();
    }
    void valuesOfEachForm()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, status);
        QFETCH(uint, kind);
        QFETCH(QByteArray, data);
        const QString path = writeSettings("[HKEY_LOCAL_MACHINE\\" + kKey.toUtf8() + "]\r\n" + line + "\r\n");
        QVERIFY(!path.isEmpty());
        SettingsRegistry settings(path);
        RecordingRegistry registry(settings);
        const Read read = readValue(registry, kKey, QStringLiteral("PATH"));
        QCOMPARE(read.status, status);
        if (status == kErrorSuccess || status == kErrorMoreData)
            QCOMPARE(read.kind, kind);
        QCOMPARE(read.data, data);
        QCOMPARE(registry.openHandleCount(), 0);
    }

    void keysAndSections_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("status");

        const QByteArray local = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]";
        QTest::newRow("the key itself") << local << kKey << 0;
        QTest::newRow("key in other letter case") << local << kKey.toLower() << 0;
        QTest::newRow("doubled and trailing separators") << local << QStringLiteral("SOFTWARE\\\\Microsoft\\Shared Tools\\MSINFO\\") << 0;
        QTest::newRow("parent key holds no such value")
            << local << QStringLiteral("SOFTWARE\\Microsoft") << 2;
        QTest::newRow("another key") << local << QStringLiteral("SOFTWARE\\Other") << 2;
        QTest::newRow("section of another root is ignored")
            << QByteArray("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]") << kKey << 2;
        QTest::newRow("blanks inside the brackets") << QByteArray("[ HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO ]") << kKey << 0;
    }
    void keysAndSections()
    {
        QFETCH(QByteArray, section);
        QFETCH(QString, key);
        QFETCH(int, status);
        const QString path = writeSettings("; the registry\n" + section + "\nPATH=/bin/true\n");
        SettingsRegistry registry(path);
        const Read read = readValue(registry, key, QStringLiteral("PATH"));
        QCOMPARE(read.status, status);
        if (status == kErrorSuccess)
            QCOMPARE(read.data, QByteArray("/bin/true\0", 10));
    }

    void valuesBelongToTheirOwnSection()
    {
        const QString path = writeSettings("PATH=/before/any/section\n"
                                           "[HKEY_LOCAL_MACHINE\\A]\nX=1\n"
                                           "[HKEY_LOCAL_MACHINE\\B]\nY=2\n");
        SettingsRegistry registry(path);
        QCOMPARE(readValue(registry, QStringLiteral("A"), QStringLiteral("X")).data, QByteArray("1\0", 2));
        QCOMPARE(readValue(registry, QStringLiteral("A"), QStringLiteral("Y")).status, kErrorFileNotFound);
        QCOMPARE(readValue(registry, QStringLiteral("B"), QStringLiteral("Y")).data, QByteArray("2\0", 2));
        QCOMPARE(readValue(registry, QString(), QStringLiteral("PATH")).status, kErrorFileNotFound);
    }

    void byteOrderMarkIsSkipped()
    {
        const QString path = writeSettings("\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\A]\nX=1\n");
        SettingsRegistry registry(path);
        QCOMPARE(readValue(registry, QStringLiteral("A"), QStringLiteral("X")).status, kErrorSuccess);
    }

    void missingFileHasNoKeys()
    {
        SettingsRegistry registry(m_folder.filePath(QStringLiteral("absent.ini")));
        QCOMPARE(readValue(registry, kKey, QStringLiteral("PATH")).status, kErrorFileNotFound);
    }

    void unreadableFileRefusesEveryOpen()
    {
        // A folder where the file should be cannot be read, whoever runs this.
        const QString path = m_folder.filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkpath(path));
        SettingsRegistry registry(path);
        QCOMPARE(readValue(registry, kKey, QStringLiteral("PATH")).status, kErrorAccessDenied);
    }

    // A settings file that is not what it seems: nothing under the name may
    // hang a key opening, fill the memory or take long to read. `status` is
    // what opening the key gives, kErrorAccessDenied meaning "refused".
    void hostileSettingsFiles_data()
    {
        QTest::addColumn<QString>("kind");  // file, pipe, zero (a link to /dev/zero), sparse
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("status");

        const QByteArray section = "[HKEY_LOCAL_MACHINE\\" + kKey.toUtf8() + "]\nPATH=/bin/true\n";
        auto deepKey = [](int parts, int nameLength) {
            QByteArray key = "SOFTWARE";
            for (int k = 1; k < parts; ++k)
                key += "\\" + QByteArray(nameLength, 'k');
            return key;
        };
        auto sectionOf = [](const QByteArray& key) { return "[HKEY_LOCAL_MACHINE\\" + key + "]\nPATH=/bin/true\n"; };

        QTest::newRow("a named pipe that nobody writes") << "pipe" << QByteArray() << kKey << kErrorAccessDenied;
        QTest::newRow("a link to /dev/zero") << "zero" << QByteArray() << kKey << kErrorAccessDenied;
        QTest::newRow("a gigabyte of NUL bytes") << "sparse" << QByteArray() << kKey << kErrorAccessDenied;
        QTest::newRow("a section after 1 MiB of line breaks, over the limit")
            << "file" << QByteArray(1 << 20, '\n') + section << kKey << kErrorAccessDenied;
        QTest::newRow("a section at the end of exactly 1 MiB")
            << "file" << QByteArray((1 << 20) - section.size(), '\n') + section << kKey << kErrorSuccess;
        QTest::newRow("a key 512 deep") << "file" << sectionOf(deepKey(512, 1)) << QString::fromLatin1(deepKey(512, 1))
                                        << kErrorSuccess;
        QTest::newRow("a key 513 deep is ignored")
            << "file" << sectionOf(deepKey(513, 1)) << QString::fromLatin1(deepKey(513, 1)) << kErrorFileNotFound;
        QTest::newRow("a key path of 10,000 parts is ignored")
            << "file" << sectionOf(deepKey(10000, 1)) << QString::fromLatin1(deepKey(10000, 1)) << kErrorFileNotFound;
        QTest::newRow("a key path of 10,000 parts makes no parent key")
            << "file" << sectionOf(deepKey(10000, 1)) << QStringLiteral("SOFTWARE\\k") << kErrorFileNotFound;
        QTest::newRow("a key name of 255 characters")
            << "file" << sectionOf(deepKey(2, 255)) << QString::fromLatin1(deepKey(2, 255)) << kErrorSuccess;
        QTest::newRow("a key name of 256 characters is ignored")
            << "file" << sectionOf(deepKey(2, 256)) << QString::fromLatin1(deepKey(2, 256)) << kErrorFileNotFound;
        QTest::newRow("a parent of a key 512 deep opens")
            << "file" << sectionOf(deepKey(512, 1)) << QString::fromLatin1(deepKey(300, 1)) << kErrorSuccess;
        // Each value under a section of 511 long names: read once per header,
        // the file takes no longer than its length says.
        QTest::newRow("200,000 values under a deep section")
            << "file" << sectionOf(deepKey(400, 2)) + QByteArray("v=1\n").repeated(200000)
            << QString::fromLatin1(deepKey(400, 2)) << kErrorSuccess;
    }
    void hostileSettingsFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(int, status);
        const QString path = m_folder.filePath(QStringLiteral("hostile.ini"));
        QFile::remove(path);
        if (kind == QLatin1String("pipe")) {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        } else {
            QVERIFY(writeFile(path, content));
            if (kind == QLatin1String("sparse"))
                QVERIFY(QFile(path).resize(qint64(1) << 30));
        }
        SettingsRegistry settings(path);
        RecordingRegistry registry(settings);
        RegistryKey handle = 0;
        QCOMPARE(registry.openKey(kHkeyLocalMachine, key, 0, kReadControl | 0x3F, &handle), status);
        if (status == kErrorSuccess)
            QCOMPARE(registry.closeKey(handle), kErrorSuccess);
        QCOMPARE(registry.openHandleCount(), 0);
        QFile::remove(path);
    }

    void editsTakeEffectAtTheNextOpen()
    {
        const QString path = writeSettings("[HKEY_LOCAL_MACHINE\\A]\nX=old\n");
        SettingsRegistry registry(path);
        RegistryKey held = 0;
        QCOMPARE(registry.openKey(kHkeyLocalMachine, QStringLiteral("A"), 0, kKeyQueryValue, &held), kErrorSuccess);
        writeSettings("[HKEY_LOCAL_MACHINE\\A]\nX=new\n");
        QCOMPARE(readValue(registry, QStringLiteral("A"), QStringLiteral("X")).data, QByteArray("new\0", 4));

        // A key opened before the edit keeps what it saw.
        std::array<unsigned char, 16> buffer{};
        std::uint32_t size = 16;
        std::uint32_t kind = 0;
        QCOMPARE(registry.queryValue(held, QStringLiteral("X"), &kind, buffer.data(), &size), kErrorSuccess);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data()), size), QByteArray("old\0", 4));
        QCOMPARE(registry.closeKey(held), kErrorSuccess);
        QCOMPARE(registry.closeKey(held), kErrorInvalidHandle);
    }

    void scriptedRegistryHonoursGrantedRights_data()
    {
        QTest::addColumn<uint>("granted");
        QTest::addColumn<uint>("asked");
        QTest::addColumn<int>("status");
        const uint read = kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
        QTest::newRow("read asked, read granted") << read << uint(kKeyQueryValue) << 0;
        QTest::newRow("read and write asked, read granted") << read << (kReadControl | 0x3Fu) << 5;
        QTest::newRow("read and write asked, all granted") << 0xFFFFFFFFu << (kReadControl | 0x3Fu) << 0;
    }
    void scriptedRegistryHonoursGrantedRights()
    {
        QFETCH(uint, granted);
        QFETCH(uint, asked);
        QFETCH(int, status);
        ScriptedRegistry memory;
        memory.setValue(QStringLiteral("A"), QStringLiteral("X"), textValue(QStringLiteral("1")));
        memory.setGrantedAccess(QStringLiteral("A"), granted);
        RecordingRegistry registry(memory);
        RegistryKey key = 0;
        QCOMPARE(registry.openKey(kHkeyLocalMachine, QStringLiteral("A"), 0, asked, &key), status);
        QCOMPARE(registry.openHandleCount(), status == 0 ? 1 : 0);
        QCOMPARE(registry.opens.back().access, asked);
    }

    void scriptedRegistryRejectsUnknownHandles()
    {
        ScriptedRegistry memory;
        memory.addKey(QStringLiteral("A\\B"));
        RecordingRegistry registry(memory);
        RegistryKey key = 0;
        QCOMPARE(registry.openKey(0x1234, QStringLiteral("A"), 0, kKeyQueryValue, &key), kErrorInvalidHandle);
        std::uint32_t size = 0;
        QCOMPARE(registry.queryValue(0x1234, QStringLiteral("X"), nullptr, nullptr, &size), kErrorInvalidHandle);

        // A subkey opened relative to an opened key.
        RegistryKey parent = 0;
        QCOMPARE(registry.openKey(kHkeyLocalMachine, QStringLiteral("A"), 0, kKeyQueryValue, &parent), kErrorSuccess);
        QCOMPARE(registry.openKey(parent, QStringLiteral("B"), 0, kKeyQueryValue, &key), kErrorSuccess);
        QCOMPARE(registry.opens.back().key, QStringLiteral("A\\B"));
    }
};

QTEST_MAIN(TestSettingsRegistry)
#include "test_settings_registry.moc"
