#include "mandel11.h"

#include "escape_time.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quilfen {

CalcCondition CalcCond;
CalcCondition DrawnCond;
std::int32_t HalfSize = 0;
std::int32_t MaxIter = 0;
IterGrid IterMap{};
PaletteTable PalTable{};
bool DrawDone = false;
bool Dragging = false;
float DragStartX = 0.0F;
float DragStartY = 0.0F;
float DragEndX = 0.0F;
float DragEndY = 0.0F;
float CalcSeconds = 0.0F;
std::string MflopsText;
bool BenchInvalid = false;

namespace {
PictureSurface* g_picture = nullptr;
std::function<void()> g_doEvents;
}  // namespace

void resetEngineState()
{
    CalcCond = {};
    DrawnCond = {};
    HalfSize = 0;
    MaxIter = 0;
    for (auto& column : IterMap)
        column.fill(0);
    for (auto& entry : PalTable)
        entry.fill(0);
    DrawDone = false;
    Dragging = false;
    DragStartX = DragStartY = DragEndX = DragEndY = 0.0F;
    CalcSeconds = 0.0F;
    MflopsText.clear();
    BenchInvalid = false;
}

void CalcMandel(EngineWork work)
{
    computeIterMap(CalcCond, HalfSize, MaxIter, IterMap, work);
    DrawnCond = CalcCond;
}

void attachPicture(PictureSurface* picture, std::function<void()> doEvents)
{
    g_picture = picture;
    g_doEvents = std::move(doEvents);
}

int paletteIndex(std::int32_t m, std::int32_t maxIter)
{
    // Counts at or above the limit, and the 0 of a grid never computed, take entry 0.
    if (m >= maxIter || m <= 0)
        return 0;
    const double f = static_cast<double>(m) / static_cast<double>(maxIter);
    // The argument is at least 0.5 here, so truncation is the floor (and cheaper).
    return static_cast<int>(f * 1024.0 + 0.5);
}

Colour paletteColour(const PaletteTable& table, int k)
{
    const auto& entry = table[static_cast<std::size_t>(k)];
    auto clamp = [](std::int16_t c) { return std::clamp<int>(c, 0, 255); };
    return rgb(clamp(entry[0]), clamp(entry[1]), clamp(entry[2]));
}

std::uint32_t countPixel(const PaletteTable& table, std::int32_t m, std::int32_t maxIter)
{
    const Colour c = paletteColour(table, paletteIndex(m, maxIter));
    return 0xFF000000U | ((c & 0xFFU) << 16) | (c & 0xFF00U) | ((c >> 16) & 0xFFU);
}

void colourColumn(const std::int32_t* counts, std::int32_t topRow, std::int32_t rows,
                  std::int32_t maxIter, const PaletteTable& table, std::uint32_t* pixels,
                  std::int32_t x, std::ptrdiff_t pixelsPerRow)
{
    for (std::int32_t y = 0; y < rows; ++y)
        pixels[y * pixelsPerRow + x] = countPixel(table, counts[topRow - y], maxIter);
}

void DrawMandel()
{
    if (g_picture == nullptr)
        return;
    PictureSurface& pic = *g_picture;
    const std::int32_t n = HalfSize;
    const std::int32_t last = 2 * n;
    const std::int32_t maxIter = MaxIter;

    pic.setLeft(8);
    pic.setTop(8);
    pic.setWidth(2 * n);
    pic.setHeight(2 * n);
    pic.Cls();
    pic.Scale(0.0, 2.0 * n, 2.0 * n, 0.0);

    for (std::int32_t i = 0; i <= last; ++i) {
        const auto& column = IterMap[static_cast<std::size_t>(i)];
        for (std::int32_t j = 0; j <= last; ++j) {
            const int k = paletteIndex(column[static_cast<std::size_t>(j)], maxIter);
            pic.PSet(i, j, paletteColour(PalTable, k));
        }
        pic.Refresh();
    }

    DrawDone = true;
    if (g_doEvents)
        g_doEvents();
}

}  // namespace quilfen
