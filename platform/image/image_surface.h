#pragma once

#include "engine/picture_surface.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

namespace quilfen {

// A user scale: (x1, y1) is the top-left corner of the drawing area, (x2, y2)
// the bottom-right; until one is set, user units are pixels.
struct UserScale {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 1.0;
    double y2 = 1.0;
    bool set = false;
};

// The pixel of a colour in Qt's RGB32 layout (0xffRRGGBB).
QRgb toQRgb(Colour colour);

// A drawing surface whose drawing lives in an image in memory: what the
// picture box shows on screen, and what quilfen-cli and the preview tool
// write to a file. The drawing area is width × height pixels from the image's
// top-left corner (the image itself is never smaller than 1 × 1); user
// coordinates set by Scale map linearly onto the area, and until the first
// Scale a user unit is a pixel. It keeps the part changed since the last
// Refresh, which is what a window showing it needs to repaint.
class ImageSurface final : public PictureSurface {
public:
    // A drawing area of the given size, cleared to the background colour.
    // When memory for the image cannot be had, image() is null and drawing
    // changes nothing.
    explicit ImageSurface(QSize area = QSize(0, 0), QColor background = Qt::white);

    // An image has no place on a screen: only its size matters, and width
    // and height resize the area as setArea does.
    void setLeft(int /*px*/) override {}
    void setTop(int /*px*/) override {}
    void setWidth(int px) override { setArea(QSize(px, m_area.height())); }
    void setHeight(int px) override { setArea(QSize(m_area.width(), px)); }
    void Cls() override;
    void Scale(double x1, double y1, double x2, double y2) override;
    void PSet(double x, double y, Colour colour) override;
    void Line(double x1, double y1, double x2, double y2, Colour colour, bool box) override;
    void setDrawMode(DrawMode mode) override { m_drawMode = mode; }
    // Forgets the changed part: nothing is on a screen to show it.
    void Refresh() override { m_dirty = QRect(); }

    // Line, returning the pixels it changed that are worth repainting: a
    // segment's extent, or only the four sides of a box (not its inside).
    QRegion drawLine(double x1, double y1, double x2, double y2, Colour colour, bool box);

    // Resizes the drawing area (negative sizes count as 0), keeping what was
    // drawn in the part that remains; new parts take the background colour
    // and then the whole image counts as changed.
    void setArea(QSize area);
    QSize area() const { return m_area; }

    // The colour Cls and new parts of the image take.
    void setBackground(QColor background) { m_background = background; }

    // Wipes the drawing and shows the bitmap file at its natural size from
    // the top-left corner; false (and a blank picture) if it cannot be read,
    // is not a regular file or is larger than 64 MiB.
    bool LoadPicture(const QString& path);

    const QImage& image() const { return m_image; }

    // Pixel position of a point in user coordinates (rounded to the nearest pixel).
    QPoint toPixel(double x, double y) const;
    // User coordinates of a pixel position (for mouse events).
    QPointF toUser(QPointF pixel, QSize area) const;

    // The part of the image changed since the last Refresh, in pixels (empty
    // when nothing changed).
    QRect dirtyRect() const { return m_dirty; }
    // The changed part, which then counts as shown.
    QRect takeDirty();

private:
    void markDirty(const QRect& changed);

    QImage m_image;
    QSize m_imageSize;        // m_image.size() (0 × 0 when null), at hand for PSet
    QSize m_area;             // the drawing area, which Scale maps onto; invalid until the first setArea
    QColor m_background;
    QRect m_dirty;            // pixels changed since the last Refresh
    UserScale m_scale;
    DrawMode m_drawMode = DrawMode::CopyPen;
};

}  // namespace quilfen
