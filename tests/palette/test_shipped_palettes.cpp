// The palettes that ship with the program: every file under data/ loads as a
// complete table, is laid out canonically, and matches its recipe's inside
// colour. The files and recipes are read here with Qt, apart from the reader.

#include "mandel11.h"
#include "palette_reader.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

using namespace quilfen;

namespace {

const QString kSourceDir = QStringLiteral(QUILFEN_SOURCE_DIR);

// File (relative to data/) → inside colour as written in tools/palettes.txt.
QMap<QString, QList<int>> recipeInsideColours()
{
    QMap<QString, QList<int>> result;
    QFile file(kSourceDir + QStringLiteral("/tools/palettes.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return result;
    const QRegularExpression inside(QStringLiteral("\\binside=([0-9a-fA-F]{2})([0-9a-fA-F]{2})([0-9a-fA-F]{2})\\b"));
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString name = line.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
        const QRegularExpressionMatch m = inside.match(line);
        if (!m.hasMatch())
            continue;
        result.insert(name, {m.captured(1).toInt(nullptr, 16), m.captured(2).toInt(nullptr, 16),
                             m.captured(3).toInt(nullptr, 16)});
    }
    return result;
}

QStringList shippedFiles()
{
    QStringList files{QStringLiteral("default.qpl")};
    const QDir palettes(kSourceDir + QStringLiteral("/data/palettes"));
    for (const QString& name : palettes.entryList({QStringLiteral("*.qpl")}, QDir::Files, QDir::Name))
        files.append(QStringLiteral("palettes/") + name);
    return files;
}

}  // namespace

class TestShippedPalettes : public QObject {
    Q_OBJECT
private slots:
    void init() { resetEngineState(); }
    void cleanup() { resetEngineState(); }

    void everyRecipeHasItsFile()
    {
        const QStringList files = shippedFiles();
        const QStringList recipes = recipeInsideColours().keys();
        QVERIFY2(files.size() >= 6, "default.qpl and at least five more palettes");
        QStringList sortedFiles = files;
        sortedFiles.sort();
        QStringList sortedRecipes = recipes;
        sortedRecipes.sort();
        QCOMPARE(sortedFiles, sortedRecipes);
    }

    void loads_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<int>>("inside");
        const auto insides = recipeInsideColours();
        for (const QString& file : shippedFiles())
            QTest::newRow(qPrintable(file)) << file << insides.value(file);
    }

    void loads()
    {
        QFETCH(QString, file);
        QFETCH(QList<int>, inside);
        QCOMPARE(inside.size(), 3);
        const QString path = kSourceDir + QStringLiteral("/data/") + file;

        QCOMPARE(ReadPaletteFile(path.toStdString()), PaletteReadResult::Loaded);
        QCOMPARE(QList<int>({PalTable[0][0], PalTable[0][1], PalTable[0][2]}), inside);

        // Canonical layout: header, then 1025 records of three values in
        // 0 … 255, every line ended by CR LF, nothing else.
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(raw.readAll());
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));
        const QStringList lines = text.chopped(2).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 1 + kPaletteEntries);
        QCOMPARE(lines[0], QStringLiteral("Quilfen Palette Table File"));
        const QRegularExpression record(QStringLiteral("^(\\d{1,3}),(\\d{1,3}),(\\d{1,3})$"));
        for (int k = 0; k < kPaletteEntries; ++k) {
            const QRegularExpressionMatch m = record.match(lines[k + 1]);
            QVERIFY2(m.hasMatch(), qPrintable(QStringLiteral("entry %1: %2").arg(k).arg(lines[k + 1])));
            for (int c = 0; c < 3; ++c) {
                const int value = m.captured(c + 1).toInt();
                QVERIFY(value <= 255);
                QCOMPARE(int(PalTable[std::size_t(k)][std::size_t(c)]), value);
            }
        }
    }

    // The start-up palette: black inside the set, and a ramp without jumps
    // or black, so that escaping points never look like the set itself.
    void defaultIsASmoothRampWithBlackInside()
    {
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
    }
};

QTEST_GUILESS_MAIN(TestShippedPalettes)
#include "test_shipped_palettes.moc"
