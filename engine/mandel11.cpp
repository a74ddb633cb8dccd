#include "engine/mandel11.h"

#include "engine/escape_time.h"
#include "engine/grid_picture.h"

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
    scaleToGrid(pic, last, last);

    for (std::int32_t i = 0; i <= last; ++i) {
        drawGridColumn(pic, i, IterMap[static_cast<std::size_t>(i)].data(), last, maxIter, PalTable);
        pic.Refresh();
    }

    DrawDone = true;
    if (g_doEvents)
        g_doEvents();
}

}  // namespace quilfen
