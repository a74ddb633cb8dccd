#include "platform/image/image_surface.h"

#include "platform/files/regular_file.h"

#include <QFile>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quilfen {

namespace {

// Pixel positions far outside the picture are pulled in to this bound, so a
// wild mouse position or region never overflows an int; both draws of an XOR
// figure are pulled in the same way, so they still cancel.
constexpr double kPixelBound = 1.0e6;

// A picture file larger than this is not shown (a bitmap of the preview's
// size takes about 120 KB).
constexpr std::size_t kMaxPictureFileBytes = 64u << 20;

int toPixelCoordinate(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::floor(std::clamp(v, -kPixelBound, kPixelBound) + 0.5));
}

// One axis of a user scale running from `from` to `to` over `pixels` pixels:
// the pixel of v is (v − from) × pixels / (to − from), rounded.
int toPixelOnAxis(double v, double from, double to, int pixels)
{
    const double offset = v - from;
    const double span = to - from;
    // One user unit per pixel and a whole offset (a grid drawn on its
    // picture): the product and the quotient are exact, so the pixel is the
    // offset itself and the two divisions per point can be skipped.
    if (pixels > 0 && std::abs(span) == pixels && std::abs(offset) <= kPixelBound) {
        const int whole = static_cast<int>(offset);
        if (whole == offset)
            return span > 0 ? whole : -whole;
    }
    return toPixelCoordinate(offset * pixels / span);
}

// The pixel of (x, y) under the scale on an area of the given size. Inlined
// into PSet, which calls it once per point of a drawing.
inline QPoint mapToPixel(const UserScale& scale, double x, double y, QSize area)
{
    if (!scale.set)
        return {toPixelCoordinate(x), toPixelCoordinate(y)};
    return {toPixelOnAxis(x, scale.x1, scale.x2, area.width()),
            toPixelOnAxis(y, scale.y1, scale.y2, area.height())};
}

// The pixels from a to b, both included, whichever way round they are given.
QRect spanning(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

// The one-pixel outline of the rectangle with corners a and b: its four sides
// as rectangles (fewer when it is one pixel wide or high), clipped to bounds.
QRegion outlineRegion(QPoint a, QPoint b, const QRect& bounds)
{
    const QRect box = spanning(a, b);
    QRegion outline;
    outline += QRect(box.left(), box.top(), box.width(), 1);
    outline += QRect(box.left(), box.bottom(), box.width(), 1);
    outline += QRect(box.left(), box.top(), 1, box.height());
    outline += QRect(box.right(), box.top(), 1, box.height());
    return outline & bounds;
}

// Sets (or in XOR mode inverts) every pixel of the rectangle's one-pixel
// outline exactly once, corners included, clipped to the image. QPainter's
// cosmetic drawRect drops a corner pixel when the rectangle is clipped or one
// pixel wide, which leaves gaps in a rubber band that follows the pointer.
void drawOutline(QImage& image, QPoint a, QPoint b, QRgb colour, bool xorMode)
{
    const QRect box = spanning(a, b);
    const int left = box.left();
    const int right = box.right();
    const int top = box.top();
    const int bottom = box.bottom();
    auto plot = [&](int x, int y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        row[x] = xorMode ? 0xFF000000U | ((row[x] ^ colour) & 0x00FFFFFFU) : colour;
    };
    const int xFrom = std::max(left, 0);
    const int xTo = std::min(right, image.width() - 1);
    const int yFrom = std::max(top + 1, 0);
    const int yTo = std::min(bottom - 1, image.height() - 1);
    for (int y : {top, bottom}) {
        if (y >= 0 && y < image.height())
            for (int x = xFrom; x <= xTo; ++x)
                plot(x, y);
        if (bottom == top)
            break;
    }
    for (int x : {left, right}) {
        if (x >= 0 && x < image.width())
            for (int y = yFrom; y <= yTo; ++y)
                plot(x, y);
        if (right == left)
            break;
    }
}

}  // namespace

