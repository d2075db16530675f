#pragma once

#include <QPoint>
#include <QPointF>

struct App;

// Range of the horizontal / vertical bar from the part of the view that does not fit. Up to
// 32767 pixels one bar position is one pixel; beyond, the range is 0..10000 and a position
// stands for excess / 10000 pixels.
void SCROLL_XD_SUB(App& app);
void SCROLL_YD_SUB(App& app);

// Copies the block of the view at the origin (ViewOriginX, ViewOriginY) to the picture and
// records it as the visible rectangle. The copy wipes the rubber band off the picture.
void showBlockAtOrigin(App& app);

// Repaints the picture with the block of the view at the scroll positions, then the rubber
// band (unless a one-shot skip is set).
void CG_UP_SUB(App& app);
// While a frame is modified: repaints from the current origin and shows the band again.
void CG_UP(App& app);
// Lays the window out again (which rebuilds the view), then repaints the picture.
void CG_ON_SUB(App& app);

// A point of the image and where on the main window it is shown, in the window's pixels.
struct ViewAnchor
{
    QPointF image;
    QPointF window;
};
// The anchor of the image point under a point of the picture, in picture pixels.
ViewAnchor anchorAt(const App& app, QPoint picturePoint);
// Lays the window out again, as CG_ON_SUB does, with the bars moved so that the anchor's image
// point shows at its window point again, as near as the view's edges allow; then repaints.
void redrawKeeping(App& app, const ViewAnchor& anchor);

// Handlers: the two scroll bars, the corner button and the magnification list.
void HSCROLL1_CHANGE(App& app);
void VSCROLL1_CHANGE(App& app);
void BUTTON1_ON(App& app);
void COMBO5_CHANGE(App& app);

// The mouse wheel over the picture: scrolls vertically, with Shift horizontally, through the
// same routine as the bar, a notch an eighth of the shown part; with Ctrl it steps the
// magnification like its keys, keeping the image point under the pointer, at (x, y) in picture
// pixels, where it is. `notchesX` and `notchesY` are how far the wheel turned.
void PICTURE1_WHEEL(App& app, int shift, float notchesX, float notchesY, float x, float y);
