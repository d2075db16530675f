#include "view/Scrolling.h"

#include "core/App.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Layout.h"
#include "view/Magnification.h"
#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

void storeRange(const ScrollRange& range, float& excess, float& unit, int16_t& maximum)
{
    excess = range.excess;
    unit = range.unit;
    maximum = range.maximum;
}

} // namespace

void showBlockAtOrigin(App& app)
{
    // At actual size the rows below those shown may still be being decoded.
    const int bottom = int(app.ViewOriginY) + app.VisibleHeight - 1;
    if (const QImage* view = app.bitmaps.ImageRows(app.ViewBitmap, bottom))
        app.rt.BitBlt(app.PICTURE1, 0, 0, app.VisibleWidth, app.VisibleHeight, *view, int(app.ViewOriginX),
            int(app.ViewOriginY));
    app.VisibleLeft = app.ViewOriginX;
    app.VisibleTop = app.ViewOriginY;
    app.VisibleRight = app.VisibleLeft + float(app.VisibleWidth) - 1;
    app.VisibleBottom = app.VisibleTop + float(app.VisibleHeight) - 1;
    // The copy has wiped the band from the picture. Without this the band drawn after a scroll
    // while a frame is placed would count as erased, and the next move would leave it behind.
    app.BandDrawn = kFlagClear;
}

void SCROLL_XD_SUB(App& app)
{
    storeRange(
        scrollRange(app.ViewWidth, app.VisibleWidth), app.ExcessWidth, app.HScrollUnit, app.HScrollMax);
}

void SCROLL_YD_SUB(App& app)
{
    storeRange(
        scrollRange(app.ViewHeight, app.VisibleHeight), app.ExcessHeight, app.VScrollUnit, app.VScrollMax);
}

void CG_UP_SUB(App& app)
{
    if (!app.bitmaps.CheckObject(app.ViewBitmap)) return;
    app.ViewOriginX = float(app.HScrollPos) * app.HScrollUnit;
    app.ViewOriginY = float(app.VScrollPos) * app.VScrollUnit;
    showBlockAtOrigin(app);
    if (!app.SkipBandRedraw) P1BOX_SUB(app);
    app.SkipBandRedraw = kFlagClear;
}

void CG_UP(App& app)
{
    if (app.TrimState != TrimState::Modifying || !app.bitmaps.CheckObject(app.ViewBitmap)) return;
    // The origin stays where it is: a drag may have moved it off the bar positions.
    showBlockAtOrigin(app);
    if (!app.BandDrawn) P1LINE_SUB(app);
}

void CG_ON_SUB(App& app)
{
    WIN_SAIZU_SUB(app);
    CG_UP_SUB(app);
}

void HSCROLL1_CHANGE(App& app)
{
    TRI3_CHK(app);
    app.HScrollPos = int16_t(app.rt.GetScrollPos(app.HSCROLL1));
    CG_UP_SUB(app);
    CG_UP(app);
}

void VSCROLL1_CHANGE(App& app)
{
    TRI3_CHK(app);
    app.VScrollPos = int16_t(app.rt.GetScrollPos(app.VSCROLL1));
    CG_UP_SUB(app);
    CG_UP(app);
}

// The corner button jumps to the bottom-right corner of the view and back to the top-left.
void BUTTON1_ON(App& app)
{
    TRI3_CHK(app);
    if (app.CornerToggle == CornerToggle::ToTopLeft) {
        app.CornerToggle = CornerToggle::ToBottomRight;
        app.rt.SetWindowText(app.BUTTON1, QStringLiteral("┛"));
        app.HScrollPos = app.VScrollPos = 0;
    } else {
        app.CornerToggle = CornerToggle::ToTopLeft;
        app.rt.SetWindowText(app.BUTTON1, QStringLiteral("┏"));
        app.HScrollPos = app.HScrollMax;
        app.VScrollPos = app.VScrollMax;
    }
    app.rt.SetScrollPos(app.HSCROLL1, app.HScrollPos);
    app.rt.SetScrollPos(app.VSCROLL1, app.VScrollPos);
    CG_UP_SUB(app);
}

