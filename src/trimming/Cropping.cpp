#include "trimming/Cropping.h"

#include "view/Magnification.h"

#include <algorithm>
#include <cmath>

CropRect cropOfFrame(float frameLeft, float frameTop, float frameRight, float frameBottom,
    float magnification, float imageWidth, float imageHeight)
{
    CropRect crop { frameLeft - kViewMargin, frameTop - kViewMargin, frameRight - kViewMargin,
        frameBottom - kViewMargin };
    if (magnification != 1.0f) {
        crop.left = std::floor(crop.left / magnification) - 1;
        crop.top = std::floor(crop.top / magnification) - 1;
        crop.right = std::floor(crop.right / magnification) + 1;
        crop.bottom = std::floor(crop.bottom / magnification) + 1;
    }
    crop.left = std::max(crop.left, 0.0f);
    crop.top = std::max(crop.top, 0.0f);
    crop.right = std::min(crop.right, imageWidth - 1);
    crop.bottom = std::min(crop.bottom, imageHeight - 1);
    return crop;
}

QRect blockOf(const CropRect& crop)
{
    return QRect(int(crop.left), int(crop.top), int(crop.width()), int(crop.height()));
}

QRect blockOfFrame(const ViewFrame& frame, float magnification, float imageWidth, float imageHeight)
{
    return blockOf(cropOfFrame(
        frame.left, frame.top, frame.right, frame.bottom, magnification, imageWidth, imageHeight));
}

namespace {

// The crop's edges are monotonic in the frame's: each edge is found by stepping from the view
// pixel that shows the block's edge to the last one whose crop still holds that edge.
float heldLowEdge(int edge, float magnification, float imageSide)
{
    const auto cropOf = [&](float view) {
        return cropOfFrame(view, view, view, view, magnification, imageSide, imageSide).left;
    };
    float view = std::floor(float(edge) * magnification) + kViewMargin;
    while (view > 0 && cropOf(view) > float(edge))
        --view;
    while (cropOf(view + 1) <= float(edge))
        ++view;
    return view;
}

float heldHighEdge(int edge, float magnification, float imageSide)
{
    const auto cropOf = [&](float view) {
        return cropOfFrame(view, view, view, view, magnification, imageSide, imageSide).right;
    };
    float view = std::floor(float(edge) * magnification) + kViewMargin;
    while (cropOf(view) < float(edge))
        ++view;
    while (view > 0 && cropOf(view - 1) >= float(edge))
        --view;
    return view;
}

} // namespace

ViewFrame frameHolding(const QRect& block, float magnification, float imageWidth, float imageHeight)
{
    return { heldLowEdge(block.left(), magnification, imageWidth),
        heldLowEdge(block.top(), magnification, imageHeight),
        heldHighEdge(block.right(), magnification, imageWidth),
        heldHighEdge(block.bottom(), magnification, imageHeight) };
}
