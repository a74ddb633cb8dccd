// The palette table file reader: what loads, what is refused, and what the
// table holds afterwards. Files are written into a temporary folder; the
// expected table is computed from the pattern the test writes, never from
// the reader.

#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "platform/files/regular_file.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

#include <sys/stat.h>

using namespace quilfen;
using namespace quilfen::test;

Q_DECLARE_METATYPE(quilfen::PaletteReadResult)

namespace {

constexpr int kValues = 3 * kPaletteEntries;  // 3,075
constexpr std::int16_t kUntouched = -777;     // never written by any test file

// Value number n (0 … 3074) of the test pattern: varied, all within 0 … 255.
int patternValue(int n)
{
    return (n * 37 + n / 3) % 256;
}

QList<int> patternValues()
{
    QList<int> values;
    for (int n = 0; n < kValues; ++n)
        values.append(patternValue(n));
    return values;
}

// Value tokens laid out three to a line after the header.
QByteArray layout(const QList<QByteArray>& tokens, const QByteArray& header = "Quilfen Palette Table File",
                  const QByteArray& lineEnd = "\r\n", const QByteArray& comma = ",")
{
    QByteArray text = header + lineEnd;
    for (int n = 0; n < tokens.size(); ++n) {
        text += tokens[n];
        text += (n % 3 == 2) ? lineEnd : comma;
    }
    return text;
}

QList<QByteArray> patternTokens(int count = kValues)
{
    QList<QByteArray> tokens;
    for (int n = 0; n < count; ++n)
        tokens.append(QByteArray::number(patternValue(n)));
    return tokens;
}

// The pattern's tokens with value n replaced.
QList<QByteArray> tokensWith(int n, const QByteArray& token)
{
    QList<QByteArray> tokens = patternTokens();
    tokens[n] = token;
    return tokens;
}

QByteArray canonical()
{
    return layout(patternTokens());
}

void fillUntouched(PaletteTable& table)
{
    for (auto& entry : table)
        entry.fill(kUntouched);
}

int valueAt(const PaletteTable& table, int n)
{
    return table[static_cast<std::size_t>(n / 3)][static_cast<std::size_t>(n % 3)];
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

}  // namespace

class TestPaletteReader : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // A new file holding these bytes.
    QString fileWith(const QByteArray& bytes)
    {
        static int counter = 0;
        const QString path = m_dir.filePath(QStringLiteral("p%1.qpl").arg(++counter));
        if (!writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init() { resetEngineState(); }
    void cleanup() { resetEngineState(); }

    void loads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("values");
        const QList<int> pattern = patternValues();
        const QList<QByteArray> tokens = patternTokens();

        QTest::newRow("canonical, CR LF") << canonical() << pattern;
        QTest::newRow("LF line ends") << layout(tokens, "Quilfen Palette Table File", "\n") << pattern;
        QTest::newRow("CR line ends") << layout(tokens, "Quilfen Palette Table File", "\r") << pattern;
        {
            QByteArray mixed = "Quilfen Palette Table File\n";
            for (int n = 0; n < kValues; ++n) {
                static const char* const ends[] = {"\r\n", "\n", "\r"};
                mixed += tokens[n] + ((n % 3 == 2) ? QByteArray(ends[(n / 3) % 3]) : QByteArray(","));
            }
            QTest::newRow("mixed line ends") << mixed << pattern;
        }
        QTest::newRow("byte-order mark before the header") << "\xEF\xBB\xBF" + canonical() << pattern;
        QTest::newRow("byte-order mark before a quoted header")
            << "\xEF\xBB\xBF" + layout(tokens, "\"Quilfen Palette Table File\"") << pattern;
        QTest::newRow("header in double quotes") << layout(tokens, "\"Quilfen Palette Table File\"") << pattern;
        QTest::newRow("blanks and tabs around the header")
            << layout(tokens, " \t Quilfen Palette Table File\t  ") << pattern;
        QTest::newRow("blanks around the quoted header")
            << layout(tokens, "  \"Quilfen Palette Table File\" \t") << pattern;
        QTest::newRow("header ended by a comma, values follow on its line")
            << "Quilfen Palette Table File," + layout(tokens, "", "\r\n").mid(2) << pattern;
        {
            QList<QByteArray> padded;
            for (const QByteArray& t : tokens)
                padded.append(" \t" + t + "\t ");
            QTest::newRow("blanks and tabs around every value") << layout(padded) << pattern;
        }
        {
            QList<QByteArray> quoted;
            for (const QByteArray& t : tokens)
                quoted.append('"' + t + '"');
            QTest::newRow("every value in double quotes") << layout(quoted) << pattern;
            QList<QByteArray> quotedPadded;
            for (const QByteArray& t : tokens)
                quotedPadded.append(" \"" + t + "\"\t");
            QTest::newRow("quoted values with blanks outside the quotes") << layout(quotedPadded) << pattern;
        }
        {
            QByteArray pairs = "Quilfen Palette Table File\r\n";
            for (int n = 0; n < kValues; ++n)
                pairs += tokens[n] + ((n % 6 == 5) ? "\r\n" : ",");
            QTest::newRow("two records on one line") << pairs << pattern;
        }
        {
            QByteArray split = "Quilfen Palette Table File\r\n";
            for (int n = 0; n < kValues; ++n)
                split += tokens[n] + ((n % 3 == 1 || n % 3 == 2) ? "\r\n" : ",");
            QTest::newRow("record split over two lines") << split << pattern;
        }
        QTest::newRow("all values on one line")
            << "Quilfen Palette Table File\r\n" + tokens.join(',') << pattern;
        QTest::newRow("blank lines between records")
            << layout(tokens, "Quilfen Palette Table File", "\r\n\r\n  \r\n") << pattern;
        QTest::newRow("comma at each line end")
            << layout(tokens, "Quilfen Palette Table File", ",\r\n") << pattern;
        QTest::newRow("last value without a line break") << canonical().chopped(2) << pattern;
        QTest::newRow("a 1026th record is ignored") << canonical() + "1,2,3\r\n" << pattern;
        QTest::newRow("anything after the last value is ignored")
            << canonical().chopped(2) + ",x,,\"unclosed\x01\r\n\xFF" << pattern;
        QTest::newRow("text right after the last value's comma is ignored")
            << "Quilfen Palette Table File\r\n" + tokens.join(',') + ",1.5e9 junk" << pattern;
        {
            QList<int> values = pattern;
            QList<QByteArray> wide = tokens;
            const int spots[] = {0, 1, 2, 3, 1000, 3074};
            const int numbers[] = {300, -5, -32768, 32767, 0, 256};
            for (int s = 0; s < 6; ++s) {
                values[spots[s]] = numbers[s];
                wide[spots[s]] = QByteArray::number(numbers[s]);
            }
            QTest::newRow("values outside 0 … 255 within 16 bits stored unchanged") << layout(wide) << values;
        }
        {
            QList<int> values = pattern;
            QList<QByteArray> written = tokens;
            written[0] = "+12";
            values[0] = 12;
            written[1] = "007";
            values[1] = 7;
            written[2] = "-0";
            values[2] = 0;
            written[3] = "000000000000000000000000000000000000000032767";
            values[3] = 32767;
            written[4] = "\"-32768\"";
            values[4] = -32768;
            QTest::newRow("signs and leading zeros") << layout(written) << values;
        }
    }

    void loads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, values);
        PaletteTable table;
        fillUntouched(table);
        QCOMPARE(ReadPaletteFile(fileWith(bytes).toStdString(), table), PaletteReadResult::Loaded);
        for (int n = 0; n < kValues; ++n) {
            if (valueAt(table, n) != values[n])
                QFAIL(qPrintable(QStringLiteral("value %1 is %2, expected %3").arg(n).arg(valueAt(table, n)).arg(values[n])));
        }
    }

    void broken_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("storedBefore");  // values of the pattern in place before the failure

        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF") << 0;
        QTest::newRow("only blanks and tabs") << QByteArray("  \t ") << 0;
        QTest::newRow("header only") << QByteArray("Quilfen Palette Table File") << 0;
        QTest::newRow("header line only") << QByteArray("Quilfen Palette Table File\r\n") << 0;
        QTest::newRow("header and blank lines") << QByteArray("Quilfen Palette Table File\r\n\r\n\n\r  \r\n") << 0;
        QTest::newRow("3074 values") << layout(patternTokens(3074)) << 3074;
        QTest::newRow("1024 records") << layout(patternTokens(3072)) << 3072;
        QTest::newRow("ends within a record") << layout(patternTokens(301)).chopped(1) << 301;
        QTest::newRow("ends after a comma") << layout(patternTokens(302)) << 302;
        QTest::newRow("40000 at value 7") << layout(tokensWith(6, "40000")) << 6;
        QTest::newRow("32768 at value 1") << layout(tokensWith(0, "32768")) << 0;
        QTest::newRow("-32769 at the last value") << layout(tokensWith(3074, "-32769")) << 3074;
        QTest::newRow("a huge number") << layout(tokensWith(10, "99999999999999999999999")) << 10;
        QTest::newRow("fraction 1.5") << layout(tokensWith(4, "1.5")) << 4;
        QTest::newRow("fraction 1.0") << layout(tokensWith(4, "1.0")) << 4;
        QTest::newRow("trailing point 1.") << layout(tokensWith(4, "1.")) << 4;
        QTest::newRow("leading point .5") << layout(tokensWith(4, ".5")) << 4;
        QTest::newRow("exponent 1e2") << layout(tokensWith(8, "1e2")) << 8;
        QTest::newRow("hexadecimal 0x10") << layout(tokensWith(8, "0x10")) << 8;
        QTest::newRow("a word") << layout(tokensWith(100, "red")) << 100;
        QTest::newRow("digits then a letter") << layout(tokensWith(100, "12a")) << 100;
        QTest::newRow("sign only") << layout(tokensWith(5, "-")) << 5;
        QTest::newRow("two signs") << layout(tokensWith(5, "--5")) << 5;
        QTest::newRow("blank inside a number") << layout(tokensWith(5, "1 2")) << 5;
        QTest::newRow("empty value between commas") << layout(tokensWith(4, "")) << 4;
        QTest::newRow("empty first value") << layout(tokensWith(0, "")) << 0;
        QTest::newRow("empty quoted value") << layout(tokensWith(5, "\"\"")) << 5;
        QTest::newRow("blanks inside the quotes") << layout(tokensWith(5, "\" 12\"")) << 5;
        QTest::newRow("text after the closing quote") << layout(tokensWith(5, "\"12\"3")) << 5;
        QTest::newRow("quote inside an unquoted value") << layout(tokensWith(5, "1\"2\"")) << 5;
        QTest::newRow("unclosed quote") << layout(tokensWith(5, "\"12")) << 5;
        QTest::newRow("unclosed quote at the end of the file") << layout(patternTokens(9)) + "\"12" << 9;
        QTest::newRow("NUL byte in a value") << layout(tokensWith(2, QByteArray("1\0", 2))) << 2;
        QTest::newRow("vertical tab is not a blank") << layout(tokensWith(2, "\v1")) << 2;
        QTest::newRow("value longer than any field may be")
            << layout(tokensWith(20, QByteArray(5000, ' ') + "1")) << 20;
        QTest::newRow("line breaks before a value longer than any field may be")
            << layout(tokensWith(20, QByteArray(5000, '\n') + "1")) << 20;
        QTest::newRow("unclosed quote running over the field limit")
            << layout(patternTokens(3)) + "\"" + QByteArray(10000, '7') << 3;
        QTest::newRow("unclosed quote around the header")
            << layout(patternTokens(), "\"Quilfen Palette Table File") << 0;
    }

    void broken()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, storedBefore);
        PaletteTable table;
        fillUntouched(table);
        QCOMPARE(ReadPaletteFile(fileWith(bytes).toStdString(), table), PaletteReadResult::Broken);
        for (int n = 0; n < kValues; ++n) {
            const int expected = n < storedBefore ? patternValue(n) : kUntouched;
            if (valueAt(table, n) != expected)
                QFAIL(qPrintable(QStringLiteral("value %1 is %2, expected %3").arg(n).arg(valueAt(table, n)).arg(expected)));
        }
    }

    void notPalette_data()
    {
        QTest::addColumn<QByteArray>("header");
        // Each header is followed by a complete table, so a wrong acceptance shows.
        QTest::newRow("lower case") << QByteArray("quilfen palette table file");
        QTest::newRow("upper case") << QByteArray("QUILFEN PALETTE TABLE FILE");
        QTest::newRow("one letter in another case") << QByteArray("Quilfen Palette table File");
        QTest::newRow("further words") << QByteArray("Quilfen Palette Table File v2");
        QTest::newRow("further words after the closing quote") << QByteArray("\"Quilfen Palette Table File\" v2");
        QTest::newRow("blanks inside the quotes") << QByteArray("\" Quilfen Palette Table File\"");
        QTest::newRow("header cut short") << QByteArray("Quilfen Palette Table");
        QTest::newRow("two blanks between words") << QByteArray("Quilfen  Palette Table File");
        QTest::newRow("semicolon after the header") << QByteArray("Quilfen Palette Table File;");
        QTest::newRow("empty first line") << QByteArray("\r\nQuilfen Palette Table File");
        QTest::newRow("empty first field") << QByteArray(",Quilfen Palette Table File");
        QTest::newRow("byte-order mark twice") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFQuilfen Palette Table File");
        QTest::newRow("UTF-16 byte-order mark") << QByteArray("\xFF\xFEQuilfen Palette Table File");
        QTest::newRow("byte-order mark after a blank") << QByteArray(" \xEF\xBB\xBFQuilfen Palette Table File");
        QTest::newRow("a number") << QByteArray("0,0,0");
        QTest::newRow("NUL in the header") << QByteArray("Quilfen Palette\0Table File", 26);
        QTest::newRow("bitmap file signature") << QByteArray("BM\x36\x10\x0e\x00");
        // A first line longer than any field may be is no header either.
        QTest::newRow("first line longer than any field may be") << QByteArray(100000, 'x');
        QTest::newRow("header followed by a long run of blanks")
            << QByteArray("Quilfen Palette Table File") + QByteArray(5000, ' ');
        QTest::newRow("quoted first field longer than any field may be")
            << "\"" + QByteArray(5000, 'x') + "\"";
        QByteArray picture("BM");
        for (int k = 0; picture.size() < 20000; ++k) {
            const char byte = static_cast<char>(k % 256);
            if (byte != '\r' && byte != '\n' && byte != ',')
                picture.append(byte);
        }
        QTest::newRow("a picture whose first line break is 20 KB in") << picture;
    }

    void notPalette()
    {
        QFETCH(QByteArray, header);
        PaletteTable table;
        fillUntouched(table);
        QCOMPARE(ReadPaletteFile(fileWith(layout(patternTokens(), header)).toStdString(), table),
                 PaletteReadResult::NotPalette);
        for (int n = 0; n < kValues; ++n)
            QCOMPARE(valueAt(table, n), int(kUntouched));
    }

    void openFailed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("no such file.qpl"));
        QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("nowhere/default.qpl"));
        QTest::newRow("a folder") << m_dir.path();
        QTest::newRow("empty path") << QString();
        // Not regular files: a pipe would keep the read waiting for a writer
        // for ever, a device would never end.
        const QString pipe = m_dir.filePath(QStringLiteral("pipe.qpl"));
        if (!QFileInfo::exists(pipe) && ::mkfifo(QFile::encodeName(pipe).constData(), 0600) != 0)
            qFatal("cannot make a named pipe");
        QTest::newRow("a named pipe without a writer") << pipe;
        QTest::newRow("a device without end") << QStringLiteral("/dev/zero");
        const QString zeroLink = m_dir.filePath(QStringLiteral("zero.qpl"));
        if (!QFileInfo(zeroLink).isSymLink() && !QFile::link(QStringLiteral("/dev/zero"), zeroLink))
            qFatal("cannot make a link");
        QTest::newRow("a link to a device without end") << zeroLink;
    }

    // The shared reader of files someone else put in place (the palette
    // reader's open, the preview picture, the settings file).
    void readRegularFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");  // written to path when not empty
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("status");  // FileReadStatus
        QTest::addColumn<int>("errorNumber");
        const int read = int(FileReadStatus::Read);
        const int openFailed = int(FileReadStatus::OpenFailed);
        const int tooLarge = int(FileReadStatus::TooLarge);
        const QString file = m_dir.filePath(QStringLiteral("some.bin"));
        const QByteArray big(100000, 'x');
        QTest::newRow("a file within the limit") << file << big << 100000 << read << 0;
        QTest::newRow("a file one byte over the limit") << file << big << 99999 << tooLarge << 0;
        QTest::newRow("a missing file") << m_dir.filePath(QStringLiteral("absent")) << QByteArray() << 10 << openFailed
                                        << ENOENT;
        QTest::newRow("a folder") << m_dir.path() << QByteArray() << 10 << openFailed << EINVAL;
        QTest::newRow("a named pipe") << m_dir.filePath(QStringLiteral("pipe.qpl")) << QByteArray() << 10 << openFailed
                                      << EINVAL;
        QTest::newRow("a link to /dev/zero") << m_dir.filePath(QStringLiteral("zero.qpl")) << QByteArray() << 10
                                             << openFailed << EINVAL;
    }
    void readRegularFile()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(int, limit);
        QFETCH(int, status);
        QFETCH(int, errorNumber);
        if (!content.isEmpty())
            QVERIFY(writeFile(path, content));
        const QString pipe = m_dir.filePath(QStringLiteral("pipe.qpl"));
        if (!QFileInfo::exists(pipe))
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString zeroLink = m_dir.filePath(QStringLiteral("zero.qpl"));
        if (!QFileInfo(zeroLink).isSymLink())
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zeroLink));

        const FileContent got = quilfen::readRegularFile(QFile::encodeName(path).toStdString(),
                                                         static_cast<std::size_t>(limit));
        QCOMPARE(int(got.status), status);
        QCOMPARE(got.errorNumber, errorNumber);
        QCOMPARE(QByteArray::fromStdString(got.bytes), status == int(FileReadStatus::Read) ? content : QByteArray());
    }

    void openFailed()
    {
        QFETCH(QString, path);
        PaletteTable table;
        fillUntouched(table);
        QCOMPARE(ReadPaletteFile(path.toStdString(), table), PaletteReadResult::OpenFailed);
        for (int n = 0; n < kValues; ++n)
            QCOMPARE(valueAt(table, n), int(kUntouched));
    }

    void closesTheFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quilfen::PaletteReadResult>("expected");
        QTest::newRow("loaded") << canonical() << PaletteReadResult::Loaded;
        QTest::newRow("broken") << layout(patternTokens(30)) << PaletteReadResult::Broken;
        QTest::newRow("not a palette") << layout(patternTokens(), "Other") << PaletteReadResult::NotPalette;
    }

    void closesTheFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quilfen::PaletteReadResult, expected);
        const QString path = fileWith(bytes);
        PaletteTable table{};
        const int before = openDescriptors();
        for (int round = 0; round < 20; ++round)
            QCOMPARE(ReadPaletteFile(path.toStdString(), table), expected);
        QCOMPARE(openDescriptors(), before);
    }

    // A file far larger than any palette: refused or loaded after reading
    // only its beginning. The files are sparse, so they cost no disk space.
    void gigabyteFiles_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<quilfen::PaletteReadResult>("expected");
        QTest::newRow("a gigabyte of NUL bytes, no line break") << QByteArray() << PaletteReadResult::NotPalette;
        QTest::newRow("header line, then a gigabyte without a line break")
            << QByteArray("Quilfen Palette Table File\r\n") << PaletteReadResult::Broken;
        QTest::newRow("a good table followed by a gigabyte") << canonical() << PaletteReadResult::Loaded;
    }

    void gigabyteFiles()
    {
        QFETCH(QByteArray, start);
        QFETCH(quilfen::PaletteReadResult, expected);
        const QString path = fileWith(start);
        QFile file(path);
        QVERIFY(file.resize(qint64(1) << 30));
        PaletteTable table;
        fillUntouched(table);
        QCOMPARE(ReadPaletteFile(path.toStdString(), table), expected);
        if (expected == PaletteReadResult::Loaded)
            QCOMPARE(valueAt(table, kValues - 1), patternValue(kValues - 1));
        else
            QCOMPARE(valueAt(table, 0), int(kUntouched));
        QVERIFY(file.remove());
    }

    void engineTableOverload()
    {
        PalTable[1024][2] = kUntouched;
        QCOMPARE(ReadPaletteFile(fileWith(canonical()).toStdString()), PaletteReadResult::Loaded);
        for (int n = 0; n < kValues; ++n)
            QCOMPARE(valueAt(PalTable, n), patternValue(n));
    }

    void brokenReadLeavesEarlierValuesInEngineTable()
    {
        QCOMPARE(ReadPaletteFile(fileWith(canonical()).toStdString()), PaletteReadResult::Loaded);
        QList<QByteArray> second;
        for (int n = 0; n < 9; ++n)
            second.append(QByteArray::number(255 - patternValue(n)));
        second.append("oops");
        QCOMPARE(ReadPaletteFile(fileWith(layout(second)).toStdString()), PaletteReadResult::Broken);
        for (int n = 0; n < kValues; ++n)
            QCOMPARE(valueAt(PalTable, n), n < 9 ? 255 - patternValue(n) : patternValue(n));
    }
};

QTEST_GUILESS_MAIN(TestPaletteReader)
#include "test_palette_reader.moc"