void COMBO5_CHANGE(App& app)
{
    CG_ON_SUB(app);
}

ViewAnchor anchorAt(const App& app, QPoint picturePoint)
{
    const double scale = app.rt.SurfaceScale(app.PICTURE1);
    const QPointF inView(app.ViewOriginX + float(picturePoint.x()), app.ViewOriginY + float(picturePoint.y()));
    return { (inView - QPointF(kViewMargin, kViewMargin)) / app.Magnification,
        QPointF(app.PictureLeft, app.PictureTop) + QPointF(picturePoint) / scale };
}

namespace {

// The bar position whose origin shows the view point `inView` at `onPicture` of the picture.
int16_t positionShowing(double inView, double onPicture, float unit, int16_t maximum)
{
    return barPosition(float(std::max(inView - onPicture, 0.0)), unit, maximum);
}

} // namespace

void redrawKeeping(App& app, const ViewAnchor& anchor)
{
    WIN_SAIZU_SUB(app);
    const double scale = app.rt.SurfaceScale(app.PICTURE1);
    const QPointF inView = anchor.image * app.Magnification + QPointF(kViewMargin, kViewMargin);
    const QPointF onPicture = (anchor.window - QPointF(app.PictureLeft, app.PictureTop)) * scale;
    if (app.NeedHScroll != 0) {
        app.HScrollPos = positionShowing(inView.x(), onPicture.x(), app.HScrollUnit, app.HScrollMax);
        app.rt.SetScrollPos(app.HSCROLL1, app.HScrollPos);
    }
    if (app.NeedVScroll != 0) {
        app.VScrollPos = positionShowing(inView.y(), onPicture.y(), app.VScrollUnit, app.VScrollMax);
        app.rt.SetScrollPos(app.VSCROLL1, app.VScrollPos);
    }
    CG_UP_SUB(app);
}

namespace {

constexpr int kNotchesPerShownPart = 8;

// Moves one bar by the wheel's turn, as dragging its thumb would; a wheel turned away from the
// user (a positive turn) scrolls towards the top or the left.
void scrollByWheel(App& app, Control bar, int16_t visibleSide, float unit, int16_t maximum, float notches,
    void (*barChanged)(App&))
{
    if (!app.rt.IsWindowVisible(bar) || notches == 0) return;
    const float pixelsPerNotch = float(visibleSide) / kNotchesPerShownPart;
    const int step = std::max(1, int(std::lround(pixelsPerNotch / std::max(unit, 1.0f))));
    const int position
        = std::clamp(app.rt.GetScrollPos(bar) - int(std::lround(notches * float(step))), 0, int(maximum));
    if (position == app.rt.GetScrollPos(bar)) return;
    app.rt.SetScrollPos(bar, position);
    barChanged(app);
}

} // namespace

void PICTURE1_WHEEL(App& app, int shift, float notchesX, float notchesY, float x, float y)
{
    if (shift & ModifierKey::Control) {
        if (notchesY != 0 && app.rt.IsWindowEnabled(app.COMBO5) != kFalse)
            stepMagnification(app, notchesY > 0 ? -1 : 1, QPoint(int(x), int(y)));
        return;
    }
    if (shift & ModifierKey::Shift || notchesY == 0) {
        scrollByWheel(app, app.HSCROLL1, app.VisibleWidth, app.HScrollUnit, app.HScrollMax,
            notchesX != 0 ? notchesX : notchesY, HSCROLL1_CHANGE);
        return;
    }
    scrollByWheel(
        app, app.VSCROLL1, app.VisibleHeight, app.VScrollUnit, app.VScrollMax, notchesY, VSCROLL1_CHANGE);
}
