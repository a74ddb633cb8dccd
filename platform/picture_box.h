#pragma once

#include "engine/picture_surface.h"
#include "platform/image/image_surface.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace quilfen {

// A picture box: a widget whose drawing lives in a persistent image (its
// Image, kept by an ImageSurface as large as the widget) that survives being
// covered, is what paintEvent shows, and is what the export commands save. It
// has no frame, so its drawing area is its whole outer box, and user
// coordinates set by Scale map linearly onto it.
class PictureBox : public QWidget, public PictureSurface {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setLeft(int px) override;
    void setTop(int px) override;
    void setWidth(int px) override;
    void setHeight(int px) override;
    void Cls() override;
    void Scale(double x1, double y1, double x2, double y2) override { m_surface.Scale(x1, y1, x2, y2); }
    void PSet(double x, double y, Colour colour) override;
    void Line(double x1, double y1, double x2, double y2, Colour colour, bool box) override;
    void setDrawMode(DrawMode mode) override { m_surface.setDrawMode(mode); }
    void Refresh() override;

    // Wipes the drawing and shows the bitmap file at its natural size from
    // the top-left corner; false (and a blank picture) if it cannot be read,
    // is not a regular file or is larger than 64 MiB.
    bool LoadPicture(const QString& path);

    // The persistent image, as large as the widget.
    const QImage& image()
    {
        syncImageSize();
        return m_surface.image();
    }

    QColor backgroundColour() const;

    // The part of the image changed since the last Refresh, in pixels
    // (empty when nothing changed): what the next Refresh repaints. Paced to
    // the display, it also holds what Refresh left for the next frame.
    QRect dirtyRect() const { return m_surface.dirtyRect(); }

    // How Refresh reaches the screen. EveryRefresh repaints at once, which on
    // X11 and offscreen costs little. On Wayland every repaint is a commit of
    // the window's buffer to the compositor, a round trip that made a drawing
    // a hundred times slower than its computation, so there Refresh repaints
    // when the display's next frame is due (one refresh interval of the
    // screen, by the platform's tick count, after the last repaint) and
    // otherwise leaves the changed part to that frame: a timer repaints it
    // then if no Refresh came first. Input is never handled meanwhile.
    enum class Pacing { EveryRefresh, DisplayFrames };
    Pacing pacing() const { return m_pacing; }
    void setPacing(Pacing pacing);

    // Repaints at once what paced Refreshes left for the next frame.
    void showPending();

signals:
    // Mouse events in user units. For presses and releases `button` is the
    // one button that changed (1 left, 2 right, 4 middle); for moves it is
    // the set of buttons held. `shift` is 1 Shift, 2 Ctrl, 4 Alt.
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    using MouseSignal = void (PictureBox::*)(int, int, float, float);
    void emitMouse(MouseSignal signal, Qt::MouseButtons buttons, QMouseEvent* event);
    void syncImageSize();
    QRegion repaintArea(const QRegion& changed) const;
    void showWhenFrameDue();
    std::uint32_t frameTicks() const;

    ImageSurface m_surface;
    Pacing m_pacing = Pacing::EveryRefresh;
    std::optional<std::uint32_t> m_lastShown;  // tick count of the last paced repaint
    QTimer m_frameTimer;                       // repaints what waits for the next frame
};

}  // namespace quilfen
