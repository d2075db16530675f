#include "platform/SurfaceWidget.h"

#include "platform/Drawing.h"

#include <QPaintEvent>
#include <QPainter>

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

void SurfaceWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_surface, event->rect());
}

void SurfaceWidget::resizeEvent(QResizeEvent* event)
{
    fitSurface(event->size());
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
