#pragma once

#include <QRect>
#include <QSize>

#include <cstdint>

// Geometry of the view on the main window, as pure functions: where the picture and its
// scroll bars sit, the range of a bar, and the step of a pan.

// The strip of buttons and lists along the top of the main window; the picture area lies below.
inline constexpr int kStripHeight = 25;

// Where the picture, the scroll bars and the corner button sit in the main window's client area.
// The picture's size is that of the part of the view it shows.
struct Placement
{
    QRect picture;
    QRect horizontalBar; // null where the bar is hidden
    QRect verticalBar; // null where the bar is hidden
    QRect cornerButton; // null unless both bars are shown

    bool hasHorizontalBar() const { return !horizontalBar.isNull(); }
    bool hasVerticalBar() const { return !verticalBar.isNull(); }
};

// Places a view of the given size in the picture area below the strip. A bar is needed along
// an axis where the view is larger than the area; a bar along one side takes a bar's thickness
// from the other axis, which may then need its bar too. Along an axis without a bar the view is
// centred (integer halving, toward zero); along an axis with one it starts at the area's edge.
Placement placePicture(QSize view, QSize area, int barThickness);

// The range of one scroll bar: 0..maximum, a position standing for `unit` view pixels.
struct ScrollRange
{
    float excess = 0; // the part of the view side that the visible side does not show
    int16_t maximum = 0;
    float unit = 1;
};

// Up to 32767 pixels of excess one position is one pixel; beyond, positions must still fit in
// 16 bits, so the range is 0..10000 and a position stands for excess / 10000 pixels.
ScrollRange scrollRange(float viewSide, int visibleSide);

// The page step of a bar: a tenth of its range, at least 1.
int pageStep(int maximum);

// The origin along one axis after the pointer moved by `step` while panning: the picture
// follows the pointer, and the shown block stays inside the view.
float pannedOrigin(float origin, int step, float viewSide, int visibleSide);

// The bar position that shows an origin: the origin and the unit rounded to whole pixels, in
// integer division. A coarse unit rounds down as well as up, so the position is kept within the
// bar's range 0..maximum.
int16_t barPosition(float origin, float unit, int16_t maximum);
