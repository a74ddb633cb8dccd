// quilfen-cli bench, render and grid, run as a separate process the way a user
// runs them.

#include "bench/benchmark_figures.h"
#include "bench/build_record.h"
#include "bench/instruction_set_name.h"
#include "engine/escape_time.h"
#include "engine/escape_time_scalar.h"
#include "engine/escape_time_simd.h"
#include "palette/palette_reader.h"
#include "platform/picture_box.h"
#include "tests/support/test_files.h"
#include "tests/support/window_fixture.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <hwy/highway.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quilfen;
using namespace quilfen::test;

namespace {

struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString binFolder()
{
    return QCoreApplication::applicationDirPath();
}

// program run with arguments; environment: settings "NAME=value" over the
// test's own environment; "NAME=" removes NAME.
Outcome run(const QString& program, const QStringList& arguments, const QString& workingDirectory = {},
            const QStringList& environment = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : environment) {
        const qsizetype equals = setting.indexOf('=');
        if (equals + 1 == setting.size())
            variables.remove(setting.left(equals));
        else
            variables.insert(setting.left(equals), setting.mid(equals + 1));
    }
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

Outcome runCli(const QStringList& arguments, const QString& workingDirectory = {},
               const QStringList& environment = {})
{
    return run(binFolder() + QStringLiteral("/quilfen-cli"), arguments, workingDirectory, environment);
}

// quilfen-cli run by the shell: script is run with $0 the program and "$@"
// the arguments, for redirections, limits and names that are not UTF-8.
Outcome runCliInShell(const QString& script, const QStringList& arguments)
{
    return run(QStringLiteral("/bin/sh"),
               QStringList{QStringLiteral("-c"), script, binFolder() + QStringLiteral("/quilfen-cli")} + arguments);
}

QStringList renderArguments(double re, double im, double range, int maxIter, const QString& out)
{
    return {QStringLiteral("render"),
            QStringLiteral("--centre-re"), QString::number(re, 'g', 17),
            QStringLiteral("--centre-im"), QString::number(im, 'g', 17),
            QStringLiteral("--range"),     QString::number(range, 'g', 17),
            QStringLiteral("--max-iter"),  QString::number(maxIter),
            QStringLiteral("--out"),       out};
}

// The cells of a row of compare's table, after its label: cells are apart by
// two blanks or more.
QStringList compareCells(const QByteArray& table, const QString& label)
{
    for (const QString& line : QString::fromUtf8(table).split('\n'))
        if (line.startsWith(label + QStringLiteral("  ")))
            return line.mid(label.size()).trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}")));
    return {};
}

