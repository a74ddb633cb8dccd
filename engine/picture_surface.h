#pragma once

#include <cstdint>
#include <string>

namespace quilfen {

// A colour as red + 256 × green + 65536 × blue, each component 0 … 255.
using Colour = std::uint32_t;

constexpr Colour rgb(int red, int green, int blue)
{
    return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
           (static_cast<Colour>(blue) << 16);
}

enum class DrawMode { XorPen = 7, CopyPen = 13 };

// The drawing surface the engine paints on (the main window's Picture1, or a
// picture in memory that quilfen-cli and the preview generator write out).
// Positions are in the surface's user coordinates set by Scale; geometry
// (left, top, width, height) is in the parent window's pixels. Everything
// drawn goes into a persistent image that survives repaints.
class PictureSurface {
public:
    virtual ~PictureSurface() = default;

    virtual void setLeft(int px) = 0;
    virtual void setTop(int px) = 0;
    virtual void setWidth(int px) = 0;
    virtual void setHeight(int px) = 0;

    // Clears the whole image to the background (window-face) colour.
    virtual void Cls() = 0;
    // (x1, y1) becomes the top-left corner of the drawing area, (x2, y2) the bottom-right.
    virtual void Scale(double x1, double y1, double x2, double y2) = 0;
    virtual void PSet(double x, double y, Colour colour) = 0;
    // A one-pixel segment, or with box set the outline of the rectangle
    // with corners (x1, y1) and (x2, y2).
    virtual void Line(double x1, double y1, double x2, double y2, Colour colour, bool box) = 0;
    virtual void setDrawMode(DrawMode mode) = 0;
    // Shows on screen at once what was drawn since the last Refresh, without
    // processing other events.
    virtual void Refresh() = 0;
};

}  // namespace quilfen
