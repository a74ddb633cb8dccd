// The zoom selection: a left-button drag over the picture draws a square
// rubber band in XOR; on release the user confirms, and the square, mapped
// through the conditions of the picture shown, becomes the next region.

#include "ui/main/mandel_window.h"

#include "engine/mandel11.h"
#include "engine/selection_geometry.h"
#include "platform/picture_box.h"
#include "platform/platform.h"

#include <QPointer>

#include <optional>

namespace quilfen {

namespace {

// Button bits of the mouse events.
constexpr int kLeftButton = 1;

constexpr Colour kBandColour = rgb(255, 255, 255);

// The band now on screen. Every draw is paired with an erase of exactly the
// same square, so the picture comes back bit for bit whatever the drawing
// surface makes of a square of side 0, and whatever the platform reports
// (a release where no move was reported, a press the band never saw).
struct ShownBand {
    QPointer<PictureBox> picture;  // null once that picture is gone
    float startX = 0.0F;
    float startY = 0.0F;
    float endX = 0.0F;
    float endY = 0.0F;
};

std::optional<ShownBand> g_shownBand;

// XOR pen, then copy pen again: drawing the same square twice cancels out.
void xorBand(const ShownBand& band)
{
    band.picture->setDrawMode(DrawMode::XorPen);
    band.picture->Line(band.startX, band.startY, band.endX, band.endY, kBandColour, true);
    band.picture->setDrawMode(DrawMode::CopyPen);
}

// Removes the band from the picture, if one is there.
void eraseBand(PictureBox& picture)
{
    if (g_shownBand && g_shownBand->picture == &picture)
        xorBand(*g_shownBand);
    g_shownBand.reset();
}

// Shows the band of the current selection, DragStart to DragEnd, in place of
// the one on screen.
void showBand(PictureBox& picture)
{
    eraseBand(picture);
    g_shownBand = ShownBand{&picture, DragStartX, DragStartY, DragEndX, DragEndY};
    xorBand(*g_shownBand);
}

// DragEnd becomes the far corner of the square from DragStart towards (x, y).
void followPointer(float x, float y)
{
    DragEndX = static_cast<float>(SquareEndX(DragStartX, DragStartY, x, y));
    DragEndY = static_cast<float>(SquareEndY(DragStartX, DragStartY, x, y));
}

}  // namespace

void MANDEL::Picture1_MouseDown(int button, int, float x, float y)
{
    // A band left over from a selection whose release never came goes first.
    eraseBand(*Picture1);
    if (button == kLeftButton && DrawDone) {
        DragStartX = x;
        DragStartY = y;
        Dragging = true;
        // A square of side 0: nothing to draw until the pointer moves.
        followPointer(x, y);
        return;
    }
    // Another button (or no picture yet) cancels a selection in progress.
    Dragging = false;
}

void MANDEL::Picture1_MouseMove(int button, int, float x, float y)
{
    if (button != kLeftButton || !DrawDone || !Dragging)
        return;
    followPointer(x, y);
    showBand(*Picture1);
}

void MANDEL::Picture1_MouseUp(int button, int, float x, float y)
{
    if (button != kLeftButton || !DrawDone || !Dragging)
        return;
    Dragging = false;
    // The release may come where no move was reported: the band then moves
    // to the square that the question is about.
    followPointer(x, y);
    showBand(*Picture1);

    const MsgAnswer answer = platform().messageBox({.text = QStringLiteral("描画範囲を変更しますか？"),
                                                    .title = QStringLiteral("描画範囲の変更"),
                                                    .buttons = MsgButtons::OkCancel});

    eraseBand(*Picture1);
    if (answer != MsgAnswer::Ok)
        return;
    CalcCond = selectedRegion(DrawnCond, DragStartX, DragStartY, DragEndX, DragEndY);
    MenuConditionCal_Click();
}

}  // namespace quilfen
