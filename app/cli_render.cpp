// quilfen-cli render: the picture the main window shows for a region, at the
// window's 400 × 400 pixels or any size up to kMaxSize, written as a BMP or
// PNG file. The counts are computed a strip of columns at a time and coloured
// into the picture at once, so memory is the picture and one strip. --from
// renders a PNG it wrote again, by default at its size with its palette.

#include "app/cli_commands.h"
#include "app/cli_files.h"
#include "app/cli_options.h"
#include "app/picture_region.h"
#include "bench/build_record.h"
#include "bench/grid_checksum.h"
#include "engine/escape_time.h"
#include "engine/grid_picture.h"
#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "platform/image/image_surface.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quilfen::cli {

namespace {

constexpr std::int64_t kDefaultSize = 2 * kHalfSize;  // the main window's picture
constexpr std::int64_t kMaxSize = 16384;
constexpr std::int32_t kStripColumns = 32;
constexpr std::chrono::seconds kQuietTime{1};  // no progress shown for shorter renders

// The visible part of the drawing, as the main window's picture holds it at
// side N: grid point (i, j) on pixel column i, row N − j; the column i = N and
// the row j = 0 fall outside the N × N picture and are not computed. Null when
// there is no memory for the picture.
QImage visiblePicture(const CalcCondition& cond, std::int32_t side, std::int32_t maxIter,
                      const PaletteTable& table)
{
    ImageSurface picture(QSize(side, side));
    if (picture.image().isNull())
        return {};
    scaleToGrid(picture, side, side);
    // A grid of side + 1 points a side, as the window's of HalfSize = side / 2.
    const GridFrame frame = gridFrame(cond, side);
    const std::int32_t columnsPerStrip = std::min(kStripColumns, side);
    const std::ptrdiff_t rows = side + 1;
    std::vector<std::int32_t> strip(static_cast<std::size_t>(columnsPerStrip) * static_cast<std::size_t>(rows));
    // How far the render has got, on stderr when it is a terminal and the
    // render has taken more than a second.
    const bool showProgress = isatty(STDERR_FILENO) == 1;
    const auto start = std::chrono::steady_clock::now();
    bool progressShown = false;
    for (std::int32_t first = 0; first < side; first += columnsPerStrip) {
        const std::int32_t columns = std::min(columnsPerStrip, side - first);
        computeColumns(frame, first, columns, side, maxIter, strip.data(), rows);
        for (std::int32_t c = 0; c < columns; ++c)
            drawGridColumn(picture, first + c, strip.data() + c * rows, side, maxIter, table);
        if (showProgress && std::chrono::steady_clock::now() - start >= kQuietTime) {
            std::fprintf(stderr, "\rquilfen-cli: rendering %3d %%", (first + columns) * 100 / side);
            progressShown = true;
        }
    }
    if (progressShown)
        std::fputc('\n', stderr);
    return picture.image();
}

}  // namespace

int runRender(const Options& options, int argc, char** argv)
{
    const bool fromPicture = options.has("--from");
    CalcCondition cond;
    std::int32_t maxIter = 1;
    std::string from;
    if (fromPicture) {
        for (const char* name : {"--centre-re", "--centre-im", "--range", "--max-iter"})
            if (options.has(name))
                throw UsageError(std::string("--from takes the region from the picture: ") + name +
                                 " cannot be given with it");
        from = options.requireString("--from");
    } else {
        cond.CentreRe = options.requireDouble("--centre-re");
        cond.CentreIm = options.requireDouble("--centre-im");
        cond.Range = options.requireDouble("--range");
        maxIter = static_cast<std::int32_t>(options.requireInt("--max-iter", 1, kMaxIterLimit));
    }
    const bool givenPalette = options.has("--palette");
    std::string palettePath = givenPalette ? options.requireString("--palette") : std::string();
    const bool givenSize = options.has("--size");
    auto side = static_cast<std::int32_t>(options.intOr("--size", kDefaultSize, 1, kMaxSize));
    PictureDestination destination(options);
    options.rejectUnused();

    const QCoreApplication app(argc, argv);
    PictureRegion source;
    if (fromPicture) {
        std::string problem;
        if (!readRegionText(from, kMaxIterLimit, kMaxSize, source, problem)) {
            std::fprintf(stderr, "quilfen-cli: %s %s\n", from.c_str(), problem.c_str());
            return 1;
        }
        cond = source.cond;
        maxIter = source.maxIter;
        if (!givenSize)
            side = source.size;
    }
    // Without --palette, the picture's own palette, or the default palette,
    // which lives beside the program, never in the current folder.
    const bool picturesPalette = fromPicture && !givenPalette;
    const bool defaultPalette = !givenPalette && (!fromPicture || source.palette == kDefaultPaletteEntry);
    if (defaultPalette)
        palettePath = QCoreApplication::applicationDirPath().toStdString() + "/default.qpl";
    else if (picturesPalette)
        palettePath = source.palette;

    auto table = std::make_unique<PaletteTable>();
    PaletteReadDetail why;
    if (ReadPaletteFile(palettePath, *table, &why) != PaletteReadResult::Loaded) {
        std::fprintf(stderr, "quilfen-cli: palette %s %s%s\n", palettePath.c_str(), paletteProblem(why).c_str(),
                     picturesPalette ? " (the palette the picture was drawn with; give another with --palette)"
                                     : "");
        return 1;
    }
    PictureRegion region{cond, maxIter, side, kDefaultPaletteEntry, paletteChecksum(*table), programVersion()};
    if (picturesPalette && region.paletteChecksum != source.paletteChecksum) {
        std::fprintf(stderr,
                     "quilfen-cli: palette %s is no longer the table %s was drawn with (its checksum differs); "
                     "give the palette to use with --palette\n",
                     palettePath.c_str(), from.c_str());
        return 1;
    }
    if (!defaultPalette)
        region.palette = QFileInfo(QFile::decodeName(palettePath.c_str())).absoluteFilePath().toStdString();
    // Before the picture is made: a long render learns at once that its
    // picture could not be written.
    if (!destination.open())
        return 1;

    QImage picture = visiblePicture(cond, side, maxIter, *table);
    if (picture.isNull()) {
        std::fprintf(stderr, "quilfen-cli: no memory for a %d x %d picture\n", side, side);
        return 1;
    }
    // The only reference to its pixels: no copy is made.
    setRegionText(picture, region);
    return destination.write(picture) ? 0 : 1;
}

}  // namespace quilfen::cli
