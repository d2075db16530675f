#pragma once

#include <QImage>
#include <QWidget>

class QSinglePointEvent;

// A widget that owns an off-screen surface of its own size and only shows it. Everything the
// program draws "on the widget" goes into the surface, so drawing stays exact and a test can
// read back what the widget shows. The picture control is such a widget.
//
// The surface is counted in the screen's own pixels, or in a whole number of them where the
// screen's scale is 2 or more: one surface pixel is shown as exactly one device pixel (or 2 × 2,
// 3 × 3 ...), never resampled between, so a scan at actual size stays sharp at any scale. At a
// fractional scale the surface thus holds more pixels than the widget has logical ones.
class SurfaceWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SurfaceWidget(QWidget* parent = nullptr);

    QImage& surface() { return m_surface; }
    const QImage& surface() const { return m_surface; }

    // Surface pixels per logical pixel: 1 at whole scales, 1.5 at a scale of 1.5.
    double surfaceScale() const;
    // The surface pixel under the pointer of an event, from its place in the window: Qt rounds
    // the widget's own position of a mouse event to whole logical pixels, which at a scale of 2
    // puts the second device pixel of a picture pixel onto the next one.
    QPoint surfacePointOf(const QSinglePointEvent& event) const;

    // Colour a newly exposed part of the surface starts with.
    void setBlankColour(QRgb colour);

    // Shows what changed in the given rectangle of the surface.
    void surfaceChanged(const QRect& rect);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int devicePixelsPerSurfacePixel() const;
    // The device pixel of the window where the surface begins: the widget's first one, whole.
    QPointF surfaceOrigin() const;
    void fitSurface(const QSize& size);

    QImage m_surface;
    QRgb m_blank = 0xFFFFFFFFu;
};
