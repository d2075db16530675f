#include "trimming/FrameDrawing.h"

#include "core/App.h"
#include "trimming/BandGeometry.h"
#include "trimming/TrimmingStates.h"
#include "view/Scrolling.h"

namespace {

// Outline of frame j of the current category in the view bitmap, exclusive-or.
void drawFrame(App& app, int frame, int pen)
{
    const auto j = size_t(frame);
    const auto c = size_t(app.CurCat);
    app.bitmaps.DrawLine(app.ViewBitmap, int(app.FrameLeft[j][c]), int(app.FrameTop[j][c]),
        int(app.FrameRight[j][c]), int(app.FrameBottom[j][c]), DrawMode::Xor, 1, Figure::Box, pen);
}

// The selected frame of the list, or -1 when there is none to draw.
int selectedFrame(App& app)
{
    const int s = app.rt.GetCurSel(app.COMBO1);
    return s >= 0 && s < app.CatFrameCount[size_t(app.CurCat)] ? s : -1;
}

void bandLine(App& app, float x1, float y1, float x2, float y2)
{
    app.rt.DrawLine(
        app.PICTURE1, int(x1), int(y1), int(x2), int(y2), DrawMode::Xor, 1, Figure::Line, Pen::Default);
}

} // namespace

void P1BOX_SUB(App& app)
{
    // Until the first corner is set there is no working frame: the band stays absent instead
    // of being computed from the corners of an earlier frame.
    if (app.TrimState < TrimState::Placing) return;
    // Ordered only for the computation: while placing, SelX1/SelY1 stay the anchor.
    const QRectF frame = QRectF(QPointF(app.SelX1, app.SelY1), QPointF(app.SelX2, app.SelY2)).normalized();
    const QRectF visible(
        QPointF(app.VisibleLeft, app.VisibleTop), QPointF(app.VisibleRight, app.VisibleBottom));
    const Qt::Edges shown = bandEdgesShown(frame, visible);
    const QRectF band = bandOnPicture(frame, visible, shown);
    app.BandEdgeMask = bandEdgeMask(shown);
    app.BandLeft = float(band.left());
    app.BandTop = float(band.top());
    app.BandRight = float(band.right());
    app.BandBottom = float(band.bottom());
    P1LINE_SUB(app);
}

void P1LINE_SUB(App& app)
{
    if (app.TrimState <= TrimState::Idle || app.BandLeft < 0) return;
    const Qt::Edges mask = bandEdges(app.BandEdgeMask);
    if (mask & Qt::TopEdge) bandLine(app, app.BandLeft, app.BandTop, app.BandRight, app.BandTop);
    if (mask & Qt::LeftEdge) bandLine(app, app.BandLeft, app.BandTop, app.BandLeft, app.BandBottom);
    if (mask & Qt::RightEdge) bandLine(app, app.BandRight, app.BandTop, app.BandRight, app.BandBottom);
    if (mask & Qt::BottomEdge) bandLine(app, app.BandLeft, app.BandBottom, app.BandRight, app.BandBottom);
    if (mask) app.BandDrawn = app.BandDrawn ? kFlagClear : kFlagSet;
}

void SUBMP_BOX(App& app)
{
    if (app.FrameListMode != FrameListMode::Drawn) return;
    const int s = selectedFrame(app);
    if (!app.HighlightDrawn) {
        app.HighlightDrawn = kFlagSet;
        app.BandDrawn = kFlagClear; // the repaint below wipes any band
    } else {
        app.HighlightDrawn = kFlagClear;
    }
    if (s >= 0) drawFrame(app, s, Pen::Default);
    app.SkipBandRedraw = kFlagSet;
    CG_UP_SUB(app);
}

void SUBMP_BOX2(App& app)
{
    if (app.FrameListMode != FrameListMode::Drawn) return;
    const int s = selectedFrame(app);
    if (s >= 0) drawFrame(app, s, Pen::Second);
    CG_UP_SUB(app);
}

void BOX_SUB(App& app)
{
    const int count = app.CatFrameCount[size_t(app.CurCat)];
    const int s = app.rt.GetCurSel(app.COMBO1);
    for (int j = 0; j < count; ++j)
        if (j != s) drawFrame(app, j, Pen::Second);
    CG_UP_SUB(app);
    SUBMP_BOX(app);
}

void BOX2_SUB(App& app)
{
    if (app.HighlightDrawn) SUBMP_BOX(app);
    const int count = app.CatFrameCount[size_t(app.CurCat)];
    if (count > 0) {
        if (app.FrameListMode == FrameListMode::AllInListPen) {
            for (int j = count - 1; j >= 0; --j)
                drawFrame(app, j, Pen::Second);
            app.FrameListMode = FrameListMode::NotDrawn;
        } else {
            const int s = app.rt.GetCurSel(app.COMBO1);
            for (int j = count - 1; j >= 0; --j)
                if (j != s) drawFrame(app, j, Pen::Second);
        }
    }
    CG_UP_SUB(app);
}

void SETBOX_SUB(App& app)
{
    const int s = selectedFrame(app);
    if (s >= 0) {
        const auto j = size_t(s);
        const auto c = size_t(app.CurCat);
        app.SelX1 = app.FrameLeft[j][c];
        app.SelY1 = app.FrameTop[j][c];
        app.SelX2 = app.FrameRight[j][c];
        app.SelY2 = app.FrameBottom[j][c];
    }
    P1BOX_SUB(app);
}
