#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QSet>

// What the two pens of exclusive-or figures flip in a pixel: the highlight pen of the frame chosen
// or being worked on, and the pen of the other frames of the list.

inline constexpr QRgb kHighlightMask = 0x808080u;
inline constexpr QRgb kListMask = 0x008000u;

// A pixel of an image without its alpha.
QRgb rgb(const QImage& image, int x, int y);

// The pixels of a horizontal or vertical line, both ends included.
QSet<QPoint> linePixels(int x1, int y1, int x2, int y2);

// Pixels that an odd number of the given lines cover: what exclusive-or lines leave changed.
QSet<QPoint> xorOf(const QList<QSet<QPoint>>& lines);
