// quilfen-cli bench, render and grid, run as a separate process the way a user
// runs them.

#include "benchmark_figures.h"
#include "escape_time.h"
#include "escape_time_scalar.h"
#include "palette_reader.h"
#include "picture_box.h"
#include "test_files.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cmath>
#include <memory>

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

Outcome runCli(const QStringList& arguments, const QString& workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(binFolder() + QStringLiteral("/quilfen-cli"), arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
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
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("bench: zero runs") << QStringList{"bench", "--runs", "0"};
        QTest::newRow("bench: runs not a number") << QStringList{"bench", "--runs", "many"};
        QTest::newRow("bench: runs without a value") << QStringList{"bench", "--runs"};
        QTest::newRow("bench: zero threads") << QStringList{"bench", "--threads", "0"};
        QTest::newRow("bench: negative threads") << QStringList{"bench", "--threads", "-2"};
        QTest::newRow("bench: json with a value") << QStringList{"bench", "--json", "yes"};
        QTest::newRow("bench: unknown option") << QStringList{"bench", "--fast"};
        QTest::newRow("bench: stray argument") << QStringList{"bench", "4"};
        QTest::newRow("render: nothing") << QStringList{"render"};
        // A command with a whole region, then what follows it.
        const auto withRegion = [](const char* command, const char* centreRe, const char* range,
                                   const char* maxIter, QStringList rest) {
            return QStringList{command, "--centre-re", centreRe, "--centre-im", "0", "--range", range,
                               "--max-iter", maxIter} +
                   rest;
        };
        const QStringList out{"--out", "x.bmp"};
        QTest::newRow("render: no output") << withRegion("render", "0", "1", "5", {});
        QTest::newRow("render: centre not a number") << withRegion("render", "abc", "1", "5", out);
        QTest::newRow("render: infinite range") << withRegion("render", "0", "inf", "5", out);
        QTest::newRow("render: limit 0") << withRegion("render", "0", "1", "0", out);
        QTest::newRow("render: size 0") << withRegion("render", "0", "1", "5", out + QStringList{"--size", "0"});
        QTest::newRow("render: size above the cap")
            << withRegion("render", "0", "1", "5", out + QStringList{"--size", "16385"});
        QTest::newRow("render: size not a number")
            << withRegion("render", "0", "1", "5", out + QStringList{"--size", "big"});
        QTest::newRow("render: palette without a file")
            << withRegion("render", "0", "1", "5", out + QStringList{"--palette"});
        QTest::newRow("render: option twice")
            << withRegion("render", "0", "1", "5", out + QStringList{"--centre-re", "0"});
        QTest::newRow("grid: nothing") << QStringList{"grid"};
        QTest::newRow("grid: limit above the cap") << withRegion("grid", "0", "1", "1000001", {});
        QTest::newRow("grid: unknown option") << withRegion("grid", "0", "1", "5", {"--bogus", "1"});
    }
    void badArgumentsGiveStatus2()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir folder;
        const Outcome outcome = runCli(arguments, folder.path());
        QCOMPARE(outcome.status, 2);
        QVERIFY(outcome.err.startsWith("quilfen-cli: "));
        QVERIFY(outcome.err.contains("usage:"));
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void renderMatchesTheWindowsPicture_data()
    {
        QTest::addColumn<double>("re");
        QTest::addColumn<double>("im");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("maxIter");
        QTest::addColumn<QString>("palette");  // empty: the default
        QTest::addColumn<int>("scale");         // --size is 400 times this (none for 1)
        QTest::addColumn<QString>("name");      // of the file written
        QTest::newRow("start-up region, default palette")
            << -0.5 << 0.0 << 2.5 << 500 << "" << 1 << "picture.bmp";
        QTest::newRow("benchmark region, fire")
            << -0.15 << 0.8 << 0.4 << 500 << "palettes/fire.qpl" << 1 << "picture.bmp";
        QTest::newRow("seahorse valley, limit 2048, rainbow")
            << -0.7435 << 0.1314 << 0.002 << 2048 << "palettes/rainbow.qpl" << 1 << "picture.bmp";
        QTest::newRow("turned half round, limit 3")
            << -0.5 << 0.0 << -2.5 << 3 << "" << 1 << "picture.bmp";
        // Twice the side halves the spacing exactly, so every other pixel of
        // every other row is the window's.
        QTest::newRow("size 800 as PNG: every other pixel is the window's")
            << -0.5 << 0.0 << 2.5 << 100000 << "palettes/fire.qpl" << 2 << "picture.png";
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
        QTemporaryDir folder;
        const QString out = folder.filePath(name);
        QStringList arguments = renderArguments(re, im, range, maxIter, out);
        const QString palettePath = palette.isEmpty() ? QString() : binFolder() + '/' + palette;
        if (!palette.isEmpty())
            arguments << QStringLiteral("--palette") << palettePath;
        if (scale != 1)
            arguments << QStringLiteral("--size") << QString::number(400 * scale);

        const Outcome outcome = runCli(arguments);
        QCOMPARE(outcome.status, 0);
        // Not a terminal: no progress shown.
        QVERIFY(outcome.err.isEmpty());

        const QByteArray format = name.endsWith(QStringLiteral(".png")) ? "PNG" : "BMP";
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(format == "PNG" ? 4 : 2), format == "PNG" ? QByteArray("\x89PNG") : QByteArray("BM"));
        file.close();
        const QImage written = QImage(out, format.constData()).convertToFormat(QImage::Format_RGB32);
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
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{name});
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
        QTest::addColumn<QString>("out");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("missing palette")
            << "missing.qpl" << "picture.bmp" << QByteArray("missing.qpl");
        QTest::newRow("not a palette") << "picture.bmp" << "picture.bmp"
                                       << QByteArray("is not a palette table file");
        QTest::newRow("folder does not exist") << "" << "no/such/folder/picture.bmp"
                                               << QByteArray("cannot write");
    }
    void renderFailuresLeaveTheFileAlone()
    {
        QFETCH(QString, palette);
        QFETCH(QString, out);
        QFETCH(QByteArray, message);
        QTemporaryDir folder;
        const QString existing = folder.filePath(QStringLiteral("picture.bmp"));
        QVERIFY(writeFile(existing, "kept"));

        QStringList arguments = renderArguments(-0.5, 0.0, 2.5, 50, folder.filePath(out));
        if (!palette.isEmpty())
            arguments << QStringLiteral("--palette") << folder.filePath(palette);
        const Outcome outcome = runCli(arguments);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(message), outcome.err.constData());
        QCOMPARE(readFile(existing), QByteArray("kept"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"picture.bmp"});
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
        QCOMPARE(json.value("instruction_set").toString(),
                 QString::fromStdString(engineInstructionSet()));
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
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
