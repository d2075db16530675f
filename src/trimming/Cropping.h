#pragma once

#include <QRect>

// The part of the source image that one trimming frame cuts, in image pixels, right and
// bottom inclusive.
struct CropRect
{
    float left = 0, top = 0, right = -1, bottom = -1;
    float width() const { return right - left + 1; }
    float height() const { return bottom - top + 1; }
    // A frame wholly in the view's margin or beyond the image cuts nothing.
    bool isEmpty() const { return width() < 1 || height() < 1; }
};

// Converts a frame in view pixels to the image block it cuts. At a magnification other than 1
// the block is widened by one image pixel on every side, so that nothing the frame showed is
// lost to rounding; the result is clamped to the image.
CropRect cropOfFrame(float frameLeft, float frameTop, float frameRight, float frameBottom,
    float magnification, float imageWidth, float imageHeight);

// The crop as a block of whole image pixels.
QRect blockOf(const CropRect& crop);

// A frame in view pixels, as the frame lists hold it: its edges, right and bottom inclusive.
struct ViewFrame
{
    float left = 0, top = 0, right = 0, bottom = 0;
};

// The smallest frame whose crop at `magnification` holds the image block whole: at actual size
// the block's own edges, moved by the view's margin; otherwise the nearest view pixels around it.
ViewFrame frameHolding(const QRect& block, float magnification, float imageWidth, float imageHeight);

// The image block a frame cuts.
QRect blockOfFrame(const ViewFrame& frame, float magnification, float imageWidth, float imageHeight);
