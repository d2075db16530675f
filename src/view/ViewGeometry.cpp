#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kLargestFineRange = 32767;
constexpr int16_t kCoarseRange = 10000;
constexpr int kPageStepsPerRange = 10;

// The bars an axis needs: one where the view is larger than the area, then one where the
// other axis's bar leaves too little room.
void decideBars(QSize view, QSize area, int barThickness, bool& horizontal, bool& vertical)
{
    horizontal = view.width() > area.width();
    vertical = view.height() > area.height();
    if (!horizontal && vertical) horizontal = view.width() > area.width() - barThickness;
    if (horizontal && !vertical) vertical = view.height() > area.height() - barThickness;
}

} // namespace

Placement placePicture(QSize view, QSize area, int barThickness)
{
    bool horizontal = false, vertical = false;
    decideBars(view, area, barThickness, horizontal, vertical);
    Placement at;
    if (!horizontal && !vertical) {
        at.picture
            = QRect(QPoint((area.width() - view.width()) / 2, (area.height() - view.height()) / 2), view);
    } else if (!vertical) {
        const int y = (area.height() - view.height() - barThickness) / 2;
        at.picture = QRect(0, y, area.width(), view.height());
    } else if (!horizontal) {
        const int x = (area.width() - view.width() - barThickness) / 2;
        at.picture = QRect(x, 0, view.width(), area.height());
    } else {
        at.picture = QRect(0, 0, area.width() - barThickness, area.height() - barThickness);
    }
    at.picture.translate(0, kStripHeight);
    // The bars run along the picture's bottom and right side.
    const int belowPicture = at.picture.y() + at.picture.height();
    const int rightOfPicture = at.picture.x() + at.picture.width();
    if (horizontal) at.horizontalBar = QRect(at.picture.x(), belowPicture, at.picture.width(), barThickness);
    if (vertical) at.verticalBar = QRect(rightOfPicture, at.picture.y(), barThickness, at.picture.height());
    if (horizontal && vertical)
        at.cornerButton = QRect(at.verticalBar.left(), at.horizontalBar.top(), barThickness, barThickness);
    return at;
}

ScrollRange scrollRange(float viewSide, int visibleSide)
{
    ScrollRange range;
    range.excess = viewSide - float(visibleSide);
    if (range.excess > kLargestFineRange) {
        range.unit = range.excess / float(kCoarseRange);
        range.maximum = kCoarseRange;
    } else if (range.excess > 0) {
        range.maximum = int16_t(range.excess);
    }
    return range;
}

int pageStep(int maximum)
{
    return maximum > kPageStepsPerRange ? maximum / kPageStepsPerRange : 1;
}

float pannedOrigin(float origin, int step, float viewSide, int visibleSide)
{
    float t = origin - float(step);
    if (t < 0) t = 0;
    if (viewSide - t < float(visibleSide)) t = viewSide - float(visibleSide);
    return t;
}

int16_t barPosition(float origin, float unit, int16_t maximum)
{
    const int wholeUnit = int(std::lround(unit));
    const int unclamped = wholeUnit > 0 ? int(std::lround(origin)) / wholeUnit : 0;
    return int16_t(std::clamp(unclamped, 0, int(maximum)));
}
