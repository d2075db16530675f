#include "trimming/MouseHandling.h"

#include "core/App.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Scrolling.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Pointer shapes of the picture.
constexpr int kPointerModify = 3, kPointerCorner = 5, kPointerHorizontal = 9, kPointerVertical = 10;

// Opposite edges of a frame being reshaped stay this many view pixels apart.
constexpr float kMinimumGap = 10;

// What the pointer is on in modify mode.
enum Grab : int16_t {
    kNothing = 0,
    kTopEdge,
    kLeftEdge,
    kRightEdge,
    kBottomEdge,
    kTopLeft,
    kTopRight,
    kBottomLeft,
    kBottomRight
};

int16_t rounded(float value)
{
    return int16_t(std::lround(value));
}

bool near(float value, float edge)
{
    return edge - 1 <= value && value <= edge + 1;
}

// Moves the origin along one axis by the pan step, keeping the shown block inside the view,
// and puts the bar at the matching position (the origin itself stays unquantised). With a
// coarse unit the rounded unit can be smaller than the real one, so the position is kept
// within the bar's range, as the layout keeps it.
void panAxis(App& app, Control bar, float& origin, int16_t step, float viewSide, int16_t visibleSide,
    float unit, int16_t maximum, int16_t& position)
{
    if (!app.rt.IsWindowVisible(bar)) return;
    float t = origin - float(step);
    if (t < 0) t = 0;
    if (viewSide - t < float(visibleSide)) t = viewSide - float(visibleSide);
    origin = t;
    const int wholeUnit = int(std::lround(unit));
    const int unclamped = wholeUnit > 0 ? int(std::lround(origin)) / wholeUnit : 0;
    position = int16_t(std::clamp(unclamped, 0, int(maximum)));
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
    if (app.rt.CheckObject(app.ViewBitmap)) showBlockAtOrigin(app);
}

// Which edge or corner of the band the pointer is on. The tests run in a fixed order; a test
// that snaps a coordinate onto an edge hands the snapped value to the later ones, and later
// results win, so corners win over edges.
int16_t grabAt(const App& app, float x, float y)
{
    const float left = app.BandLeft, top = app.BandTop, right = app.BandRight, bottom = app.BandBottom;
    int16_t code = kNothing;
    if (near(y, top)) {
        y = top;
        if (left <= x && x <= right) code = kTopEdge;
    }
    if (near(x, left)) {
        x = left;
        if (top <= y && y <= bottom) code = kLeftEdge;
    }
    if (near(x, right)) {
        x = right;
        if (top <= y && y <= bottom) code = kRightEdge;
    }
    if (near(y, bottom)) {
        y = bottom;
        if (left <= x && x <= right) code = kBottomEdge;
    }
    if (near(y, top)) {
        if (near(x, left)) code = kTopLeft;
        if (near(x, right)) code = kTopRight;
    }
    if (near(y, bottom)) {
        if (near(x, left)) code = kBottomLeft;
        if (near(x, right)) code = kBottomRight;
    }
    return code;
}

int pointerFor(int16_t grab)
{
    switch (grab) {
    case kTopEdge:
    case kBottomEdge: return kPointerVertical;
    case kLeftEdge:
    case kRightEdge: return kPointerHorizontal;
    case kNothing: return kPointerModify;
    default: return kPointerCorner;
    }
}

