#include "view/Magnification.h"

#include "core/App.h"
#include "platform/Drawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Scrolling.h"

#include <QSize>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

constexpr int kBorderWidth = 5;

enum MagnificationEntry { Actual = 0, FitHeight = 1, FitWidth = 2 };

// The fit modes shrink an image to the picture area less the margins; they never enlarge.
float fitFactor(int room, float imageSide)
{
    return std::min(float(room - 3 * kViewMargin) / imageSide, 1.0f);
}

// The factor of a list entry for an image of `imageSize` in a picture area of `area`; an entry
// that is none (-1) keeps the `current` factor.
float factorFor(int entry, QSize area, QSizeF imageSize, float current)
{
    switch (entry) {
    case Actual: return 1.0f;
    case FitHeight: return fitFactor(area.height(), float(imageSize.height()));
    case FitWidth: return fitFactor(area.width(), float(imageSize.width()));
    default:
        // "×０.９" … "×０.１": computed in single precision, not tabled.
        return entry > FitWidth ? float(10 - entry + 2) / 10.0f : current;
    }
}

float factorOf(const App& app, int entry)
{
    return factorFor(entry, pictureAreaInPixels(app), QSizeF(app.ImageWidth, app.ImageHeight), app.Magnification);
}

// Whole part of a scaled side. The product is rounded to single precision before its whole
// part is taken, so 1000 × 0.9 gives 900 (0.9 is a little less in single precision; the
// unrounded product would be 899.99997). A side that comes out as nothing keeps the image's
// own size; a negative one (a picture area smaller than its margins) counts as nothing too.
float scaledSide(float imageSide, float factor)
{
    const float product = imageSide * factor;
    const float whole = std::trunc(product);
    return whole > 0 ? whole : imageSide;
}

void drawBorder(App& app)
{
    app.bitmaps.DrawLine(app.ViewBitmap, 0, 0, int(app.ViewWidth) - 1, int(app.ViewHeight) - 1,
        DrawMode::Normal, kBorderWidth, Figure::Box);
}

// What BAI_SUB will make the inside of the view of an image of a given size, with the
// magnification entry and the picture area as they are now; empty where the view will not be
// a shrunk copy (actual size, or a fit that would enlarge).
std::function<QSize(QSize)> shrunkViewSizeAhead(const App& app)
{
    const int entry = app.rt.GetCurSel(app.COMBO5);
    const QSize area = pictureAreaInPixels(app);
    const float current = app.Magnification;
    return [=](QSize image) {
        const float factor = factorFor(entry, area, QSizeF(image), current);
        if (factor >= 1.0f) return QSize();
        return QSize(
            int(scaledSide(float(image.width()), factor)), int(scaledSide(float(image.height()), factor)));
    };
}

} // namespace

QSize pictureAreaInPixels(const App& app)
{
    const double scale = app.rt.SurfaceScale(app.PICTURE1);
    return { int(std::floor(app.PictureAreaWidth * scale)), int(std::floor(app.PictureAreaHeight * scale)) };
}

void BAI_SUB(App& app)
{
    BitmapStore& bitmaps = app.bitmaps;
    const int entry = app.rt.GetCurSel(app.COMBO5);
    app.MagnificationIndex = int16_t(entry);
    app.Magnification = factorOf(app, entry);
    // The image decoded ahead gets its view shrunk as this one would be.
    bitmaps.SetShrunkViewAhead(shrunkViewSizeAhead(app));

    // A load builds the view, and the layout after it asks for the same view again: the view
    // built then is kept, as long as nothing was drawn into it since.
    const AppState::ViewInputs inputs { bitmaps.Revision(app.SourceBitmap), bitmaps.Revision(app.ViewBitmap),
        app.Magnification, app.ImageWidth, app.ImageHeight };
    if (bitmaps.CheckObject(app.ViewBitmap) && inputs == app.LastViewBuild) {
        RESETPARA_SUB(app);
        return;
    }
    app.ViewWidth = scaledSide(app.ImageWidth, app.Magnification);
    app.ViewHeight = scaledSide(app.ImageHeight, app.Magnification);

    // Creating the view deletes the one before. Where the source is there to paint the inside,
    // only the margin is made white. After a failed load with nothing to fall back to there is
    // no source image: the view is then built blank, at the size ImageWidth and ImageHeight give.
    const int whiteMargin = bitmaps.CheckObject(app.SourceBitmap) ? kViewMargin : -1;
    if (app.Magnification == 1.0f) {
        app.ViewWidth = app.ImageWidth + 2 * kViewMargin;
        app.ViewHeight = app.ImageHeight + 2 * kViewMargin;
        // At actual size the view is the source with its margin: no copy of the image.
        if (!bitmaps.ViewSource(app.ViewBitmap, app.SourceBitmap, kViewMargin)) {
            bitmaps.CreateBitmap(app.ViewBitmap, int(app.ViewWidth), int(app.ViewHeight), whiteMargin);
            bitmaps.BitBlt(app.ViewBitmap, kViewMargin, kViewMargin, int(app.ImageWidth),
                int(app.ImageHeight), app.SourceBitmap, 0, 0);
        }
    } else {
        app.ScaledWidth = app.ViewWidth;
        app.ScaledHeight = app.ViewHeight;
        app.ViewWidth = app.ScaledWidth + 2 * kViewMargin;
        app.ViewHeight = app.ScaledHeight + 2 * kViewMargin;
        if (!bitmaps.TakeShrunkViewAhead(
                app.ViewBitmap, app.SourceBitmap, int(app.ScaledWidth), int(app.ScaledHeight), kViewMargin)) {
            bitmaps.CreateBitmap(app.ViewBitmap, int(app.ViewWidth), int(app.ViewHeight), whiteMargin);
            bitmaps.StretchBitmap(app.ViewBitmap, app.SourceBitmap, kViewMargin, kViewMargin,
                int(app.ScaledWidth), int(app.ScaledHeight));
        }
    }
    drawBorder(app);
    app.LastViewBuild = { bitmaps.Revision(app.SourceBitmap), bitmaps.Revision(app.ViewBitmap),
        app.Magnification, app.ImageWidth, app.ImageHeight };

    RESETPARA_SUB(app);
}