QRgb toQRgb(Colour colour)
{
    return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

ImageSurface::ImageSurface(QSize area, QColor background) : m_background(background)
{
    setArea(area);
    m_dirty = QRect();  // nothing is drawn yet
}

void ImageSurface::setArea(QSize area)
{
    area = area.expandedTo(QSize(0, 0));
    if (area == m_area)
        return;
    m_area = area;
    const QSize size = area.expandedTo(QSize(1, 1));
    if (size == m_imageSize)
        return;
    QImage resized(size, QImage::Format_RGB32);
    if (!resized.isNull()) {
        resized.fill(m_background);
        if (!m_image.isNull()) {
            QPainter painter(&resized);
            painter.drawImage(0, 0, m_image);
        }
    }
    m_image = resized;
    m_imageSize = m_image.size();
    m_dirty = m_image.rect();
}

void ImageSurface::markDirty(const QRect& changed)
{
    m_dirty |= changed & m_image.rect();
}

QRect ImageSurface::takeDirty()
{
    const QRect changed = m_dirty;
    m_dirty = QRect();
    return changed;
}

void ImageSurface::Cls()
{
    if (m_image.isNull())
        return;
    m_image.fill(m_background);
    m_dirty = m_image.rect();
}

void ImageSurface::Scale(double x1, double y1, double x2, double y2)
{
    m_scale = {x1, y1, x2, y2, true};
}

QPoint ImageSurface::toPixel(double x, double y) const
{
    return mapToPixel(m_scale, x, y, m_area);
}

QPointF ImageSurface::toUser(QPointF pixel, QSize area) const
{
    if (!m_scale.set)
        return pixel;
    return {m_scale.x1 + pixel.x() * (m_scale.x2 - m_scale.x1) / area.width(),
            m_scale.y1 + pixel.y() * (m_scale.y2 - m_scale.y1) / area.height()};
}

// Called once per point of a drawing, so it avoids what costs: the image's
// size is kept at hand, and the changed area grows by plain comparisons.
void ImageSurface::PSet(double x, double y, Colour colour)
{
    const QPoint p = mapToPixel(m_scale, x, y, m_area);
    if (p.x() < 0 || p.y() < 0 || p.x() >= m_imageSize.width() || p.y() >= m_imageSize.height())
        return;
    auto* row = reinterpret_cast<QRgb*>(m_image.scanLine(p.y()));
    if (m_drawMode == DrawMode::XorPen)
        row[p.x()] = 0xFF000000U | ((row[p.x()] ^ toQRgb(colour)) & 0x00FFFFFFU);
    else
        row[p.x()] = toQRgb(colour);
    if (m_dirty.isEmpty()) {
        m_dirty = QRect(p, p);
        return;
    }
    if (p.x() < m_dirty.left())
        m_dirty.setLeft(p.x());
    else if (p.x() > m_dirty.right())
        m_dirty.setRight(p.x());
    if (p.y() < m_dirty.top())
        m_dirty.setTop(p.y());
    else if (p.y() > m_dirty.bottom())
        m_dirty.setBottom(p.y());
}

void ImageSurface::Line(double x1, double y1, double x2, double y2, Colour colour, bool box)
{
    drawLine(x1, y1, x2, y2, colour, box);
}

QRegion ImageSurface::drawLine(double x1, double y1, double x2, double y2, Colour colour, bool box)
{
    if (m_image.isNull())
        return {};
    const QPoint a = toPixel(x1, y1);
    const QPoint b = toPixel(x2, y2);
    if (box) {
        drawOutline(m_image, a, b, toQRgb(colour), m_drawMode == DrawMode::XorPen);
        markDirty(spanning(a, b));
        return outlineRegion(a, b, m_image.rect());
    }
    QPainter painter(&m_image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (m_drawMode == DrawMode::XorPen)
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(QColor(toQRgb(colour)));
    pen.setWidth(0);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(a, b);
    painter.end();
    const QRect changed = spanning(a, b) & m_image.rect();
    markDirty(changed);
    return changed;
}

bool ImageSurface::LoadPicture(const QString& path)
{
    if (m_image.isNull())
        return false;
    m_image.fill(m_background);
    // Read as the palette reader reads: a named pipe or a device under the
    // name must not hang the program or fill the memory.
    const FileContent file = readRegularFile(QFile::encodeName(path).toStdString(), kMaxPictureFileBytes);
    QImage picture;
    const bool loaded = file.status == FileReadStatus::Read &&
                        picture.loadFromData(reinterpret_cast<const uchar*>(file.bytes.data()),
                                             static_cast<int>(file.bytes.size()));
    if (loaded) {
        QPainter painter(&m_image);
        painter.drawImage(0, 0, picture);
    }
    m_dirty = m_image.rect();
    return loaded;
}

}  // namespace quilfen
