#include "platform/SurfaceWidget.h"

#include "platform/Drawing.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

SurfaceWidget::SurfaceWidget(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitSurface(size());
}

void SurfaceWidget::setBlankColour(QRgb colour)
{
    m_blank = colour | 0xFF000000u;
    m_surface.fill(m_blank);
    update();
}

int SurfaceWidget::devicePixelsPerSurfacePixel() const
{
    // A whole part of the scale enlarges each surface pixel to a square of device pixels; the
    // rest the surface takes into its own size.
    return std::max(1, int(std::floor(devicePixelRatioF() + 1e-9)));
}

double SurfaceWidget::surfaceScale() const
{
    return devicePixelRatioF() / devicePixelsPerSurfacePixel();
}

// At a fractional scale a widget may begin inside a device pixel, which it does not paint; the
// surface then begins with the next one, so that each of its pixels covers whole device pixels.
QPointF SurfaceWidget::surfaceOrigin() const
{
    const QPointF device = QPointF(mapTo(window(), QPoint(0, 0))) * devicePixelRatioF();
    return { std::ceil(device.x() - 1e-6), std::ceil(device.y() - 1e-6) };
}

QPoint SurfaceWidget::surfacePointOf(const QSinglePointEvent& event) const
{
    // The window's position of the event is exact; the widget's own is rounded. A move that Qt
    // makes up itself (after a click elsewhere) leaves the window's position unset, and only
    // then is the widget's own taken.
    const QPointF rounded = QPointF(mapTo(window(), QPoint(0, 0))) + event.position();
    const QPointF exact = event.scenePosition();
    const QPointF off = exact - rounded;
    const bool sameEvent = std::abs(off.x()) <= 0.5 + 1e-6 && std::abs(off.y()) <= 0.5 + 1e-6;
    const QPointF inWindow = sameEvent ? exact : rounded;
    // The window system counts in whole device pixels; a small allowance keeps a position that
    // came back from logical coordinates a hair short of its pixel on that pixel.
    const QPointF device = inWindow * devicePixelRatioF() - surfaceOrigin();
    const int k = devicePixelsPerSurfacePixel();
    return { int(std::floor((device.x() + 1e-6) / k)), int(std::floor((device.y() + 1e-6) / k)) };
}

void SurfaceWidget::surfaceChanged(const QRect& rect)
{
    const double scale = surfaceScale();
    if (scale == 1.0) {
        update(rect);
        return;
    }
    // A pixel more around it: the surface may begin up to a device pixel into the widget.
    update(QRectF(QPointF(rect.topLeft()) / scale, QSizeF(rect.size()) / scale).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void SurfaceWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const double scale = surfaceScale();
    if (scale == 1.0) {
        painter.drawImage(event->rect(), m_surface, event->rect());
        return;
    }
    // The surface's pixels, shared rather than copied, carry its scale, so Qt lays them onto the
    // device pixels one to one, from the whole device pixel where the surface begins.
    QImage shown(m_surface.bits(), m_surface.width(), m_surface.height(), m_surface.bytesPerLine(),
        m_surface.format());
    shown.setDevicePixelRatio(scale);
    const double ratio = devicePixelRatioF();
    const QPointF start = (surfaceOrigin() - QPointF(mapTo(window(), QPoint(0, 0))) * ratio) / ratio;
    painter.drawImage(start, shown);
}

void SurfaceWidget::resizeEvent(QResizeEvent* event)
{
    const double scale = surfaceScale();
    fitSurface(QSize(int(std::floor(event->size().width() * scale + 1e-6)),
        int(std::floor(event->size().height() * scale + 1e-6))));
    QWidget::resizeEvent(event);
}

// The surface follows the widget's size and keeps what was drawn where it still fits.
void SurfaceWidget::fitSurface(const QSize& size)
{
    if (m_surface.size() == size) return;
    QImage grown(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    grown.fill(m_blank);
    if (!m_surface.isNull()) copyBlock(grown, 0, 0, m_surface.width(), m_surface.height(), m_surface, 0, 0);
    m_surface = std::move(grown);
}