bool fitsPictureArea(const App& app)
{
    const int entry = app.rt.GetCurSel(app.COMBO5);
    return entry == FitHeight || entry == FitWidth;
}

namespace {

// An entry of the magnification list with the scale it gives the image on show, and the size of
// the image in the view at that scale.
struct EntryScale
{
    int entry;
    float factor;
    QSize view;
};

QSize imageSizeInView(const App& app, float factor)
{
    return { int(scaledSide(app.ImageWidth, factor)), int(scaledSide(app.ImageHeight, factor)) };
}

// The entries in order of the scale they give the image on show, smallest first, one entry per
// view size: of entries that show the image alike, a fixed factor is kept rather than a fit,
// whose scale would change with the window.
std::vector<EntryScale> entriesByScale(const App& app)
{
    std::vector<EntryScale> entries;
    for (int entry = 0; entry < app.rt.GetCount(app.COMBO5); ++entry) {
        const float factor = factorOf(app, entry);
        entries.push_back({ entry, factor, imageSizeInView(app, factor) });
    }
    const auto isFit = [](const EntryScale& e) { return e.entry == FitHeight || e.entry == FitWidth; };
    std::stable_sort(entries.begin(), entries.end(), [&](const EntryScale& a, const EntryScale& b) {
        return a.factor != b.factor ? a.factor < b.factor : !isFit(a) && isFit(b);
    });
    const auto sameView = [](const EntryScale& a, const EntryScale& b) { return a.view == b.view; };
    entries.erase(std::unique(entries.begin(), entries.end(), sameView), entries.end());
    return entries;
}

} // namespace

int entryOneStepFrom(const App& app, int step)
{
    const int current = app.rt.GetCurSel(app.COMBO5);
    if (current < 0 || step == 0) return current;
    const float factor = factorOf(app, current);
    const QSize shown = imageSizeInView(app, factor);
    const std::vector<EntryScale> entries = entriesByScale(app);
    if (step < 0) {
        for (const EntryScale& larger : entries)
            if (larger.factor > factor && larger.view != shown) return larger.entry;
    } else {
        for (auto smaller = entries.rbegin(); smaller != entries.rend(); ++smaller)
            if (smaller->factor < factor && smaller->view != shown) return smaller->entry;
    }
    return current;
}

void stepMagnification(App& app, int step, std::optional<QPoint> anchor)
{
    FormRuntime& rt = app.rt;
    const int current = rt.GetCurSel(app.COMBO5);
    const int next = entryOneStepFrom(app, step);
    if (next == current) return;
    if (anyFramePlaced(app)
        && rt.MessageBox(app.EventOwner, QStringLiteral("倍率の変更"),
               QStringLiteral("倍率を変えると、置いた枠はすべて消えます。変更しますか？"),
               MessageButtons::YesNo, MessageIcon::Exclamation)
            != MessageAnswer::Yes)
        return;
    const ViewAnchor kept = anchorAt(app,
        anchor.value_or(QPoint(app.VisibleWidth / 2, app.VisibleHeight / 2)));
    rt.SetCurSel(app.COMBO5, next);
    redrawKeeping(app, kept);
}

void COMBO5_KEY(App& app, int step)
{
    stepMagnification(app, step);
}
