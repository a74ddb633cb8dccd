// quilfen-cli render: the picture the main window shows for a region,
// written as a BMP file.

#include "bmp_writer.h"
#include "cli_commands.h"
#include "cli_options.h"
#include "escape_time.h"
#include "mandel11.h"
#include "palette_reader.h"

#include <QCoreApplication>
#include <QImage>

#include <cstdio>
#include <memory>
#include <string>

namespace quilfen::cli {

namespace {

constexpr std::int32_t kHalfSize = 200;

const char* paletteProblem(PaletteReadResult result)
{
    switch (result) {
    case PaletteReadResult::OpenFailed: return "cannot be opened";
    case PaletteReadResult::NotPalette: return "is not a palette table file";
    case PaletteReadResult::Broken: return "is broken";
    case PaletteReadResult::Loaded: break;
    }
    return nullptr;
}

// The visible part of the drawing, as the main window's picture holds it:
// grid point (i, j) on pixel column i, row 2N − j; the column i = 2N and the
// row j = 0 fall outside the 2N × 2N picture.
QImage visiblePicture(const IterGrid& grid, std::int32_t maxIter, const PaletteTable& table)
{
    const int side = 2 * kHalfSize;
    QImage image(side, side, QImage::Format_RGB32);
    for (int i = 0; i < side; ++i) {
        const auto& column = grid[static_cast<std::size_t>(i)];
        for (int j = 1; j <= side; ++j) {
            const Colour c =
                paletteColour(table, paletteIndex(column[static_cast<std::size_t>(j)], maxIter));
            image.setPixel(i, side - j,
                           qRgb(static_cast<int>(c & 0xFFU), static_cast<int>((c >> 8) & 0xFFU),
                                static_cast<int>((c >> 16) & 0xFFU)));
        }
    }
    return image;
}

}  // namespace

int runRender(const Options& options, int argc, char** argv)
{
    CalcCondition cond;
    cond.CentreRe = options.requireDouble("--centre-re");
    cond.CentreIm = options.requireDouble("--centre-im");
    cond.Range = options.requireDouble("--range");
    const auto maxIter =
        static_cast<std::int32_t>(options.requireInt("--max-iter", 1, kMaxIterLimit));
    const bool defaultPalette = !options.has("--palette");
    const std::string givenPalette = options.stringOr("--palette", {});
    const std::string out = options.requireString("--out");
    options.rejectUnused();

    // The default palette lives beside the program, never in the current folder.
    const QCoreApplication app(argc, argv);
    const QString besideProgram = QCoreApplication::applicationDirPath() + "/default.qpl";
    const std::string palettePath = defaultPalette ? besideProgram.toStdString() : givenPalette;

    auto table = std::make_unique<PaletteTable>();
    const PaletteReadResult read = ReadPaletteFile(palettePath, *table);
    if (const char* problem = paletteProblem(read)) {
        std::fprintf(stderr, "quilfen-cli: palette %s %s\n", palettePath.c_str(), problem);
        return 1;
    }

    const auto grid = std::make_unique<IterGrid>();
    computeIterMap(cond, kHalfSize, maxIter, *grid);

    QString error;
    const QImage picture = visiblePicture(*grid, maxIter, *table);
    // The name's own bytes: it need not be valid UTF-8.
    if (!writeBmpAtomically(picture, QByteArray::fromStdString(out), &error)) {
        std::fprintf(stderr, "quilfen-cli: cannot write %s: %s\n", out.c_str(), qPrintable(error));
        return 1;
    }
    return 0;
}

}  // namespace quilfen::cli
