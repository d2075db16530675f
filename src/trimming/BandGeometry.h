#pragma once

#include <QPointF>
#include <QRectF>

// Geometry of the rubber band, as pure functions. Rectangles are given by their corner points:
// right() and bottom() are the last column and row, as the band and the visible part of the
// view record them.

// Which edge or corner of the band the pointer is on: an edge within reach of the pointer
// across it and spanned by the pointer along it, a corner within reach both ways. The tests
// run top, left, right, bottom, then the corners; a test that finds the pointer near an edge
// snaps it onto that edge for the later tests, and a later result replaces an earlier one, so
// corners win over edges.
Qt::Edges grabAt(const QRectF& band, QPointF pointer, qreal reach);

// The edges of an ordered frame (view pixels) that the band draws: those that cross the
// visible part of the view. An edge wholly outside it is not drawn, and a frame larger than
// the visible part in every direction draws none.
Qt::Edges bandEdgesShown(const QRectF& frame, const QRectF& visible);

// The band in picture pixels: the frame moved by the visible part's origin and kept off
// negative coordinates, with the drawn edges that run past the picture cut at its border.
QRectF bandOnPicture(const QRectF& frame, const QRectF& visible, Qt::Edges shown);
