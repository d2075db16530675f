#include "trimming/MouseHandling.h"

#include "core/App.h"
#include "trimming/BandGeometry.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "trimming/TrimmingStates.h"
#include "view/Scrolling.h"
#include "view/ViewGeometry.h"

#include <cmath>

namespace {

// Opposite edges of a frame being reshaped stay this many view pixels apart.
constexpr float kMinimumGap = 10;
// How far from an edge, in picture pixels, the pointer still takes it.
constexpr qreal kGrabReach = 1;

int16_t rounded(float value)
{
    return int16_t(std::lround(value));
}

// Pans along an axis whose bar is shown, and puts the bar at the matching position; the origin
// itself stays unquantised.
void panAxis(App& app, Control bar, float& origin, int16_t step, float viewSide, int16_t visibleSide,
    float unit, int16_t maximum, int16_t& position)
{
    if (!app.rt.IsWindowVisible(bar)) return;
    origin = pannedOrigin(origin, step, viewSide, visibleSide);
    position = barPosition(origin, unit, maximum);
    app.rt.SetScrollPos(bar, position);
}

void pan(App& app, float x, float y)
{
    app.PanDX = rounded(x - float(app.LastMouseX));
    app.PanDY = rounded(y - float(app.LastMouseY));
    app.LastMouseX = rounded(x);
    app.LastMouseY = rounded(y);
    panAxis(app, app.HSCROLL1, app.ViewOriginX, app.PanDX, app.ViewWidth, app.VisibleWidth, app.HScrollUnit,
        app.HScrollMax, app.HScrollPos);
    panAxis(app, app.VSCROLL1, app.ViewOriginY, app.PanDY, app.ViewHeight, app.VisibleHeight, app.VScrollUnit,
        app.VScrollMax, app.VScrollPos);
    if (app.bitmaps.CheckObject(app.ViewBitmap)) showBlockAtOrigin(app);
}

// The pointer over what a press would pick up: a top or bottom edge moves up and down, a left
// or right edge sideways, a corner both ways.
int pointerFor(Qt::Edges grabbed)
{
    const bool topOrBottom = grabbed.testAnyFlags(Qt::TopEdge | Qt::BottomEdge);
    const bool leftOrRight = grabbed.testAnyFlags(Qt::LeftEdge | Qt::RightEdge);
    if (topOrBottom && leftOrRight) return MousePointer::ResizeCorner;
    if (topOrBottom) return MousePointer::ResizeVertical;
    if (leftOrRight) return MousePointer::ResizeHorizontal;
    return MousePointer::Modify;
}

void hoverTest(App& app, float x, float y)
{
    app.rt.SetMousePointer(app.PICTURE1, MousePointer::Modify);
    P1BOX_SUB(app);
    const QRectF band(QPointF(app.BandLeft, app.BandTop), QPointF(app.BandRight, app.BandBottom));
    const Qt::Edges grabbed = grabAt(band, QPointF(x, y), kGrabReach);
    app.GrabCode = grabCode(grabbed);
    app.rt.SetMousePointer(app.PICTURE1, pointerFor(grabbed));
}

void moveTop(App& app, float y)
{
    app.SelY1 = y + app.VisibleTop;
    if (app.SelY1 > app.SelY2 - kMinimumGap) app.SelY1 = app.SelY2 - kMinimumGap;
}
void moveLeft(App& app, float x)
{
    app.SelX1 = x + app.VisibleLeft;
    if (app.SelX1 > app.SelX2 - kMinimumGap) app.SelX1 = app.SelX2 - kMinimumGap;
}
void moveRight(App& app, float x)
{
    app.SelX2 = x + app.VisibleLeft;
    if (app.SelX2 < app.SelX1 + kMinimumGap) app.SelX2 = app.SelX1 + kMinimumGap;
}
void moveBottom(App& app, float y)
{
    app.SelY2 = y + app.VisibleTop;
    if (app.SelY2 < app.SelY1 + kMinimumGap) app.SelY2 = app.SelY1 + kMinimumGap;
}

// A corner moves both of its edges.
void reshape(App& app, float x, float y)
{
    const Qt::Edges grabbed = grabbedEdges(app.GrabCode);
    if (grabbed & Qt::LeftEdge) moveLeft(app, x);
    if (grabbed & Qt::RightEdge) moveRight(app, x);
    if (grabbed & Qt::TopEdge) moveTop(app, y);
    if (grabbed & Qt::BottomEdge) moveBottom(app, y);
    P1BOX_SUB(app);
}

} // namespace

void PICTURE1_MOUSEDOWN(App& app, int button, int, float x, float y)
{
    app.LastMouseX = rounded(x);
    app.LastMouseY = rounded(y);
    if (button != MouseButton::Left) return;
    if (app.TrimState == TrimState::Placing) app.ReleaseArmed = kFlagSet;
    // A left press on the idle picture starts trimming and sets the first corner at once.
    if (app.TrimState == TrimState::Idle && !startTrimming(app)) return;
    if (app.TrimState == TrimState::Armed) {
        app.TrimState = TrimState::Placing;
        app.SelX1 = x + app.ViewOriginX;
        app.SelY1 = y + app.ViewOriginY;
    }
    if (app.TrimState == TrimState::Dragging) {
        app.TrimState = TrimState::Modifying;
        app.GrabCode = grabCode({});
        app.rt.SetMousePointer(app.PICTURE1, MousePointer::Modify);
        if (!app.BandDrawn) P1LINE_SUB(app);
    }
    if (grabbedEdges(app.GrabCode)) app.TrimState = TrimState::Dragging;
}

void PICTURE1_MOUSEUP(App& app, int, int, float x, float y)
{
    app.LastMouseX = rounded(x);
    app.LastMouseY = rounded(y);
    // Only the release of a press made while the second corner was pending completes a frame;
    // the release of the press that set the first corner does not.
    if (!app.ReleaseArmed) return;
    app.ReleaseArmed = kFlagClear;
    if (app.TrimState != TrimState::Placing) return;
    if (app.BandDrawn) P1LINE_SUB(app);
    app.SelX2 = x + app.ViewOriginX;
    app.SelY2 = y + app.ViewOriginY;
    if (app.SelX2 != app.SelX1 && app.SelY2 != app.SelY1) {
        recordFrame(app);
    } else if (!app.BandDrawn) {
        // No width or no height: nothing is recorded and the band stays.
        P1LINE_SUB(app);
    }
}

void PICTURE1_MOUSEMOVE(App& app, int button, int, float x, float y)
{
    if (app.BandDrawn) P1LINE_SUB(app);
    // The right button pans, with or without the left one.
    if (button == MouseButton::Right || button == (MouseButton::Left | MouseButton::Right)) pan(app, x, y);
    switch (app.TrimState) {
    case TrimState::Placing:
        app.SelX2 = x + app.VisibleLeft;
        app.SelY2 = y + app.VisibleTop;
        P1BOX_SUB(app);
        break;
    case TrimState::Modifying: hoverTest(app, x, y); break;
    case TrimState::Dragging: reshape(app, x, y); break;
    default: break;
    }
}
