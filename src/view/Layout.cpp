#include "view/Layout.h"

#include "core/App.h"
#include "platform/Drawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"
#include "view/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMinimumWidth = 640, kMinimumHeight = 300;
constexpr int kDesignWidth = 730; // a window too narrow returns to the designed width, not to the minimum

// The picture counts in its own pixels, `scale` of them to a pixel of the window. At a
// fractional scale the picture may begin inside a screen pixel, and its pixels then begin with
// the next one: one pixel of room goes to that.
int alignmentLoss(double scale)
{
    return scale == 1.0 ? 0 : 1;
}

// The picture's own pixels that `side` pixels of the window show whole.
float pixelsShownIn(int side, double scale)
{
    return float(std::max(int(std::floor(side * scale)) - alignmentLoss(scale), 0));
}

// The pixels of the window that show `pixels` of the picture's own whole.
int roomFor(float pixels, double scale)
{
    return int(std::ceil((pixels + float(alignmentLoss(scale))) / scale));
}

// Takes the placement over into the state: the visible size, in the picture's own pixels, and
// scroll position 0 along an axis without a bar. The bars not needed are hidden.
void adoptPlacement(App& app, const Placement& at, double scale)
{
    app.NeedHScroll = float(at.hasHorizontalBar());
    app.NeedVScroll = float(at.hasVerticalBar());
    app.VisibleWidth = int16_t(std::min(app.ViewWidth, pixelsShownIn(at.picture.width(), scale)));
    app.VisibleHeight = int16_t(std::min(app.ViewHeight, pixelsShownIn(at.picture.height(), scale)));
    app.PictureLeft = int16_t(at.picture.x());
    app.PictureTop = int16_t(at.picture.y());
    if (!at.hasHorizontalBar()) {
        app.HScrollPos = 0;
        app.rt.ShowWindow(app.HSCROLL1, kFalse);
    }
    if (!at.hasVerticalBar()) {
        app.VScrollPos = 0;
        app.rt.ShowWindow(app.VSCROLL1, kFalse);
    }
}

// Gives a shown bar its place, size, range, steps and position. A position kept from an
// earlier layout that lies beyond the new range is brought back to its end.
void showBar(App& app, Control bar, const QRect& place, int16_t maximum, int16_t& position)
{
    FormRuntime& rt = app.rt;
    position = std::clamp<int16_t>(position, 0, maximum);
    rt.MoveWindow(bar, place.x(), place.y());
    rt.SetWindowSize(bar, place.width(), place.height());
    rt.SetScrollRange(bar, 0, maximum);
    rt.SetScrollStep(bar, 1, pageStep(maximum));
    rt.SetScrollPos(bar, position);
    rt.ShowWindow(bar, kTrue);
}

// The room below the strip for the picture and its bars, in a window of the given outer size.
void computePictureArea(App& app, int width, int height)
{
    app.PictureAreaWidth = int16_t(width - 2 * app.FrameHeight);
    app.PictureAreaHeight = int16_t(height - app.CaptionHeight - app.FrameHeight - kStripHeight);
}

void showCornerButton(App& app, const QRect& place)
{
    FormRuntime& rt = app.rt;
    app.CornerToggle = CornerToggle::ToBottomRight;
    rt.SetWindowSize(app.BUTTON1, place.width(), place.height());
    rt.SetWindowText(app.BUTTON1, QStringLiteral("┛"));
    rt.MoveWindow(app.BUTTON1, place.x(), place.y());
    rt.ShowWindow(app.BUTTON1, kTrue);
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

    // A fit magnification scales the image to the picture area, so the area of this window size
    // must be known before the view is built; the view would otherwise fit the size before the
    // last resize. Every other magnification builds the view first, as the layout always did.
    if (fitsPictureArea(app)) computePictureArea(app, width, height);
    BAI_SUB(app);
    if (app.LastViewWidth == app.ViewWidth && app.LastViewHeight == app.ViewHeight && app.FormWidth == width
        && app.FormHeight == height)
        return;

    rt.ShowWindow(app.BUTTON1, kFalse);
    app.FormWidth = int16_t(width);
    app.FormHeight = int16_t(height);
    computePictureArea(app, width, height);

    // The view is placed by the room it takes on the window, which is less than its own pixels
    // where the screen's scale is fractional.
    const double scale = rt.SurfaceScale(app.PICTURE1);
    const QSize viewOnWindow(roomFor(app.ViewWidth, scale), roomFor(app.ViewHeight, scale));
    const Placement at
        = placePicture(viewOnWindow, QSize(app.PictureAreaWidth, app.PictureAreaHeight), app.ScrollBarSize);
    app.HScrollUnit = 1;
    app.VScrollUnit = 1;
    adoptPlacement(app, at, scale);
    app.LastViewWidth = app.ViewWidth;
    app.LastViewHeight = app.ViewHeight;

    rt.DrawLine(app.MAINFORM, 0, kStripHeight - 1, app.PictureAreaWidth - 1, kStripHeight - 1,
        DrawMode::Normal, 1, Figure::Line);
    rt.MoveWindow(app.PICTURE1, at.picture.x(), at.picture.y());
    rt.SetWindowSize(app.PICTURE1, at.picture.width(), at.picture.height());

    if (at.hasHorizontalBar()) {
        SCROLL_XD_SUB(app);
        showBar(app, app.HSCROLL1, at.horizontalBar, app.HScrollMax, app.HScrollPos);
    }
    if (at.hasVerticalBar()) {
        SCROLL_YD_SUB(app);
        showBar(app, app.VSCROLL1, at.verticalBar, app.VScrollMax, app.VScrollPos);
    }
    if (at.hasHorizontalBar() && at.hasVerticalBar()) showCornerButton(app, at.cornerButton);
}

void MAINFORM_RESIZE(App& app)
{
    TRI3_CHK(app);
    CG_ON_SUB(app);
    CG_UP(app);
}

void showStripNote(App& app, const QString& text, int milliseconds)
{
    app.rt.ShowNote(app.BUTTON12, text, milliseconds);
}