void hoverTest(App& app, float x, float y)
{
    app.rt.SetMousePointer(app.PICTURE1, kPointerModify);
    P1BOX_SUB(app);
    app.GrabCode = grabAt(app, x, y);
    app.rt.SetMousePointer(app.PICTURE1, pointerFor(app.GrabCode));
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

void reshape(App& app, float x, float y)
{
    switch (app.GrabCode) {
    case kTopEdge: moveTop(app, y); break;
    case kLeftEdge: moveLeft(app, x); break;
    case kRightEdge: moveRight(app, x); break;
    case kBottomEdge: moveBottom(app, y); break;
    case kTopLeft:
        moveLeft(app, x);
        moveTop(app, y);
        break;
    case kTopRight:
        moveRight(app, x);
        moveTop(app, y);
        break;
    case kBottomLeft:
        moveLeft(app, x);
        moveBottom(app, y);
        break;
    case kBottomRight:
        moveRight(app, x);
        moveBottom(app, y);
        break;
    default: break;
    }
    P1BOX_SUB(app);
}

// Stores the working frame as the next frame of the current category and selects it.
void recordFrame(App& app)
{
    if (app.SelX1 > app.SelX2) std::swap(app.SelX1, app.SelX2);
    if (app.SelY1 > app.SelY2) std::swap(app.SelY1, app.SelY2);
    app.TrimState = 0;
    app.rt.SetWindowText(app.BUTTON2, QStringLiteral("トリミング開始"));
    ENCHANGE_SUB(app, kTrue);

    const auto c = size_t(app.CurCat);
    const int n = int(app.CatFrameCount[c]);
    const auto j = size_t(n);
    app.FrameLeft[j][c] = app.SelX1;
    app.FrameTop[j][c] = app.SelY1;
    app.FrameRight[j][c] = app.SelX2;
    app.FrameBottom[j][c] = app.SelY2;
    app.CatFrameCount[c] = float(n + 1);

    app.rt.AddString(app.COMBO1, frameLabel(n + 1));
    selectFrame(app, n);
    app.rt.EnableWindow(app.COMBO1, kTrue);
    app.FrameListMode = 1;
    SUBMP_BOX(app);
}

} // namespace

void PICTURE1_MOUSEDOWN(App& app, int button, int, float x, float y)
{
    app.LastMouseX = rounded(x);
    app.LastMouseY = rounded(y);
    if (button != 1) return;
    if (app.TrimState == 2) app.ReleaseArmed = 1;
    // A left press on the idle picture starts trimming and sets the first corner at once.
    if (app.TrimState == 0 && !startTrimming(app)) return;
    if (app.TrimState == 1) {
        app.TrimState = 2;
        app.SelX1 = x + app.ViewOriginX;
        app.SelY1 = y + app.ViewOriginY;
    }
    if (app.TrimState == 4) {
        app.TrimState = 3;
        app.GrabCode = kNothing;
        app.rt.SetMousePointer(app.PICTURE1, kPointerModify);
        if (app.BandDrawn == 0) P1LINE_SUB(app);
    }
    if (app.GrabCode > 0) app.TrimState = 4;
}

void PICTURE1_MOUSEUP(App& app, int, int, float x, float y)
{
    app.LastMouseX = rounded(x);
    app.LastMouseY = rounded(y);
    // Only the release of a press made while the second corner was pending completes a frame;
    // the release of the press that set the first corner does not.
    if (app.ReleaseArmed != 1) return;
    app.ReleaseArmed = 0;
    if (app.TrimState != 2) return;
    if (app.BandDrawn == 1) P1LINE_SUB(app);
    app.SelX2 = x + app.ViewOriginX;
    app.SelY2 = y + app.ViewOriginY;
    if (app.SelX2 != app.SelX1 && app.SelY2 != app.SelY1) {
        recordFrame(app);
    } else if (app.BandDrawn == 0) {
        // No width or no height: nothing is recorded and the band stays.
        P1LINE_SUB(app);
    }
}

void PICTURE1_MOUSEMOVE(App& app, int button, int, float x, float y)
{
    if (app.BandDrawn == 1) P1LINE_SUB(app);
    if (button == 2 || button == 3) pan(app, x, y);
    switch (app.TrimState) {
    case 2:
        app.SelX2 = x + app.VisibleLeft;
        app.SelY2 = y + app.VisibleTop;
        P1BOX_SUB(app);
        break;
    case 3: hoverTest(app, x, y); break;
    case 4: reshape(app, x, y); break;
    default: break;
    }
}
