#pragma once

#include <QImage>

// Pixel-exact drawing of lines and rectangle outlines into a Format_RGB32 image. Figures are
// drawn pixel by pixel, never through a painter, so that an exclusive-or figure touches each
// of its pixels exactly once and drawing it a second time restores the image.

enum class DrawMode { Normal, Xor };
enum class Figure { Line, Box };

// Pens the program draws with: -1 is the default pen, 2 the second one.
namespace Pen {
inline constexpr int Default = -1;
inline constexpr int Second = 2;
} // namespace Pen

// The colour a pen draws with; in exclusive-or mode the colour is the mask each pixel is
// combined with.
QRgb penColour(int pen, DrawMode mode);

// Draws a line from (x1, y1) to (x2, y2), both end points included, or the outline of the box
// with those corners. A width above 1 widens horizontal and vertical lines and box sides
// evenly about their centre line; slanted lines are always one pixel wide. Everything outside
// the image is clipped.
void drawFigure(
    QImage& image, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure, QRgb colour);

// Copies the w x h block at (sx, sy) of source to (x, y) of target, clipped to both images.
void copyBlock(QImage& target, int x, int y, int w, int h, const QImage& source, int sx, int sy);

// Makes the band `margin` pixels wide around the image white.
void whitenMargin(QImage& image, int margin);
