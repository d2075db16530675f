#include "view/Layout.h"

#include "core/App.h"
#include "platform/Drawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"

#include <algorithm>

namespace {

constexpr int kStripHeight = 25; // the buttons and lists along the top; the picture starts below
constexpr int kMinimumWidth = 640, kMinimumHeight = 300;
constexpr int kDesignWidth = 730; // a window too narrow returns to the designed width, not to the minimum

// Where the picture and the bars go, inside the window's client area.
struct Placement
{
    int pictureX = 0, pictureY = 0;
    int hBarX = 0, hBarY = 0;
    int vBarX = 0, vBarY = 0;
};

// A bar is needed where the view is larger than the area; a bar along one side takes the
// room of a bar's thickness from the other axis, which may then need its bar too.
void decideBars(App& app)
{
    const float bar = app.ScrollBarSize;
    app.NeedHScroll = app.ViewWidth > app.PictureAreaWidth ? 1 : 0;
    app.NeedVScroll = app.ViewHeight > app.PictureAreaHeight ? 1 : 0;
    if (app.NeedHScroll == 0 && app.NeedVScroll == 1)
        app.NeedHScroll = app.ViewWidth > app.PictureAreaWidth - bar ? 1 : 0;
    if (app.NeedHScroll == 1 && app.NeedVScroll == 0)
        app.NeedVScroll = app.ViewHeight > app.PictureAreaHeight - bar ? 1 : 0;
}

// Sizes the picture and places it with its bars. Along an axis without a bar the view is
// centred in the area (integer halving, toward zero) and its scroll position is 0.
Placement placePicture(App& app)
{
    FormRuntime& rt = app.rt;
    const int bar = app.ScrollBarSize;
    const int viewWidth = int(app.ViewWidth), viewHeight = int(app.ViewHeight);
    Placement at;
    if (app.NeedHScroll == 0 && app.NeedVScroll == 0) {
        app.HScrollPos = app.VScrollPos = 0;
        app.VisibleWidth = int16_t(viewWidth);
        app.VisibleHeight = int16_t(viewHeight);
        at.pictureX = (app.PictureAreaWidth - app.VisibleWidth) / 2;
        at.pictureY = (app.PictureAreaHeight - app.VisibleHeight) / 2;
        for (Control hidden : { app.HSCROLL1, app.VSCROLL1, app.BUTTON1 })
            rt.ShowWindow(hidden, kFalse);
    } else if (app.NeedVScroll == 0) {
        app.VScrollPos = 0;
        app.VisibleWidth = app.PictureAreaWidth;
        app.VisibleHeight = int16_t(viewHeight);
        at.pictureY = (app.PictureAreaHeight - viewHeight - bar) / 2;
        at.hBarY = at.pictureY + viewHeight + kStripHeight;
        for (Control hidden : { app.VSCROLL1, app.BUTTON1 })
            rt.ShowWindow(hidden, kFalse);
    } else if (app.NeedHScroll == 0) {
        app.HScrollPos = 0;
        app.VisibleWidth = int16_t(viewWidth);
        app.VisibleHeight = app.PictureAreaHeight;
        at.pictureX = (app.PictureAreaWidth - viewWidth - bar) / 2;
        at.vBarX = at.pictureX + viewWidth;
        at.vBarY = kStripHeight;
        for (Control hidden : { app.HSCROLL1, app.BUTTON1 })
            rt.ShowWindow(hidden, kFalse);
    } else {
        app.VisibleWidth = int16_t(app.PictureAreaWidth - bar);
        app.VisibleHeight = int16_t(app.PictureAreaHeight - bar);
        at.hBarY = app.VisibleHeight + kStripHeight;
        at.vBarX = app.VisibleWidth;
        at.vBarY = kStripHeight;
    }
    return at;
}

// Gives a shown bar its place, size, range, steps and position. A position kept from an
// earlier layout that lies beyond the new range is brought back to its end.
void showBar(App& app, Control bar, int x, int y, int width, int height, int16_t maximum, int16_t& position)
{
    FormRuntime& rt = app.rt;
    position = std::clamp<int16_t>(position, 0, maximum);
    rt.MoveWindow(bar, x, y);
    rt.SetWindowSize(bar, width, height);
    rt.SetScrollRange(bar, 0, maximum);
    rt.SetScrollStep(bar, 1, maximum > 10 ? maximum / 10 : 1);
    rt.SetScrollPos(bar, position);
    rt.ShowWindow(bar, kTrue);
}

} // namespace

void WIN_SAIZU_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    int width = rt.GetWidth(app.MAINFORM);
    int height = rt.GetHeight(app.MAINFORM);
    if (width < kMinimumWidth || height < kMinimumHeight) {
        if (width < kMinimumWidth) width = kDesignWidth;
        if (height < kMinimumHeight) height = kMinimumHeight;
        rt.SetWindowSize(app.MAINFORM, width, height);
    }

    BAI_SUB(app);
    if (app.LastViewWidth == app.ViewWidth && app.LastViewHeight == app.ViewHeight && app.FormWidth == width
        && app.FormHeight == height)
        return;

    rt.ShowWindow(app.BUTTON1, kFalse);
    app.FormWidth = int16_t(width);
    app.FormHeight = int16_t(height);
    app.PictureAreaWidth = int16_t(width - 2 * app.FrameHeight);
    app.PictureAreaHeight = int16_t(height - app.CaptionHeight - app.FrameHeight - kStripHeight);

    decideBars(app);
    app.HScrollUnit = 1;
    app.VScrollUnit = 1;
    const Placement at = placePicture(app);
    app.LastViewWidth = app.ViewWidth;
    app.LastViewHeight = app.ViewHeight;

    rt.DrawLine(app.MAINFORM, 0, kStripHeight - 1, app.PictureAreaWidth - 1, kStripHeight - 1,
        DrawMode::Normal, 1, Figure::Line);
    rt.MoveWindow(app.PICTURE1, at.pictureX, at.pictureY + kStripHeight);
    rt.SetWindowSize(app.PICTURE1, app.VisibleWidth, app.VisibleHeight);

    const int bar = app.ScrollBarSize;
    if (app.NeedHScroll == 1) {
        SCROLL_XD_SUB(app);
        showBar(app, app.HSCROLL1, at.hBarX, at.hBarY, app.VisibleWidth, bar, app.HScrollMax, app.HScrollPos);
    }
    if (app.NeedVScroll == 1) {
        SCROLL_YD_SUB(app);
        showBar(
            app, app.VSCROLL1, at.vBarX, at.vBarY, bar, app.VisibleHeight, app.VScrollMax, app.VScrollPos);
    }
    if (app.NeedHScroll == 1 && app.NeedVScroll == 1) {
        app.CornerToggle = 1;
        rt.SetWindowSize(app.BUTTON1, bar, bar);
        rt.SetWindowText(app.BUTTON1, QStringLiteral("┛"));
        rt.MoveWindow(app.BUTTON1, at.vBarX, at.hBarY);
        rt.ShowWindow(app.BUTTON1, kTrue);
    }
}

void MAINFORM_RESIZE(App& app)
{
    TRI3_CHK(app);
    CG_ON_SUB(app);
    CG_UP(app);
}
