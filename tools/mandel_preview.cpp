// quilfen-preview: draws the picture of the whole set that the conditions
// dialog shows behind its preview, with the program's own engine and colours.
//
//   quilfen-preview <palette.qpl> <out.bmp> [max iterations, default 500]
//
// The dialog's preview box is 198 × 198 pixels with (-2, 2) at its top-left
// corner and (1.94, -1.94) at its bottom-right, so one pixel is 3.94 / 198
// units and pixel (px, py) shows c = -2 + px·d, 2 - py·d. The picture covers
// the square -2 … 2 at that scale: 201 × 201 pixels, the last ending at
// 1.9999. The overlay's axes and corner lines then fall where they belong.

#include "engine/grid_picture.h"
#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "platform/image/bmp_writer.h"
#include "platform/image/image_surface.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <iostream>

namespace {

constexpr double kPixel = 3.94 / 198.0;  // preview units per pixel
constexpr int kHalf = 100;               // grid of 2·100 + 1 = 201 points a side

}  // namespace

int main(int argc, char* argv[])
{
    using namespace quilfen;
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: quilfen-preview <palette.qpl> <out.bmp> [max iterations]\n";
        return 2;
    }
    const int maxIter = argc == 4 ? std::atoi(argv[3]) : 500;
    if (maxIter < 1 || maxIter > kMaxIterLimit) {
        std::cerr << "max iterations must be 1 … " << kMaxIterLimit << '\n';
        return 2;
    }

    resetEngineState();
    if (ReadPaletteFile(argv[1]) != PaletteReadResult::Loaded) {
        std::cerr << argv[1] << ": not a complete palette table file\n";
        return 1;
    }

    // The grid's column 0 is the left edge x = -2 and its top row the top
    // edge y = 2, with the preview's pixel as the spacing.
    const double range = 2 * kHalf * kPixel;
    CalcCond = {-2.0 + range / 2, 2.0 - range / 2, range};
    HalfSize = kHalf;
    MaxIter = maxIter;
    CalcMandel();

    // Pixel (px, py) shows grid point (px, 2N − py): the top row is j = 2N,
    // and the picture is one pixel wider and higher than 2N to show the last
    // column and row.
    const int side = 2 * kHalf + 1;
    ImageSurface picture(QSize(side, side));
    scaleToGrid(picture, 2 * kHalf, side);
    for (int px = 0; px < side; ++px)
        drawGridColumn(picture, px, IterMap[static_cast<std::size_t>(px)].data(), 2 * kHalf, MaxIter, PalTable);

    // Written whole or not at all, so the build never sees half a picture.
    QString error;
    if (!writeBmpAtomically(picture.image(), QByteArray(argv[2]), &error)) {
        std::cerr << argv[2] << ": " << error.toStdString() << '\n';
        return 1;
    }
    return 0;
}
