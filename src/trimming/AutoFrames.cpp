#include "trimming/AutoFrames.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "image/ContentFinder.h"
#include "trimming/Cropping.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "view/Layout.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr int kNoteMilliseconds = 4000;
// A piece is framed already where one frame of its category holds this share of its pixels.
constexpr double kCoveredShare = 0.9;

// The image on show, while a view of it is shown to place frames on.
const QImage* shownImage(const App& app)
{
    if (!app.bitmaps.CheckObject(app.SourceBitmap) || !app.bitmaps.CheckObject(app.ViewBitmap))
        return nullptr;
    return app.bitmaps.Image(app.SourceBitmap);
}

// Frames are placed where a press on the picture could place one: on an image on show, while no
// frame is being reshaped.
bool canPlaceFrames(const App& app)
{
    return app.TrimState < TrimState::Modifying && shownImage(app);
}

ViewFrame frameOfList(const App& app, int j, int16_t category)
{
    const auto f = size_t(j);
    const auto c = size_t(category);
    return { app.FrameLeft[f][c], app.FrameTop[f][c], app.FrameRight[f][c], app.FrameBottom[f][c] };
}

QRect blockOfListFrame(const App& app, int j, int16_t category)
{
    return blockOfFrame(frameOfList(app, j, category), app.Magnification, app.ImageWidth, app.ImageHeight);
}

ViewFrame frameAround(const App& app, const QRect& block)
{
    return frameHolding(block, app.Magnification, app.ImageWidth, app.ImageHeight);
}

qint64 areaOf(const QRect& rect)
{
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

bool isCovered(const App& app, int16_t category, const QRect& block)
{
    for (int j = 0; j < app.CatFrameCount[size_t(category)]; ++j)
        if (double(areaOf(blockOfListFrame(app, j, category) & block))
            >= kCoveredShare * double(areaOf(block)))
            return true;
    return false;
}

// A frame of the current category, placed as a hand places it: placing starts (refused with the
// limit's message when the category is full), the two corners are set and the frame recorded.
// A band that was following the pointer is given up first.
bool placeInCurrentCategory(App& app, const ViewFrame& frame)
{
    if (app.TrimState == TrimState::Placing) {
        if (app.BandDrawn) P1LINE_SUB(app);
        app.ReleaseArmed = kFlagClear;
        app.TrimState = TrimState::Armed;
    }
    if (app.TrimState == TrimState::Idle && !startTrimming(app)) return false;
    app.SelX1 = frame.left;
    app.SelY1 = frame.top;
    app.SelX2 = frame.right;
    app.SelY2 = frame.bottom;
    recordFrame(app);
    return true;
}

// A frame of another category joins its list; it is drawn when that category is chosen.
bool appendToCategory(App& app, int16_t category, const ViewFrame& frame)
{
    const auto c = size_t(category);
    int16_t& count = app.CatFrameCount[c];
    if (count >= app.MaxFramesPerCat) {
        tellLimitReached(app, categoryLabel(category));
        return false;
    }
    const auto j = size_t(count);
    app.FrameLeft[j][c] = frame.left;
    app.FrameTop[j][c] = frame.top;
    app.FrameRight[j][c] = frame.right;
    app.FrameBottom[j][c] = frame.bottom;
    ++count;
    return true;
}

bool placeFrame(App& app, int16_t category, const QRect& block)
{
    const ViewFrame frame = frameAround(app, block);
    return category == app.CurCat ? placeInCurrentCategory(app, frame)
                                  : appendToCategory(app, category, frame);
}

void tell(App& app, const QString& text)
{
    showStripNote(app, text, kNoteMilliseconds);
}

QString placedText(int found, int placed)
{
    return QStringLiteral("中身を %1 個見つけ、枠を %2 個置きました").arg(found).arg(placed);
}

// The frame's edges kept inside `outer`: tightening never moves an edge outwards.
ViewFrame keptInside(const ViewFrame& frame, const ViewFrame& outer)
{
    return { std::max(frame.left, outer.left), std::max(frame.top, outer.top),
        std::min(frame.right, outer.right), std::min(frame.bottom, outer.bottom) };
}

// The content inside a block of the image on show, as one box. At actual size the view shares
// the image's pixels, so the frame's own lines lie on the block's outermost pixels: those are
// not searched.
QRect contentWithin(const App& app, const QImage& image, QRect block)
{
    if (app.Magnification == 1.0f) block = block.adjusted(1, 1, -1, -1);
    QRect content;
    for (const QRect& piece : findContent(image, block))
        content |= piece;
    return content;
}

} // namespace

void MAINFORM_AUTOFRAMES(App& app)
{
    if (!canPlaceFrames(app)) return;
    const QList<QRect> pieces = app.bitmaps.ContentOf(app.SourceBitmap);
    if (pieces.isEmpty()) return tell(app, QStringLiteral("枠を置く中身が見つかりませんでした"));
    int placed = 0;
    for (const QRect& piece : pieces) {
        if (isCovered(app, app.CurCat, piece)) continue;
        if (!placeFrame(app, app.CurCat, piece)) break;
        ++placed;
    }
    tell(app, placedText(int(pieces.size()), placed));
}

void MAINFORM_LASTFRAMES(App& app)
{
    if (!canPlaceFrames(app)) return;
    if (app.LastCut.isEmpty()) return tell(app, QStringLiteral("前の保存で切り出した枠がありません"));
    const QRect image(0, 0, int(app.ImageWidth), int(app.ImageHeight));
    QSet<int16_t> full;
    for (const AppState::CutBlock& cut : app.LastCut) {
        if (!isValidCategory(app, cut.category) || full.contains(cut.category)) continue;
        const QRect block = cut.block & image;
        if (block.isEmpty() || isCovered(app, cut.category, block)) continue;
        if (!placeFrame(app, cut.category, block)) full.insert(cut.category);
    }
}

void BUTTON3_TIGHTEN(App& app)
{
    const QImage* image = shownImage(app);
    const int chosen = app.rt.GetCurSel(app.COMBO1);
    if (!image || app.TrimState >= TrimState::Modifying || chosen < 0
        || chosen >= app.CatFrameCount[size_t(app.CurCat)])
        return;
    const QRect content = contentWithin(app, *image, blockOfListFrame(app, chosen, app.CurCat));
    if (content.isEmpty()) return tell(app, QStringLiteral("枠の中に中身が見つかりませんでした"));
    const ViewFrame tight = keptInside(frameAround(app, content), frameOfList(app, chosen, app.CurCat));
    // As the user reshapes a frame: "修正" takes the chosen frame into the band, "修正完了"
    // stores the band's edges into it.
    BUTTON3_ON(app);
    app.SelX1 = tight.left;
    app.SelY1 = tight.top;
    app.SelX2 = tight.right;
    app.SelY2 = tight.bottom;
    BUTTON3_ON(app);
}
