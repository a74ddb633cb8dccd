// The palette generator: recipes, the ramp, the file text, and that the
// palettes we ship are exactly what their recipes make.

#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "tests/support/test_files.h"
#include "tools/palette_maker.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace quilfen;

namespace {

const QString kSourceDir = QStringLiteral(QUILFEN_SOURCE_DIR);

PaletteRecipe recipe(const char* line)
{
    std::string error;
    auto parsed = parseRecipe(line, error);
    if (!parsed)
        qFatal("recipe %s: %s", line, error.c_str());
    return *parsed;
}

QList<int> entry(const PaletteTable& table, int k)
{
    const auto& e = table[std::size_t(k)];
    return {e[0], e[1], e[2]};
}

}  // namespace

class TestPaletteMaker : public QObject {
    Q_OBJECT
private slots:
    void rejectsMalformedRecipes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("no inside colour") << QStringLiteral("a.qpl 0:000000 1:ffffff");
        QTest::newRow("short colour") << QStringLiteral("a.qpl inside=00000 0:000000 1:ffffff");
        QTest::newRow("not hexadecimal") << QStringLiteral("a.qpl inside=00000g 0:000000 1:ffffff");
        QTest::newRow("one stop") << QStringLiteral("a.qpl inside=000000 0:000000");
        QTest::newRow("first stop not at 0") << QStringLiteral("a.qpl inside=000000 0.1:000000 1:ffffff");
        QTest::newRow("last stop not at 1") << QStringLiteral("a.qpl inside=000000 0:000000 0.9:ffffff");
        QTest::newRow("stops out of order") << QStringLiteral("a.qpl inside=000000 0:000000 0.6:ff0000 0.4:00ff00 1:ffffff");
        QTest::newRow("zero cycles") << QStringLiteral("a.qpl inside=000000 cycles=0 0:000000 1:ffffff");
        QTest::newRow("negative log scale") << QStringLiteral("a.qpl inside=000000 log=-1 0:000000 1:ffffff");
        QTest::newRow("unknown word") << QStringLiteral("a.qpl inside=000000 smooth 0:000000 1:ffffff");
        QTest::newRow("bad stop position") << QStringLiteral("a.qpl inside=000000 0:000000 x:808080 1:ffffff");
    }

    void rejectsMalformedRecipes()
    {
        QFETCH(QString, line);
        std::string error;
        QVERIFY(!parseRecipe(line.toStdString(), error));
        QVERIFY(!error.empty());
    }

    // Worked examples: entries 1 … 1024 lie at x = (k - 1) / 1023.
    void ramp_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("k");
        QTest::addColumn<QList<int>>("expected");
        const QString grey = QStringLiteral("g.qpl inside=102030 0:000000 1:ffffff");
        QTest::newRow("inside colour") << grey << 0 << QList<int>{16, 32, 48};
        QTest::newRow("first ramp entry is the first stop") << grey << 1 << QList<int>{0, 0, 0};
        QTest::newRow("last entry is the last stop") << grey << 1024 << QList<int>{255, 255, 255};
        // 255 · 512 / 1023 = 127.62
        QTest::newRow("blend halfway") << grey << 513 << QList<int>{128, 128, 128};
        const QString three = QStringLiteral("t.qpl inside=000000 0:ff0000 0.5:00ff00 1:0000ff");
        // x = 255/1023, f = 510/1023 of the way from red to green: 127.87, 127.13
        QTest::newRow("between the first two stops") << three << 256 << QList<int>{128, 127, 0};
        // x = 767/1023, f = 511/1023 of the way from green to blue: 127.63, 127.37
        QTest::newRow("between the last two stops") << three << 768 << QList<int>{0, 128, 127};
        const QString bands = QStringLiteral("b.qpl inside=000000 bands 0:ff0000 0.5:00ff00 1:0000ff");
        QTest::newRow("band: first colour held") << bands << 500 << QList<int>{255, 0, 0};
        QTest::newRow("band: second colour from its stop on") << bands << 513 << QList<int>{0, 255, 0};
        QTest::newRow("band: last entry") << bands << 1024 << QList<int>{0, 0, 255};
        // Three cycles over 1023 steps: entry 342 ends the first, 343 starts the second.
        const QString cycles = QStringLiteral("c.qpl inside=000000 cycles=3 0:000000 1:ff00ff");
        QTest::newRow("cycle ends on the last stop") << cycles << 342 << QList<int>{255, 0, 255};
        QTest::newRow("next cycle starts near the first") << cycles << 343 << QList<int>{1, 0, 1};
        // log=341: ln(1 + 341/341) / ln(1 + 1023/341) = ln 2 / ln 4 = 0.5
        QTest::newRow("log scale halfway") << QStringLiteral("l.qpl inside=000000 log=341 0:000000 1:c8c8c8")
                                           << 342 << QList<int>{100, 100, 100};
    }

    void ramp()
    {
        QFETCH(QString, line);
        QFETCH(int, k);
        QFETCH(QList<int>, expected);
        QCOMPARE(entry(makePalette(recipe(line.toUtf8().constData())), k), expected);
    }

    void logScaleFavoursLowEntries()
    {
        const PaletteRecipe r = recipe("l.qpl inside=000000 log=10 0:000000 1:ffffff");
        double last = -1.0;
        for (int k = 1; k < kPaletteEntries; ++k) {
            const double t = rampPosition(r, k);
            QVERIFY(t > last);
            last = t;
        }
        QCOMPARE(rampPosition(r, 1), 0.0);
        QCOMPARE(rampPosition(r, 1024), 1.0);
        QVERIFY(rampPosition(r, 100) > 0.4);
    }

    void fileTextReadsBack()
    {
        const PaletteTable made = makePalette(recipe("r.qpl inside=0a0b0c cycles=5 0:ff8000 0.5:0080ff 1:ff8000"));
        const std::string text = paletteFileText(made);
        QVERIFY(QByteArray::fromStdString(text).startsWith("Quilfen Palette Table File\r\n10,11,12\r\n"));
        QCOMPARE(QByteArray::fromStdString(text).count("\r\n"), 1 + kPaletteEntries);
        QCOMPARE(QByteArray::fromStdString(text).count('\n'), 1 + kPaletteEntries);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.qpl"));
        QVERIFY(test::writeFile(path, QByteArray::fromStdString(text)));
        PaletteTable read{};
        QCOMPARE(ReadPaletteFile(path.toStdString(), read), PaletteReadResult::Loaded);
        QVERIFY(read == made);
    }

    // The committed files must be what the recipes make, so that editing a
    // recipe without regenerating (or a file by hand) is caught; each loads
    // as its recipe's table, and every palette under data/ has a recipe.
    void committedFilesMatchTheirRecipes()
    {
        std::string error;
        const auto recipes = readRecipes((kSourceDir + QStringLiteral("/tools/palettes.txt")).toStdString(), error);
        QVERIFY2(recipes, error.c_str());
        QStringList recipeFiles;
        for (const PaletteRecipe& r : *recipes) {
            recipeFiles << QString::fromStdString(r.file);
            const QString path = kSourceDir + QStringLiteral("/data/") + recipeFiles.back();
            const PaletteTable made = makePalette(r);
            QVERIFY2(test::readFile(path) == QByteArray::fromStdString(paletteFileText(made)),
                     qPrintable(path + QStringLiteral(" differs from its recipe; run the palettes target")));
            PaletteTable read{};
            QCOMPARE(ReadPaletteFile(path.toStdString(), read), PaletteReadResult::Loaded);
            QVERIFY(read == made);
        }
        QStringList shipped{QStringLiteral("default.qpl")};
        const QDir palettes(kSourceDir + QStringLiteral("/data/palettes"));
        for (const QString& name : palettes.entryList({QStringLiteral("*.qpl")}, QDir::Files))
            shipped << QStringLiteral("palettes/") + name;
        QVERIFY2(shipped.size() >= 6, "default.qpl and at least five more palettes");
        shipped.sort();
        recipeFiles.sort();
        QCOMPARE(shipped, recipeFiles);
    }

    // The start-up palette: black inside the set, and a ramp without jumps
    // or black, so that escaping points never look like the set itself.
    void defaultIsASmoothRampWithBlackInside()
    {
        resetEngineState();
        QCOMPARE(ReadPaletteFile((kSourceDir + QStringLiteral("/data/default.qpl")).toStdString()),
                 PaletteReadResult::Loaded);
        QCOMPARE(paletteColour(PalTable, 0), rgb(0, 0, 0));
        for (int k = 1; k < kPaletteEntries; ++k) {
            const auto& entry = PalTable[std::size_t(k)];
            QVERIFY2(entry[0] + entry[1] + entry[2] >= 24, qPrintable(QString::number(k)));
            if (k > 1) {
                const auto& before = PalTable[std::size_t(k - 1)];
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(std::abs(entry[c] - before[c]) <= 16, qPrintable(QString::number(k)));
            }
        }
        resetEngineState();
    }
};

QTEST_GUILESS_MAIN(TestPaletteMaker)
#include "test_palette_maker.moc"
