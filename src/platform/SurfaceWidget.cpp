#include "platform/SurfaceWidget.h"

#include "platform/Drawing.h"

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

double SurfaceWidget::surfaceScale() const
{
    const double ratio = devicePixelRatioF();
    // A whole part of the scale enlarges each surface pixel to a square of device pixels; the
    // rest the surface takes into its own size.
    return ratio / std::max(1.0, std::floor(ratio + 1e-9));
}

QPoint SurfaceWidget::surfacePoint(const QPointF& logical) const
{
    // Floored: every device pixel of a surface pixel lies on that surface pixel.
    const double scale = surfaceScale();
    return { int(std::floor(logical.x() * scale)), int(std::floor(logical.y() * scale)) };
}

void SurfaceWidget::surfaceChanged(const QRect& rect)
{
    const double scale = surfaceScale();
    if (scale == 1.0) {
        update(rect);
        return;
    }
    update(QRectF(QPointF(rect.topLeft()) / scale, QSizeF(rect.size()) / scale).toAlignedRect());
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
    // device pixels one to one.
    QImage shown(m_surface.bits(), m_surface.width(), m_surface.height(), m_surface.bytesPerLine(),
        m_surface.format());
    shown.setDevicePixelRatio(scale);
    painter.drawImage(QPointF(0, 0), shown);
}

void SurfaceWidget::resizeEvent(QResizeEvent* event)
{
    const QPoint corner = surfacePoint(QPointF(event->size().width(), event->size().height()));
    fitSurface(QSize(corner.x(), corner.y()));
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
