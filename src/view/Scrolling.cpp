#include "view/Scrolling.h"

#include "core/App.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "trimming/TrimmingStates.h"
#include "view/Layout.h"
#include "view/ViewGeometry.h"

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
    app.rt.BitBlt(app.PICTURE1, 0, 0, app.VisibleWidth, app.VisibleHeight, app.ViewBitmap,
        int(app.ViewOriginX), int(app.ViewOriginY));
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
    if (!app.rt.CheckObject(app.ViewBitmap)) return;
    app.ViewOriginX = float(app.HScrollPos) * app.HScrollUnit;
    app.ViewOriginY = float(app.VScrollPos) * app.VScrollUnit;
    showBlockAtOrigin(app);
    if (!app.SkipBandRedraw) P1BOX_SUB(app);
    app.SkipBandRedraw = kFlagClear;
}

void CG_UP(App& app)
{
    if (app.TrimState != TrimState::Modifying || !app.rt.CheckObject(app.ViewBitmap)) return;
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
