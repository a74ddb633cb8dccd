#include "platform/picture_box.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace quilfen {

namespace {

// 1, 2 and 4 for the first, second and third flag, added up over those set.
template <typename Flag>
int flagBits(QFlags<Flag> set, Flag one, Flag two, Flag four)
{
    return (set.testFlag(one) ? 1 : 0) | (set.testFlag(two) ? 2 : 0) | (set.testFlag(four) ? 4 : 0);
}

}  // namespace

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent), m_surface(QSize(0, 0), backgroundColour())
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        m_pacing = Pacing::DisplayFrames;
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &PictureBox::showWhenFrameDue);
}

void PictureBox::setPacing(Pacing pacing)
{
    showPending();
    m_pacing = pacing;
    m_lastShown.reset();
}

QColor PictureBox::backgroundColour() const
{
    return palette().color(QPalette::Window);
}

void PictureBox::setLeft(int px) { move(px, y()); }
void PictureBox::setTop(int px) { move(x(), px); }
void PictureBox::setWidth(int px) { resize(std::max(px, 0), height()); }
void PictureBox::setHeight(int px) { resize(width(), std::max(px, 0)); }

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    syncImageSize();
}

// A hidden widget gets its resize event only when shown, so every drawing
// operation first brings the image to the widget's current size, keeping what
// was drawn in the part that remains. The background follows the widget's
// palette as it is now.
void PictureBox::syncImageSize()
{
    m_surface.setBackground(backgroundColour());
    m_surface.setArea(size());
}

void PictureBox::Cls()
{
    syncImageSize();
    m_surface.Cls();
    update();
}

// Called once per point of a drawing: the image is brought to the widget's
// size only when the two differ.
void PictureBox::PSet(double x, double y, Colour colour)
{
    if (size() != m_surface.area())
        syncImageSize();
    m_surface.PSet(x, y, colour);
}

// A rubber band that follows the pointer repaints its four sides, not the
// whole picture inside them.
void PictureBox::Line(double x1, double y1, double x2, double y2, Colour colour, bool box)
{
    syncImageSize();
    update(repaintArea(m_surface.drawLine(x1, y1, x2, y2, colour, box)));
}

// Repaints the part changed since the last Refresh: at once, or paced to the
// display's frames (see Pacing). Repainting the whole picture after each of
// DrawMandel's 401 columns sent the X server 256 MB per drawing.
void PictureBox::Refresh()
{
    if (m_pacing == Pacing::EveryRefresh) {
        const QRect changed = m_surface.takeDirty();
        if (!changed.isEmpty())
            repaint(repaintArea(changed));
        return;
    }
    if (!m_surface.dirtyRect().isEmpty())
        showWhenFrameDue();
}

// Shows what waits if the display's next frame is due by the tick count,
// otherwise leaves it to the frame timer, which comes back here then.
void PictureBox::showWhenFrameDue()
{
    const std::uint32_t frame = frameTicks();
    // Unsigned differences stay right when the tick count wraps around.
    const std::uint32_t since = platform().tickCount() - m_lastShown.value_or(0);
    if (!m_lastShown || since >= frame)
        showPending();
    else if (!m_frameTimer.isActive())
        m_frameTimer.start(static_cast<int>(frame - since));
}

void PictureBox::showPending()
{
    m_frameTimer.stop();
    const QRect changed = m_surface.takeDirty();
    if (changed.isEmpty())
        return;
    if (m_pacing == Pacing::DisplayFrames)
        m_lastShown = platform().tickCount();
    repaint(repaintArea(changed));
}

// Whole milliseconds of one refresh of the screen the box is on (a 60 Hz
// display gives 16): never longer than the display's own interval, so a
// frame the display could show is never skipped.
std::uint32_t PictureBox::frameTicks() const
{
    const QScreen* shownOn = screen();
    qreal rate = shownOn != nullptr ? shownOn->refreshRate() : 0.0;
    if (!(rate >= 1.0 && rate <= 1000.0))
        rate = 60.0;
    return static_cast<std::uint32_t>(1000.0 / rate);
}

// Under a fractional scale factor Qt's scaled drawing rounds the image pixel
// that a screen pixel shows differently depending on where the painted area
// starts, so a partial repaint could show a neighbouring pixel that a full one
// does not: there the whole picture is repainted, as a full repaint shows it.
QRegion PictureBox::repaintArea(const QRegion& changed) const
{
    const qreal ratio = devicePixelRatioF();
    return ratio == std::floor(ratio) ? changed : QRegion(rect());
}

bool PictureBox::LoadPicture(const QString& path)
{
    syncImageSize();
    const bool loaded = m_surface.LoadPicture(path);
    update();
    return loaded;
}

// Emits a mouse signal with the bits of the buttons and keys and the position in user units.
void PictureBox::emitMouse(MouseSignal signal, Qt::MouseButtons buttons, QMouseEvent* event)
{
    const QPointF user = m_surface.toUser(event->position(), size());
    emit(this->*signal)(flagBits(buttons, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton),
                        flagBits(event->modifiers(), Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier),
                        static_cast<float>(user.x()), static_cast<float>(user.y()));
}

void PictureBox::mousePressEvent(QMouseEvent* event) { emitMouse(&PictureBox::mouseDown, event->button(), event); }
void PictureBox::mouseMoveEvent(QMouseEvent* event) { emitMouse(&PictureBox::mouseMove, event->buttons(), event); }
void PictureBox::mouseReleaseEvent(QMouseEvent* event) { emitMouse(&PictureBox::mouseUp, event->button(), event); }

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), m_surface.image(), event->rect());
}

}  // namespace quilfen
