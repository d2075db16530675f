#pragma once

#include <QImage>
#include <QWidget>

// A widget that owns an off-screen surface of its own size and only shows it. Everything the
// program draws "on the widget" goes into the surface, so drawing stays exact and a test can
// read back what the widget shows. The picture control and the main window are such widgets.
class SurfaceWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SurfaceWidget(QWidget* parent = nullptr);

    QImage& surface() { return m_surface; }
    const QImage& surface() const { return m_surface; }

    // Colour a newly exposed part of the surface starts with.
    void setBlankColour(QRgb colour);

    // Shows what changed in the given rectangle of the surface.
    void surfaceChanged(const QRect& rect) { update(rect); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitSurface(const QSize& size);

    QImage m_surface;
    QRgb m_blank = 0xFFFFFFFFu;
};
