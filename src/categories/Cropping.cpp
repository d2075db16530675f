#include "categories/Cropping.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kViewMargin = 10;

} // namespace

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
