#include "trimming/BandGeometry.h"

#include <algorithm>

Qt::Edges grabAt(const QRectF& band, QPointF pointer, qreal reach)
{
    const qreal left = band.left(), top = band.top(), right = band.right(), bottom = band.bottom();
    const auto near
        = [reach](qreal value, qreal edge) { return edge - reach <= value && value <= edge + reach; };
    qreal x = pointer.x(), y = pointer.y();
    Qt::Edges grabbed;
    // A pointer near an edge across it is snapped onto it, and takes it if it lies within the
    // edge's ends along it.
    const auto testEdge = [&](qreal& across, qreal edge, qreal along, qreal from, qreal to, Qt::Edge which) {
        if (!near(across, edge)) return;
        across = edge;
        if (from <= along && along <= to) grabbed = which;
    };
    testEdge(y, top, x, left, right, Qt::TopEdge);
    testEdge(x, left, y, top, bottom, Qt::LeftEdge);
    testEdge(x, right, y, top, bottom, Qt::RightEdge);
    testEdge(y, bottom, x, left, right, Qt::BottomEdge);
    if (near(y, top)) {
        if (near(x, left)) grabbed = Qt::TopEdge | Qt::LeftEdge;
        if (near(x, right)) grabbed = Qt::TopEdge | Qt::RightEdge;
    }
    if (near(y, bottom)) {
        if (near(x, left)) grabbed = Qt::BottomEdge | Qt::LeftEdge;
        if (near(x, right)) grabbed = Qt::BottomEdge | Qt::RightEdge;
    }
    return grabbed;
}

Qt::Edges bandEdgesShown(const QRectF& frame, const QRectF& visible)
{
    const auto column = [&](qreal x) { return visible.left() <= x && x <= visible.right(); };
    const auto row = [&](qreal y) { return visible.top() <= y && y <= visible.bottom(); };
    const bool left = column(frame.left()), right = column(frame.right());
    const bool top = row(frame.top()), bottom = row(frame.bottom());
    // An edge none of whose ends is visible is drawn where it runs right across the view.
    const bool spansColumns = frame.left() < visible.left() && frame.right() > visible.right();
    const bool spansRows = frame.top() < visible.top() && frame.bottom() > visible.bottom();
    Qt::Edges shown;
    if (top) {
        if (left) shown |= Qt::TopEdge | Qt::LeftEdge;
        if (right) shown |= Qt::TopEdge | Qt::RightEdge;
        if (spansColumns) shown |= Qt::TopEdge;
    }
    if (left) {
        if (bottom) shown |= Qt::LeftEdge | Qt::BottomEdge;
        if (spansRows) shown |= Qt::LeftEdge;
    }
    if (bottom) {
        if (right) shown |= Qt::RightEdge | Qt::BottomEdge;
        if (spansColumns) shown |= Qt::BottomEdge;
    }
    if (right && spansRows) shown |= Qt::RightEdge;
    return shown;
}

QRectF bandOnPicture(const QRectF& frame, const QRectF& visible, Qt::Edges shown)
{
    qreal left = std::max(frame.left() - visible.left(), 0.0);
    qreal top = std::max(frame.top() - visible.top(), 0.0);
    qreal right = std::max(frame.right() - visible.left(), 0.0);
    qreal bottom = std::max(frame.bottom() - visible.top(), 0.0);
    // A horizontal edge whose left or right edge is not drawn runs from the picture's border,
    // and likewise a vertical edge whose top or bottom edge is not drawn.
    if (shown & (Qt::TopEdge | Qt::BottomEdge)) {
        if (!(shown & Qt::LeftEdge)) left = 0;
        if (!(shown & Qt::RightEdge)) right = visible.right() - visible.left();
    }
    if (shown & (Qt::LeftEdge | Qt::RightEdge)) {
        if (!(shown & Qt::TopEdge)) top = 0;
        if (!(shown & Qt::BottomEdge)) bottom = visible.bottom() - visible.top();
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}