// Whether the engine in this build computes the benchmark region exactly as
// the scalar reference does.
bool engineMatchesReference()
{
    auto fast = std::make_unique<IterGrid>();
    auto reference = std::make_unique<IterGrid>();
    computeIterMap(CalcCondition{-0.15, 0.8, 0.4}, 200, 500, *fast);
    computeIterMapScalar(CalcCondition{-0.15, 0.8, 0.4}, 200, 500, *reference);
    return *fast == *reference;
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

    WindowFixture<> m_fx;

    // The main window's picture after drawing the region with the palette.
    QImage windowPicture(double re, double im, double range, int maxIter, const QString& palette)
    {
        if (!palette.isEmpty() &&
            ReadPaletteFile(palette.toStdString()) != PaletteReadResult::Loaded)
            return {};
        HalfSize = 200;
        CalcCond = {re, im, range};
        MaxIter = maxIter;
        CalcMandel();
        DrawMandel();
        return m_fx.window->Picture1->image().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init()
    {
        m_fx.start(false);
        QVERIFY(m_fx.window->Form_Load());
    }
    void cleanup() { m_fx.stop(); }

    void badArgumentsGiveStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");  // what stderr says after "quilfen-cli: "
        QTest::newRow("no command") << QStringList{} << QByteArray("missing command");
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << QByteArray("unknown command 'frobnicate'");
        QTest::newRow("bench: zero runs") << QStringList{"bench", "--runs", "0"}
                                          << QByteArray("option --runs: '0' is outside the range from 1 to 100000");
        QTest::newRow("bench: runs not a number") << QStringList{"bench", "--runs", "many"}
                                                  << QByteArray("option --runs: 'many' is not a whole number");
        QTest::newRow("bench: runs without a value") << QStringList{"bench", "--runs"}
                                                     << QByteArray("option --runs needs a value");
        QTest::newRow("bench: zero threads") << QStringList{"bench", "--threads", "0"}
                                             << QByteArray("option --threads: '0' is outside the range");
        QTest::newRow("bench: negative threads") << QStringList{"bench", "--threads", "-2"}
                                                 << QByteArray("option --threads: '-2' is outside the range");
        QTest::newRow("bench: more threads than the engine runs")
            << QStringList{"bench", "--threads", "65"} << QByteArray("option --threads: '65' is outside the range");
        QTest::newRow("bench: json and a stray argument") << QStringList{"bench", "--json", "extra"}
                                                          << QByteArray("unexpected argument 'extra'");
        QTest::newRow("bench: json with a value") << QStringList{"bench", "--json=yes"}
                                                  << QByteArray("option --json takes no value");
        QTest::newRow("bench: unknown option") << QStringList{"bench", "--fast"} << QByteArray("unknown option --fast");
        QTest::newRow("bench: stray argument") << QStringList{"bench", "4"} << QByteArray("unexpected argument '4'");
        QTest::newRow("bench: strict with a value") << QStringList{"bench", "--strict=yes"}
                                                    << QByteArray("option --strict takes no value");
        QTest::newRow("compare: one result") << QStringList{"compare", "a.json"}
                                             << QByteArray("compare needs two or more results of bench --json");
        QTest::newRow("compare: an option") << QStringList{"compare", "--json", "a.json", "b.json"}
                                            << QByteArray("compare takes no option: '--json'");
        QTest::newRow("render: --from with a region option")
            << QStringList{"render", "--from", "a.png", "--range", "1", "--out", "x.png"}
            << QByteArray("--from takes the region from the picture: --range cannot be given with it");
        QTest::newRow("render: --from without a picture") << QStringList{"render", "--from", "--out", "x.png"}
                                                          << QByteArray("option --from needs a value");
        QTest::newRow("render: nothing") << QStringList{"render"} << QByteArray("missing option --centre-re");
        // A command with a whole region, then what follows it.
        const auto withRegion = [](const char* command, const char* centreRe, const char* range,
                                   const char* maxIter, QStringList rest) {
            return QStringList{command, "--centre-re", centreRe, "--centre-im", "0", "--range", range,
                               "--max-iter", maxIter} +
                   rest;
        };
        const QStringList out{"--out", "x.bmp"};
        const QByteArray outside("is outside the range");
        QTest::newRow("render: no output") << withRegion("render", "0", "1", "5", {})
                                           << QByteArray("missing option --out");
        QTest::newRow("render: centre not a number") << withRegion("render", "abc", "1", "5", out)
                                                     << QByteArray("option --centre-re: 'abc' is not a number");
        QTest::newRow("render: infinite range") << withRegion("render", "0", "inf", "5", out)
                                                << QByteArray("option --range: 'inf' is infinite");
        QTest::newRow("render: limit 0") << withRegion("render", "0", "1", "0", out)
                                         << QByteArray("option --max-iter: '0' ") + outside;
        QTest::newRow("render: size 0") << withRegion("render", "0", "1", "5", out + QStringList{"--size", "0"})
                                        << QByteArray("option --size: '0' ") + outside;
        QTest::newRow("render: size above the cap")
            << withRegion("render", "0", "1", "5", out + QStringList{"--size", "16385"})
            << QByteArray("option --size: '16385' is outside the range from 1 to 16384");
        QTest::newRow("render: size not a number")
            << withRegion("render", "0", "1", "5", out + QStringList{"--size", "big"})
            << QByteArray("option --size: 'big' is not a whole number");
        QTest::newRow("render: palette without a file")
            << withRegion("render", "0", "1", "5", out + QStringList{"--palette"})
            << QByteArray("option --palette needs a value");
        QTest::newRow("render: option twice")
            << withRegion("render", "0", "1", "5", out + QStringList{"--centre-re", "0"})
            << QByteArray("option --centre-re given twice");
        QTest::newRow("render: a name ending in .jpg")
            << withRegion("render", "0", "1", "5", {"--out", "x.jpg"})
            << QByteArray("option --out: 'x.jpg' ends neither in .bmp nor in .png");
        QTest::newRow("render: a name without an ending")
            << withRegion("render", "0", "1", "5", {"--out", "picture"})
            << QByteArray("option --out: 'picture' ends neither in .bmp nor in .png");
        QTest::newRow("render: an empty name") << withRegion("render", "0", "1", "5", {"--out", ""})
                                               << QByteArray("--out is empty: give a file name");
        QTest::newRow("render: format jpg") << withRegion("render", "0", "1", "5", out + QStringList{"--format", "jpg"})
                                            << QByteArray("option --format: 'jpg' is neither bmp nor png");
        // Characters, not bytes: a cut after 40 bytes would keep 20 of them.
        const QString longName = QString(41, QChar(0xE9)) + QString(99955, QLatin1Char('x')) + QStringLiteral(".jpg");
        QTest::newRow("render: a 100,000-character name, quoted to its first 40 characters")
            << withRegion("render", "0", "1", "5", {"--out", longName})
            << "option --out: '" + QString(40, QChar(0xE9)).toUtf8() + "\xE2\x80\xA6' ends neither";
        QTest::newRow("grid: nothing") << QStringList{"grid"} << QByteArray("missing option --centre-re");
        QTest::newRow("grid: limit above the cap") << withRegion("grid", "0", "1", "1000001", {})
                                                   << QByteArray("option --max-iter: '1000001' ") + outside;
        QTest::newRow("grid: unknown option") << withRegion("grid", "0", "1", "5", {"--bogus", "1"})
                                              << QByteArray("unknown option --bogus");
    }
    void badArgumentsGiveStatus2()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        QTemporaryDir folder;
        const Outcome outcome = runCli(arguments, folder.path());
        QCOMPARE(outcome.status, 2);
        QVERIFY2(outcome.err.startsWith("quilfen-cli: " + message), outcome.err.constData());
        QVERIFY(outcome.err.contains("usage:"));
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    // Arguments as people type them: each row's grid must equal the grid of
    // the plain form "--centre-re 0 --centre-im 0 --range 2.5 --max-iter 20",
    // or, for the subnormal range, be computed at all.
    void argumentsAsTyped_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("sameAsPlain");
        const QStringList region{"--centre-re", "0", "--centre-im", "0", "--max-iter", "20"};
        QTest::newRow("--range=2.5") << QStringList{"grid", "--range=2.5"} + region << true;
        QTest::newRow("every option with =")
            << QStringList{"grid", "--centre-re=0", "--centre-im=0", "--range=2.5", "--max-iter=20"} << true;
        QTest::newRow("a blank before the number") << QStringList{"grid", "--range", " 2.5"} + region << true;
        QTest::newRow("a blank after the number") << QStringList{"grid", "--range", "2.5 "} + region << true;
        QTest::newRow("tabs and line feeds around") << QStringList{"grid", "--range", "\t2.5\n"} + region << true;
        QTest::newRow("a plus sign") << QStringList{"grid", "--range", "+2.5"} + region << true;
        QTest::newRow("hexadecimal, 0x1.4p1") << QStringList{"grid", "--range", "0x1.4p1"} + region << true;
        QTest::newRow("blanks around the limit")
            << QStringList{"grid", "--range", "2.5", "--centre-re", "0", "--centre-im", "0", "--max-iter", " 20 "}
            << true;
        QTest::newRow("a subnormal range, 1e-320") << QStringList{"grid", "--range", "1e-320"} + region << false;
        QTest::newRow("the smallest subnormal, 4.9e-324") << QStringList{"grid", "--range", "4.9e-324"} + region
                                                          << false;
    }
    void argumentsAsTyped()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, sameAsPlain);
        const Outcome outcome = runCli(arguments);
        QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out.count('\n'), 401);
        if (sameAsPlain) {
            const Outcome plain = runCli({"grid", "--centre-re", "0", "--centre-im", "0", "--range", "2.5",
                                          "--max-iter", "20"});
            QCOMPARE(plain.status, 0);
            QCOMPARE(outcome.out, plain.out);
        }
    }

    // What is refused says why.
    void refusalsNameTheReason_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("1e-400 underflows") << "1e-400" << QByteArray("is too close to zero");
        QTest::newRow("-1e-400 underflows") << "-1e-400" << QByteArray("is too close to zero");
        QTest::newRow("0.0000001e-320 underflows") << "0.0000001e-320" << QByteArray("is too close to zero");
        QTest::newRow("1e400 overflows") << "1e400" << QByteArray("is too large");
        QTest::newRow("123456e305 overflows") << "123456e305" << QByteArray("is too large");
        QTest::newRow("0x1p-2000 underflows") << "0x1p-2000" << QByteArray("is too close to zero");
        QTest::newRow("0x1p2000 overflows") << "0x1p2000" << QByteArray("is too large");
        QTest::newRow("inf") << "inf" << QByteArray("is infinite");
        QTest::newRow("-infinity") << "-infinity" << QByteArray("is infinite");
        QTest::newRow("nan") << "nan" << QByteArray("is not a number (NaN)");
        QTest::newRow("letters") << "abc" << QByteArray("is not a number");
        QTest::newRow("a number and letters") << "2.5x" << QByteArray("is not a number");
        QTest::newRow("two signs") << "+-2.5" << QByteArray("is not a number");
        QTest::newRow("blanks inside") << "2 .5" << QByteArray("is not a number");
        QTest::newRow("empty after =") << "" << QByteArray("is empty");
        QTest::newRow("only blanks") << "   " << QByteArray("is empty");
    }
    void refusalsNameTheReason()
    {
        QFETCH(QString, range);
        QFETCH(QByteArray, reason);
        const Outcome outcome = runCli({"grid", "--centre-re", "0", "--centre-im", "0", "--max-iter", "5",
                                        QStringLiteral("--range=") + range});
        QCOMPARE(outcome.status, 2);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.startsWith("quilfen-cli: option --range: '" + range.toUtf8() + "' " + reason),
                 outcome.err.constData());
    }

    void helpGoesToStandardOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("-h") << QStringList{"-h"};
        QTest::newRow("--help after a command") << QStringList{"render", "--help"};
    }
    void helpGoesToStandardOutput()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = runCli(arguments);
        QCOMPARE(outcome.status, 0);
        QVERIFY(outcome.err.isEmpty());
        QVERIFY(outcome.out.startsWith("usage: quilfen-cli grid"));
        QVERIFY(outcome.out.contains("--help"));
        QVERIFY(outcome.out.contains("exit status: 0 done; 1 failed"));
        QVERIFY(outcome.out.contains("3 bench --strict"));
    }

    // Standard output that cannot take the text: a message on stderr, status 1.
    void standardOutputFailures_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("reason");
        const QStringList grid{"grid", "--centre-re", "0", "--centre-im", "0", "--range", "2.5", "--max-iter", "5"};
        const QStringList bench{"bench", "--runs", "1", "--threads", "1"};
        QTest::newRow("grid into a full device") << "exec \"$0\" \"$@\" >/dev/full" << grid
                                                 << QByteArray("No space left on device");
        QTest::newRow("grid with standard output closed") << "exec \"$0\" \"$@\" >&-" << grid
                                                          << QByteArray("Bad file descriptor");
        QTest::newRow("bench into a full device") << "exec \"$0\" \"$@\" >/dev/full" << bench
                                                  << QByteArray("No space left on device");
        QTest::newRow("bench json with standard output closed") << "exec \"$0\" \"$@\" >&-" << bench + QStringList{"--json"}
                                                                << QByteArray("Bad file descriptor");
        QTest::newRow("help into a full device") << "exec \"$0\" \"$@\" >/dev/full" << QStringList{"--help"}
                                                 << QByteArray("No space left on device");
        const QStringList render = renderArguments(-0.5, 0.0, 2.5, 50, QStringLiteral("-"));
        QTest::newRow("render --out - into a full device") << "exec \"$0\" \"$@\" >/dev/full" << render
                                                           << QByteArray("No space left on device");
        QTest::newRow("render --out - with standard output closed") << "exec \"$0\" \"$@\" >&-" << render
                                                                    << QByteArray("Bad file descriptor");
        QTest::newRow("render --out - to a terminal") << "exec \"$0\" \"$@\" >TERMINAL" << render
                                                      << QByteArray("it is a terminal");
    }
    void standardOutputFailures()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, reason);
        // A terminal of the test's own where the row names one.
        const int terminal = script.contains(QStringLiteral("TERMINAL")) ? posix_openpt(O_RDWR | O_NOCTTY) : -1;
        if (script.contains(QStringLiteral("TERMINAL"))) {
            if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
                QSKIP("no pseudo-terminal here");
            script.replace(QStringLiteral("TERMINAL"), QString::fromLocal8Bit(ptsname(terminal)));
        }
        const Outcome outcome = runCliInShell(script, arguments);
        if (terminal >= 0)
            ::close(terminal);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains("quilfen-cli: cannot write to standard output: " + reason),
                 outcome.err.constData());
    }

    // Targets of --out that are not a regular file are never replaced, and
    // a failed write says what the system said. "old" is a regular file
    // beside the target that must stay as it was.
    void renderOutFailures_data()
    {
        QTest::addColumn<QString>("kind");  // pipe, device, socket, file size limit, full disk, ...
        QTest::addColumn<QByteArray>("reason");  // none: ended by the signal the kind names
        QTest::newRow("a named pipe") << "pipe" << QByteArray("it is a named pipe, not a regular file");
        QTest::newRow("a character device like /dev/null")
            << "device" << QByteArray("it is a character device, not a regular file");
        QTest::newRow("a socket") << "socket" << QByteArray("it is a socket, not a regular file");
        QTest::newRow("a folder") << "folder" << QByteArray("it is a folder, not a regular file");
        QTest::newRow("a link to a file that does not exist")
            << "dangling link" << QByteArray("it is a link to nowhere/picture.bmp, which does not exist");
        QTest::newRow("a file size limit (ulimit -f)") << "file size limit" << QByteArray("File too large");
        QTest::newRow("a full disk") << "full disk" << QByteArray("No space left on device");
        QTest::newRow("a folder the user may not write") << "not permitted" << QByteArray("Permission denied");
        QTest::newRow("the user's own file of mode 444") << "read-only file" << QByteArray("Permission denied");
        QTest::newRow("root's file of mode 644, in a folder the user may write")
            << "root's file" << QByteArray("Permission denied");
        QTest::newRow("ended by SIGTERM while rendering") << "SIGTERM" << QByteArray();
        QTest::newRow("ended by SIGINT while rendering") << "SIGINT" << QByteArray();
        QTest::newRow("ended by SIGHUP while rendering") << "SIGHUP" << QByteArray();
    }
    void renderOutFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, reason);
        QTemporaryDir folder;
        const QString target = folder.filePath(QStringLiteral("picture.bmp"));
        const QByteArray native = QFile::encodeName(target);
        QString script = QStringLiteral("exec \"$0\" \"$@\"");
        QStringList arguments = renderArguments(-0.5, 0.0, 2.5, 50, target);
        QTemporaryDir paletteFolder;
        mode_t kindBits = S_IFREG;
        const int signal = kind == QLatin1String("SIGTERM") ? SIGTERM
                           : kind == QLatin1String("SIGINT") ? SIGINT
                           : kind == QLatin1String("SIGHUP") ? SIGHUP
                                                              : 0;
        if (kind == QLatin1String("pipe") || kind == QLatin1String("device") || kind == QLatin1String("socket")) {
            if (!makeSpecialFile(target, kind))
                QSKIP("cannot make that kind of file here (a device node needs root and CAP_MKNOD)");
            kindBits = kind == QLatin1String("pipe") ? S_IFIFO : kind == QLatin1String("device") ? S_IFCHR : S_IFSOCK;
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(target));
            kindBits = S_IFDIR;
        } else if (kind == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(QStringLiteral("nowhere/picture.bmp"), target));
            kindBits = S_IFLNK;
        } else {
            QVERIFY(writeFile(target, "the old picture"));
            if (kind == QLatin1String("file size limit")) {
                script = QStringLiteral("ulimit -f 1 && ") + script;
            } else if (kind == QLatin1String("full disk")) {
                // A 64 KiB tmpfs over the folder, seen by this command alone.
                if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty())
                    QSKIP("needs root and unshare for a private tmpfs");
                QVERIFY(QFile::remove(target));
                // The inner shell shows what is left on the small disk after the run.
                script = QStringLiteral("exec unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 99; "
                                        "printf \"the old picture\" >\"$1/picture.bmp\"; d=$1; shift; \"$0\" \"$@\"; "
                                        "s=$?; cat \"$d/picture.bmp\"; echo; ls -A \"$d\"; exit $s' \"$0\" '%1' \"$@\"")
                             .arg(folder.path());
            } else if (signal != 0) {
                // A region that takes minutes; the signal comes as soon as
                // the temporary file is there.
                arguments = renderArguments(-0.75, 0.0, 1e-4, 1000000, target);
                script = QStringLiteral("sh -c '(while kill -0 $$ 2>/dev/null && "
                                        "! ls -A \"%1\" | grep -q \"^[.]quilfen-\"; do sleep 0.01; done; "
                                        "kill -%2 $$) & exec \"$0\" \"$@\"' \"$0\" \"$@\"; exit $?")
                             .arg(folder.path(), kind.mid(3));
            } else {
                // Written by a user without root's rights: into someone
                // else's folder, over the user's own read-only file, over
                // root's file.
                if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
                    QSKIP("needs root and setpriv to run as another user");
                const bool folderWritable = kind != QLatin1String("not permitted");
                QCOMPARE(chmod(QFile::encodeName(folder.path()).constData(), folderWritable ? 0777 : 0755), 0);
                QCOMPARE(chmod(native.constData(), kind == QLatin1String("not permitted")    ? 0666
                                                   : kind == QLatin1String("read-only file") ? 0444
                                                                                             : 0644),
                         0);
                if (kind == QLatin1String("read-only file"))
                    QCOMPARE(chown(native.constData(), 65534, 65534), 0);
                // The palette from where that user may read it: the build
                // folder beside the program may lie under root's own home.
                const QString palette = paletteFolder.filePath(QStringLiteral("default.qpl"));
                QVERIFY(QFile::copy(binFolder() + QStringLiteral("/default.qpl"), palette));
                QVERIFY(QFile::setPermissions(paletteFolder.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                                        QFile::ExeOwner | QFile::ReadOther |
                                                                        QFile::ExeOther));
                QVERIFY(QFile::setPermissions(palette, QFile::ReadOwner | QFile::ReadOther));
                arguments << QStringLiteral("--palette") << palette;
                script = QStringLiteral("exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"");
            }
        }
        struct stat before {};
        lstat(native.constData(), &before);
        const Outcome outcome = runCliInShell(script, arguments);
        if (kind == QLatin1String("full disk") && outcome.status == 99)
            QSKIP("cannot mount a tmpfs in a private mount namespace here");
        if (signal != 0) {
            // Ended as the signal ends a program (the shell names the signal).
            QCOMPARE(outcome.status, 128 + signal);
            QVERIFY2(!outcome.err.contains("quilfen-cli"), outcome.err.constData());
        } else {
            QCOMPARE(outcome.status, 1);
            QVERIFY2(outcome.err.contains("quilfen-cli: cannot write " + native + ": " + reason),
                     outcome.err.constData());
        }
        if (kind == QLatin1String("full disk")) {
            // The old file, alone on the disk.
            QCOMPARE(outcome.out, QByteArray("the old picture\npicture.bmp\n"));
            return;
        }
        struct stat info {};
        QCOMPARE(lstat(native.constData(), &info), 0);
        QCOMPARE(info.st_mode & S_IFMT, kindBits);
        if (kindBits == S_IFREG) {
            QCOMPARE(readFile(target), QByteArray("the old picture"));
            QCOMPARE(info.st_uid, before.st_uid);
            QCOMPARE(info.st_mode, before.st_mode);
        }
        // No temporary file is left behind.
        const QStringList left = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                               QDir::NoDotAndDotDot);
        QCOMPARE(left, QStringList{QStringLiteral("picture.bmp")});
    }

    // The file that is replaced keeps its permission bits, and as root its
    // owner and group; a link to it stays a link.
    void renderKeepsWhatBelongsToTheOldFile_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("the file itself") << false;
        QTest::newRow("a link to the file") << true;
    }
    void renderKeepsWhatBelongsToTheOldFile()
    {
        QFETCH(bool, throughLink);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("picture.bmp"));
        const QString link = folder.filePath(QStringLiteral("link.bmp"));
        QVERIFY(writeFile(file, "the old picture"));
        const QByteArray native = QFile::encodeName(file);
        QCOMPARE(chmod(native.constData(), 0640), 0);
        const bool asRoot = geteuid() == 0;
        if (asRoot)
            QCOMPARE(chown(native.constData(), 1234, 5678), 0);
        if (throughLink)
            QVERIFY(QFile::link(file, link));

        const Outcome outcome = runCli(renderArguments(-0.5, 0.0, 2.5, 50, throughLink ? link : file));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(QImage(file, "BMP").size(), QSize(400, 400));
        struct stat info {};
        QCOMPARE(stat(native.constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0640));
        if (asRoot) {
            QCOMPARE(info.st_uid, uid_t(1234));
            QCOMPARE(info.st_gid, gid_t(5678));
        }
        if (throughLink)
            QVERIFY(QFileInfo(link).isSymLink());
    }

    // A name that is not UTF-8 is written under exactly its bytes.
    void renderWritesANameThatIsNotUtf8()
    {
        QTemporaryDir folder;
        const QByteArray name = QFile::encodeName(folder.path()) + "/caf\xe9.bmp";
        const QByteArray mangled = QFile::encodeName(folder.path()) + "/caf\xef\xbf\xbd.bmp";
        QStringList arguments = renderArguments(-0.5, 0.0, 2.5, 50, QString());
        arguments.removeLast();
        const Outcome outcome = runCliInShell(QStringLiteral("exec \"$0\" \"$@\" \"$(printf '%1/caf\\351.bmp')\"")
                                                  .arg(folder.path()),
                                              arguments);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(access(name.constData(), F_OK), 0);
        QVERIFY(access(mangled.constData(), F_OK) != 0);
    }

    void renderMatchesTheWindowsPicture_data()
    {
        QTest::addColumn<double>("re");
        QTest::addColumn<double>("im");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("maxIter");
        QTest::addColumn<QString>("palette");  // empty: the default
        QTest::addColumn<int>("scale");         // --size is 400 times this (none for 1)
        QTest::addColumn<QString>("name");      // of the file written; "-": standard output
        QTest::addColumn<QStringList>("environment");  // for runCli; none: the test's own
        QTest::addColumn<QString>("format");    // --format's value; none: as the name says
        QTest::newRow("start-up region, default palette")
            << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "picture.bmp" << QStringList{} << "";
        QTest::newRow("benchmark region, fire")
            << -0.15 << 0.8 << 0.4 << 500 << "palettes/fire.qpl" << 1 << "picture.bmp" << QStringList{} << "";
        QTest::newRow("seahorse valley, limit 2048, rainbow")
            << -0.7435 << 0.1314 << 0.002 << 2048 << "palettes/rainbow.qpl" << 1 << "picture.bmp"
            << QStringList{} << "";
        QTest::newRow("turned half round, limit 3")
            << -0.5 << 0.0 << -2.5 << 3 << "" << 1 << "picture.bmp" << QStringList{} << "";
        // Twice the side halves the spacing exactly, so every other pixel of
        // every other row is the window's.
        QTest::newRow("size 800 as PNG: every other pixel is the window's")
            << -0.5 << 0.0 << 2.5 << 100000 << "palettes/fire.qpl" << 2 << "picture.png" << QStringList{} << "";
        // The locales of a fresh container, CI and many ssh sessions, whose
        // encoding is not UTF-8: Qt's own advice about them must not show.
        QTest::newRow("in the C locale (LC_ALL=C), benchmark region, fire")
            << -0.15 << 0.8 << 0.4 << 500 << "palettes/fire.qpl" << 1 << "picture.bmp"
            << QStringList{"LC_ALL=C", "LANG=C"} << "";
        QTest::newRow("in the POSIX locale (LANG=POSIX), as PNG")
            << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "picture.png"
            << QStringList{"LC_ALL=", "LC_CTYPE=", "LANG=POSIX"} << "";
        QTest::newRow("character type C, numbers German (LC_CTYPE=C, LC_NUMERIC=de_DE.UTF-8)")
            << -0.7435 << 0.1314 << 0.002 << 2048 << "palettes/rainbow.qpl" << 1 << "picture.bmp"
            << QStringList{"LC_ALL=", "LANG=", "LC_CTYPE=C", "LC_NUMERIC=de_DE.UTF-8"} << "";
        QTest::newRow("--format png under a name without an ending")
            << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "picture" << QStringList{} << "png";
        QTest::newRow("--format bmp under a .png name")
            << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "picture.png" << QStringList{} << "bmp";
        QTest::newRow("an upper-case ending, .PNG") << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "PICTURE.PNG"
                                                    << QStringList{} << "";
        QTest::newRow("--out -: to standard output, as BMP")
            << -0.15 << 0.8 << 0.4 << 500 << "palettes/fire.qpl" << 1 << "-" << QStringList{} << "";
    }
    void renderMatchesTheWindowsPicture()
    {
        QFETCH(double, re);
        QFETCH(double, im);
        QFETCH(double, range);
        QFETCH(int, maxIter);
        QFETCH(QString, palette);
        QFETCH(int, scale);
        QFETCH(QString, name);
        QFETCH(QStringList, environment);
        QFETCH(QString, format);
        QTemporaryDir folder;
        const bool toStandardOutput = name == QLatin1String("-");
        const QString out = toStandardOutput ? name : folder.filePath(name);
        QStringList arguments = renderArguments(re, im, range, maxIter, out);
        if (!format.isEmpty())
            arguments << QStringLiteral("--format") << format;
        const QString palettePath = palette.isEmpty() ? QString() : binFolder() + '/' + palette;
        if (!palette.isEmpty())
            arguments << QStringLiteral("--palette") << palettePath;
        if (scale != 1)
            arguments << QStringLiteral("--size") << QString::number(400 * scale);

        const Outcome outcome = runCli(arguments, {}, environment);
        QCOMPARE(outcome.status, 0);
        // Not a terminal: no progress shown, and nothing else.
        QCOMPARE(outcome.err, QByteArray());

        const bool png = format.isEmpty() ? name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
                                          : format == QLatin1String("png");
        const QByteArray bytes = toStandardOutput ? outcome.out : readFile(out);
        QVERIFY(bytes.startsWith(png ? QByteArray("\x89PNG") : QByteArray("BM")));
        const QImage written = QImage::fromData(bytes, png ? "PNG" : "BMP").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(written.size(), QSize(400 * scale, 400 * scale));
        const QImage shown = windowPicture(re, im, range, maxIter, palettePath);
        QCOMPARE(shown.size(), QSize(400, 400));
        if (scale == 1) {
            QVERIFY(written == shown);
        } else {
            for (int y = 0; y < 400; ++y)
                for (int x = 0; x < 400; ++x)
                    if (written.pixel(scale * x, scale * y) != shown.pixel(x, y))
                        QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) differs").arg(x).arg(y)));
        }
        // Only the temporary file's replacement is left behind.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), toStandardOutput ? QStringList{} : QStringList{name});
    }

    void renderFindsDefaultPaletteBesideTheProgram()
    {
        // A different default.qpl in the working folder must not be used.
        QTemporaryDir folder;
        QVERIFY(QFile::copy(binFolder() + QStringLiteral("/palettes/ice.qpl"),
                            folder.filePath(QStringLiteral("default.qpl"))));
        const QString out = folder.filePath(QStringLiteral("picture.bmp"));
        const Outcome outcome = runCli(renderArguments(-0.5, 0.0, 2.5, 500, out), folder.path());
        QCOMPARE(outcome.status, 0);
        const QImage shown = windowPicture(-0.5, 0.0, 2.5, 500, {});
        QVERIFY(QImage(out, "BMP").convertToFormat(QImage::Format_RGB32) == shown);
    }

    void renderReplacesAnExistingFile()
    {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("picture.bmp"));
        QVERIFY(writeFile(out, "not a picture"));
        QCOMPARE(runCli(renderArguments(-0.5, 0.0, 2.5, 50, out)).status, 0);
        QCOMPARE(QImage(out, "BMP").size(), QSize(400, 400));
    }

    void renderFailuresLeaveTheFileAlone_data()
    {
        QTest::addColumn<QString>("palette");  // relative to the temporary folder
        QTest::addColumn<QString>("made");     // what is put there first: "file" (content), "pipe", or nothing
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("missing palette") << "missing.qpl" << "" << QByteArray() << "picture.bmp"
                                         << QByteArray("missing.qpl cannot be opened: No such file or directory");
        QTest::newRow("not a palette") << "picture.bmp" << "" << QByteArray() << "picture.bmp"
                                       << QByteArray("is not a palette table file");
        QTest::newRow("folder does not exist") << "" << "" << QByteArray() << "no/such/folder/picture.bmp"
                                               << QByteArray("cannot write");
        QTest::newRow("a palette of 1024 entries")
            << "short.qpl" << "file" << rampPaletteText(kPaletteHeader, 1024) << "picture.bmp"
            << QByteArray("short.qpl is too short: 1024 entries found, 1025 needed");
        QTest::newRow("a letter in entry 17")
            << "letter.qpl" << "file" << rampPaletteText(kPaletteHeader, 17) + "1,x,3\r\n" << "picture.bmp"
            << QByteArray("letter.qpl is broken: entry 17 (of 0 to 1024) has a value that is not a whole number");
        QTest::newRow("an empty palette file") << "empty.qpl" << "file" << QByteArray() << "picture.bmp"
                                               << QByteArray("empty.qpl is empty, not a palette file");
        QTest::newRow("a named pipe") << "pipe.qpl" << "pipe" << QByteArray() << "picture.bmp"
                                      << QByteArray("pipe.qpl is not a regular file (a named pipe)");
    }
    void renderFailuresLeaveTheFileAlone()
    {
        QFETCH(QString, palette);
        QFETCH(QString, made);
        QFETCH(QByteArray, content);
        QFETCH(QString, out);
        QFETCH(QByteArray, message);
        QTemporaryDir folder;
        const QString existing = folder.filePath(QStringLiteral("picture.bmp"));
        QVERIFY(writeFile(existing, "kept"));
        if (made == QLatin1String("file"))
            QVERIFY(writeFile(folder.filePath(palette), content));
        else if (made == QLatin1String("pipe"))
            QVERIFY(makeSpecialFile(folder.filePath(palette), made));

        QStringList arguments = renderArguments(-0.5, 0.0, 2.5, 50, folder.filePath(out));
        if (!palette.isEmpty())
            arguments << QStringLiteral("--palette") << folder.filePath(palette);
        const Outcome outcome = runCli(arguments);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(message), outcome.err.constData());
        QCOMPARE(readFile(existing), QByteArray("kept"));
        QStringList expected{"picture.bmp"};
        if (!made.isEmpty())
            expected << palette;
        expected.sort();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name), expected);
    }

    void benchJsonFigures()
    {
        const Outcome outcome =
            runCli({QStringLiteral("bench"), QStringLiteral("--runs"), QStringLiteral("3"),
                    QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--json")});
        const bool valid = engineMatchesReference();
        QCOMPARE(outcome.status, valid ? 0 : 1);

        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(outcome.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(json.value("runs").toInt(), 3);
        QCOMPARE(json.value("threads").toInt(), 1);
        // By the name users know: AVX-512, not the vector library's AVX3.
        const QString name = QString::fromStdString(instructionSetName(simdTargetName()));
        QCOMPARE(json.value("instruction_set").toString(), name.isEmpty() ? QStringLiteral("no SIMD") : name);
        const double median = json.value("median_seconds").toDouble();
        const double best = json.value("best_seconds").toDouble();
        QVERIFY(median > 0.0);
        QVERIFY(best > 0.0 && best <= median);
        // The rate of the median and of the best run; the ratio to two decimals.
        QCOMPARE(json.value("mflops").toDouble(), mflopsFigure(median));
        QCOMPARE(json.value("mflops_best").toDouble(), mflopsFigure(best));
        QVERIFY(std::fabs(json.value("ratio").toDouble() - referenceRatio(median)) <= 0.005);
        QCOMPARE(json.value("expected_checksum").toString(), QStringLiteral("7e8bf63de1d35d9b"));
        QCOMPARE(json.value("validation").toString(),
                 valid ? QStringLiteral("valid") : QStringLiteral("INVALID"));
        QCOMPARE(json.value("checksum").toString() == QStringLiteral("7e8bf63de1d35d9b"), valid);
    }

    void benchTextReport()
    {
        const Outcome outcome = runCli({QStringLiteral("bench"), QStringLiteral("--runs"),
                                        QStringLiteral("1")});
        const bool valid = engineMatchesReference();
        QCOMPARE(outcome.status, valid ? 0 : 1);
        const QString text = QString::fromUtf8(outcome.out);
        QVERIFY(text.contains(QStringLiteral("runs:        1 timed")));
        QVERIFY(text.contains(QStringLiteral("MFLOPS:")));
        const QString validLine = QStringLiteral("validation:  valid (checksum 7e8bf63de1d35d9b)");
        QCOMPARE(text.contains(validLine), valid);
        QCOMPARE(text.contains(QStringLiteral("INVALID")), !valid);
        QCOMPARE(outcome.err.contains("INVALID"), !valid);
    }

    // The record beside the figures, and whether the runs agree. A stable
    // result cannot be forced on a busy machine: the rows with enough runs
    // check that the verdict follows the spread reported (the verdict itself
    // is tested on a scripted clock in test_benchmark_figures).
    void benchRecord_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("runs");
        QTest::addColumn<bool>("strict");
        QTest::addColumn<bool>("judged");  // false: unstable whatever the machine
        const QStringList json{"bench", "--threads", "1", "--json"};
        QTest::newRow("one run: unstable, passes") << json + QStringList{"--runs", "1"} << 1 << false << false;
        QTest::newRow("one run, strict: status 3") << json + QStringList{"--runs", "1", "--strict"} << 1 << true
                                                   << false;
        QTest::newRow("two runs, strict: status 3") << json + QStringList{"--runs=2", "--strict"} << 2 << true
                                                    << false;
        QTest::newRow("five runs, strict: the status follows the spread")
            << json + QStringList{"--runs", "5", "--strict"} << 5 << true << true;
    }
    void benchRecord()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, runs);
        QFETCH(bool, strict);
        QFETCH(bool, judged);
        const Outcome outcome = runCli(arguments);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(outcome.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);

        const QJsonObject machine = json.value("machine").toObject();
        QVERIFY(!machine.value("processor").toString().isEmpty());
        QCOMPARE(machine.value("logical_processors").toInt(), QThread::idealThreadCount());
        QCOMPARE(machine.value("threads").toInt(), 1);
        QCOMPARE(machine.value("instruction_set"), json.value("instruction_set"));
        QCOMPARE(machine.value("os").toString(), QStringLiteral("Linux"));
        QVERIFY(!machine.value("kernel").toString().isEmpty());
        QVERIFY(machine.value("memory_bytes").toDouble() > 1e8);
        const QJsonObject build = json.value("build").toObject();
        QCOMPARE(build.value("version").toString(), QString::fromStdString(programVersion()));
        QVERIFY(build.value("compiler").toString().contains(QRegularExpression(QStringLiteral("\\d+\\.\\d+"))));
        QCOMPARE(build.value("fp_contraction").toString(), QStringLiteral("off"));
        QVERIFY(build.value("arithmetic_flags").toString().contains(QStringLiteral("-ffp-contract=off")));
        QCOMPARE(build.value("vector_library").toString(),
                 QStringLiteral("Highway %1.%2.%3").arg(HWY_MAJOR).arg(HWY_MINOR).arg(HWY_PATCH));

        const QJsonObject stats = json.value("statistics").toObject();
        QCOMPARE(stats.value("runs").toInt(), runs);
        QCOMPARE(json.value("runs").toInt(), runs);
        QCOMPARE(stats.value("warmup_runs").toInt(), 1);
        const double best = stats.value("best_seconds").toDouble();
        const double median = stats.value("median_seconds").toDouble();
        const double worst = stats.value("worst_seconds").toDouble();
        QVERIFY(best > 0.0 && best <= median && median <= worst);
        QCOMPARE(json.value("best_seconds").toDouble(), best);
        QCOMPARE(json.value("median_seconds").toDouble(), median);
        const QJsonValue variation = stats.value("coefficient_of_variation");
        QCOMPARE(variation.isNull(), runs < 2);
        const bool stable = json.value("stable").toBool();
        QCOMPARE(stable, judged && variation.toDouble() <= 0.03);

        const bool valid = engineMatchesReference();
        QCOMPARE(outcome.status, !valid ? 1 : (strict && !stable) ? 3 : 0);
        QCOMPARE(outcome.err.contains("UNSTABLE"), valid && strict && !stable);
    }

    void benchTextSaysWhenUnstable()
    {
        const Outcome outcome = runCli({QStringLiteral("bench"), QStringLiteral("--runs"), QStringLiteral("2")});
        QCOMPARE(outcome.status, engineMatchesReference() ? 0 : 1);
        const QString text = QString::fromUtf8(outcome.out);
        QVERIFY(text.contains(QStringLiteral("stability:   UNSTABLE (2 timed runs cannot show a spread")));
        QVERIFY(text.contains(QStringLiteral("build:       Quilfen ") + QString::fromStdString(programVersion())));
        QVERIFY(text.contains(QStringLiteral("machine:     ")));
        QVERIFY(text.contains(QStringLiteral("worst:       ")));
    }

    // Results side by side: the first is a real result, the second the same
    // with one change.
    void compareResults_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("label");          // of the row checked, for status 0
        QTest::addColumn<QStringList>("cells");      // of that row; for status 1, the message
        QTest::newRow("equal results") << "none" << 0 << "vs first" << QStringList{"1.00", "1.00"};
        QTest::newRow("equal results are both valid") << "none" << 0 << "validation" << QStringList{"valid", "valid"};
        QTest::newRow("a result twice as slow") << "slower" << 0 << "vs first" << QStringList{"1.00", "0.50"};
        QTest::newRow("another version is compared, marked")
            << "version" << 0 << "version" << QStringList{"3.0.0", "9.9.9 *"};
        QTest::newRow("an invalid result says so") << "invalid" << 0 << "validation" << QStringList{"valid", "INVALID"};
        QTest::newRow("an unstable result says so")
            << "unstable" << 0 << "stability" << QStringList{"stable", "UNSTABLE"};
        QTest::newRow("a result from before the record") << "old" << 0 << "stability" << QStringList{"stable", "-"};
        QTest::newRow("2^240 GiB written in full") << "huge memory" << 0 << "memory" << QStringList(
            2, "1766847064778384329583297500742918515827483896875618958121606201292619776.0 GiB");
        QTest::newRow("another range is refused")
            << "range" << 1 << "" << QStringList{"it timed another region (range 0.5 against 0.4)"};
        QTest::newRow("another limit is refused")
            << "max_iter" << 1 << "" << QStringList{"it timed another region (max_iter 400 against 500)"};
        QTest::newRow("JSON that is not a result")
            << "other json" << 1 << "" << QStringList{"is not a result of quilfen-cli bench --json: its region has no"};
        QTest::newRow("not JSON") << "text" << 1 << "" << QStringList{"is not a result of quilfen-cli bench --json"};
        QTest::newRow("a missing file") << "missing" << 1 << "" << QStringList{"cannot read", "No such file"};
        QTest::newRow("a named pipe nobody writes")
            << "pipe" << 1 << "" << QStringList{"cannot read", "it is not a regular file"};
        QTest::newRow("a link to a device without end")
            << "zero" << 1 << "" << QStringList{"cannot read", "it is not a regular file"};
    }
    void compareResults()
    {
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QString, label);
        QFETCH(QStringList, cells);
        const Outcome bench = runCli({"bench", "--runs", "3", "--threads", "1", "--json"});
        QJsonObject first = QJsonDocument::fromJson(bench.out).object();
        QVERIFY(!first.isEmpty());
        // Made valid and stable, so the rows of the second can differ from it.
        first["validation"] = QStringLiteral("valid");
        first["checksum"] = first.value("expected_checksum");
        first["stable"] = true;
        QJsonObject second = first;
        QJsonObject region = second.value("region").toObject();
        QJsonObject build = second.value("build").toObject();
        QByteArray secondText;
        if (change == QLatin1String("slower")) {
            second["median_seconds"] = 2.0 * first.value("median_seconds").toDouble();
        } else if (change == QLatin1String("version")) {
            build["version"] = QStringLiteral("9.9.9");
            second["build"] = build;
        } else if (change == QLatin1String("invalid")) {
            second["validation"] = QStringLiteral("INVALID");
        } else if (change == QLatin1String("unstable")) {
            second["stable"] = false;
        } else if (change == QLatin1String("old")) {
            for (const char* key : {"machine", "build", "statistics", "stable"})
                second.remove(QLatin1String(key));
        } else if (change == QLatin1String("huge memory")) {
            QJsonObject machine = first.value("machine").toObject();
            machine["memory_bytes"] = std::ldexp(1.0, 270);
            first["machine"] = second["machine"] = machine;
        } else if (change == QLatin1String("range") || change == QLatin1String("max_iter")) {
            region[change] = change == QLatin1String("range") ? 0.5 : 400;
            second["region"] = region;
        } else if (change == QLatin1String("other json")) {
            secondText = R"({"region": {"points": 401}, "median_seconds": 1})";
        } else if (change == QLatin1String("text")) {
            secondText = "median 0.01 s\n";
        }
        if (secondText.isEmpty())
            secondText = QJsonDocument(second).toJson();
        QTemporaryDir folder;
        const QString a = folder.filePath(QStringLiteral("a.json"));
        const QString b = folder.filePath(QStringLiteral("b.json"));
        QVERIFY(writeFile(a, QJsonDocument(first).toJson()));
        if (change == QLatin1String("pipe"))
            QCOMPARE(mkfifo(QFile::encodeName(b).constData(), 0600), 0);
        else if (change == QLatin1String("zero"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), b));
        else if (change != QLatin1String("missing"))
            QVERIFY(writeFile(b, secondText));

        const Outcome outcome = runCli({QStringLiteral("compare"), a, b});
        QCOMPARE(outcome.status, status);
        if (status != 0) {
            QVERIFY(outcome.out.isEmpty());
            for (const QString& part : cells)
                QVERIFY2(outcome.err.contains(part.toUtf8()), outcome.err.constData());
            QVERIFY(outcome.err.startsWith("quilfen-cli: "));
            return;
        }
        QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
        QCOMPARE(compareCells(outcome.out, label), cells);
        // The files head their columns: the first file's name starts where the first cells do.
        const QList<QByteArray> lines = outcome.out.split('\n');
        const QByteArray processorLine = lines.value(1);
        QVERIFY(processorLine.startsWith("processor "));
        qsizetype firstCell = qsizetype(sizeof "processor" - 1);
        while (firstCell < processorLine.size() && processorLine[firstCell] == ' ')
            ++firstCell;
        QCOMPARE(lines.value(0).indexOf(QFile::encodeName(a)), firstCell);
        QCOMPARE(compareCells(outcome.out, QStringLiteral("MFLOPS")).value(1),
                 QString::fromStdString(mflopsText(second.value("median_seconds").toDouble())));
        QCOMPARE(outcome.out.contains("* differs from the first result"), change == QLatin1String("version") ||
                                                                             change == QLatin1String("old"));
    }

    // A picture rendered from another's entries: at its size, the same
    // pixels; at another, the pixels of that region rendered at that size.
    void renderFromPicture_data()
    {
        QTest::addColumn<int>("size");         // --size given with --from; 0: none
        QTest::addColumn<QString>("palette");  // of the first picture; empty: the default
        QTest::newRow("its own size, default palette") << 0 << "";
        QTest::newRow("its own size, the fire palette it names") << 0 << "palettes/fire.qpl";
        QTest::newRow("twice the size") << 400 << "palettes/fire.qpl";
        QTest::newRow("a third of the size") << 67 << "";
    }
    void renderFromPicture()
    {
        QFETCH(int, size);
        QFETCH(QString, palette);
        // 0.1 + 0.2: a centre whose shortest text has all 17 digits.
        const double re = -0.75;
        const double im = 0.1 + 0.2;
        QTemporaryDir folder;
        const QString first = folder.filePath(QStringLiteral("first.png"));
        QStringList arguments = renderArguments(re, im, 0.25, 300, first) + QStringList{"--size", "200"};
        if (!palette.isEmpty())
            arguments << QStringLiteral("--palette") << binFolder() + '/' + palette;
        QCOMPARE(runCli(arguments).status, 0);

        QImageReader entries(first, "PNG");
        QCOMPARE(entries.text(QStringLiteral("quilfen-centre-im")).toDouble(), im);
        QCOMPARE(entries.text(QStringLiteral("quilfen-centre-re")), QStringLiteral("-0.75"));
        QCOMPARE(entries.text(QStringLiteral("quilfen-max-iter")), QStringLiteral("300"));
        QCOMPARE(entries.text(QStringLiteral("quilfen-size")), QStringLiteral("200"));
        QCOMPARE(entries.text(QStringLiteral("quilfen-version")), QString::fromStdString(programVersion()));
        QCOMPARE(entries.text(QStringLiteral("quilfen-palette")),
                 palette.isEmpty() ? QStringLiteral("default.qpl") : binFolder() + '/' + palette);

        const QString again = folder.filePath(QStringLiteral("again.png"));
        QStringList fromArguments{"render", "--from", first, "--out", again};
        if (size != 0)
            fromArguments << QStringLiteral("--size") << QString::number(size);
        const Outcome outcome = runCli(fromArguments);
        QVERIFY2(outcome.err.isEmpty(), outcome.err.constData());
        QCOMPARE(outcome.status, 0);
        QImage expected(first);
        if (size != 0) {
            const QString direct = folder.filePath(QStringLiteral("direct.png"));
            arguments = renderArguments(re, im, 0.25, 300, direct) + QStringList{"--size", QString::number(size)};
            if (!palette.isEmpty())
                arguments << QStringLiteral("--palette") << binFolder() + '/' + palette;
            QCOMPARE(runCli(arguments).status, 0);
            expected = QImage(direct);
        }
        const QImage made(again);
        QCOMPARE(made.size(), QSize(size == 0 ? 200 : size, size == 0 ? 200 : size));
        QVERIFY(made.convertToFormat(QImage::Format_RGB32) == expected.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(QImageReader(again, "PNG").text(QStringLiteral("quilfen-centre-im")).toDouble(), im);
    }

    void renderFromRefusals_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("a BMP picture") << "bmp" << QByteArray("is not a PNG picture");
        QTest::newRow("a PNG without entries") << "plain" << QByteArray("carries no region");
        QTest::newRow("a range that is not a number")
            << "tampered" << QByteArray("has a quilfen-range entry 'abc' that is not a finite number");
        QTest::newRow("the palette changed since")
            << "palette changed" << QByteArray("is no longer the table");
        QTest::newRow("no such picture") << "missing" << QByteArray("cannot be opened: No such file");
        QTest::newRow("a named pipe nobody writes") << "pipe" << QByteArray("it is not a regular file");
        QTest::newRow("a PNG signature, then random bytes") << "random" << QByteArray("is a broken PNG picture");
    }
    void renderFromRefusals()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, message);
        QTemporaryDir folder;
        const QString picture = folder.filePath(kind == QLatin1String("bmp") ? "picture.bmp" : "picture.png");
        const QString palette = folder.filePath(QStringLiteral("mine.qpl"));
        QVERIFY(QFile::copy(binFolder() + QStringLiteral("/palettes/fire.qpl"), palette));
        if (kind == QLatin1String("plain")) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::black);
            QVERIFY(image.save(picture, "PNG"));
        } else if (kind == QLatin1String("tampered")) {
            QImage image(8, 8, QImage::Format_RGB32);
            image.fill(Qt::black);
            for (const char* key : {"quilfen-centre-re", "quilfen-centre-im", "quilfen-max-iter", "quilfen-size"})
                image.setText(QLatin1String(key), QStringLiteral("8"));
            image.setText(QStringLiteral("quilfen-range"), QStringLiteral("abc"));
            QVERIFY(image.save(picture, "PNG"));
        } else if (kind == QLatin1String("pipe")) {
            QCOMPARE(mkfifo(QFile::encodeName(picture).constData(), 0600), 0);
        } else if (kind == QLatin1String("random")) {
            QVERIFY(writeFile(picture, QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(500, '\x7f')));
        } else if (kind != QLatin1String("missing")) {
            QCOMPARE(runCli(renderArguments(-0.5, 0.0, 2.5, 20, picture) +
                            QStringList{"--size", "20", "--palette", palette}).status, 0);
        }
        if (kind == QLatin1String("palette changed")) {
            QVERIFY(QFile::remove(palette));
            QVERIFY(QFile::copy(binFolder() + QStringLiteral("/palettes/ice.qpl"), palette));
        }
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome = runCli({"render", "--from", picture, "--out", out});
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(message), outcome.err.constData());
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
