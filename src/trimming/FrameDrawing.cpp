#include "trimming/FrameDrawing.h"

#include "core/App.h"
#include "view/Scrolling.h"

#include <utility>

namespace {

// Band edge bits.
constexpr int16_t kTop = 1, kLeft = 2, kRight = 4, kBottom = 8;

// Outline of frame j of the current category in the view bitmap, exclusive-or.
void drawFrame(App& app, int frame, int pen)
{
    const auto j = size_t(frame);
    const auto c = size_t(app.CurCat);
    app.rt.DrawLine(app.ViewBitmap, int(app.FrameLeft[j][c]), int(app.FrameTop[j][c]),
        int(app.FrameRight[j][c]), int(app.FrameBottom[j][c]), DrawMode::Xor, 1, Figure::Box, pen);
}

// The selected frame of the list, or -1 when there is none to draw.
int selectedFrame(App& app)
{
    const int s = app.rt.GetCurSel(app.COMBO1);
    return s >= 0 && s < int(app.CatFrameCount[size_t(app.CurCat)]) ? s : -1;
}

void bandLine(App& app, float x1, float y1, float x2, float y2)
{
    app.rt.DrawLine(
        app.PICTURE1, int(x1), int(y1), int(x2), int(y2), DrawMode::Xor, 1, Figure::Line, Pen::Default);
}

// Which band edges cross the visible area; an edge wholly outside it gets no bit.
int16_t edgeMask(float l, float t, float r, float b, float vl, float vt, float vr, float vb)
{
    const bool colL = vl <= l && l <= vr, colR = vl <= r && r <= vr;
    const bool rowT = vt <= t && t <= vb, rowB = vt <= b && b <= vb;
    const bool spansX = l < vl && r > vr, spansY = t < vt && b > vb;
    int mask = 0;
    if (rowT) {
        if (colL) mask |= kTop | kLeft;
        if (colR) mask |= kTop | kRight;
        if (spansX) mask |= kTop;
    }
    if (colL) {
        if (rowB) mask |= kLeft | kBottom;
        if (spansY) mask |= kLeft;
    }
    if (rowB) {
        if (colR) mask |= kRight | kBottom;
        if (spansX) mask |= kBottom;
    }
    if (colR && spansY) mask |= kRight;
    return int16_t(mask);
}

// Moves the band ends that lie beyond the picture onto its border: a horizontal edge whose
// left or right edge is not drawn runs from the picture's border, and likewise a vertical edge
// whose top or bottom edge is not drawn.
void clipBand(App& app, float lastColumn, float lastRow)
{
    const int mask = app.BandEdgeMask;
    if (mask & (kTop | kBottom)) {
        if (!(mask & kLeft)) app.BandLeft = 0;
        if (!(mask & kRight)) app.BandRight = lastColumn;
    }
    if (mask & (kLeft | kRight)) {
        if (!(mask & kTop)) app.BandTop = 0;
        if (!(mask & kBottom)) app.BandBottom = lastRow;
    }
}

} // namespace

void P1BOX_SUB(App& app)
{
    // Until the first corner is set there is no working frame: the band stays absent
    // (BandLeft -1) instead of being computed from the corners of an earlier frame.
    if (app.TrimState < 2) return;
    // Ordered only for the computation: while placing, SelX1/SelY1 stay the anchor.
    const bool swapX = app.SelX1 > app.SelX2, swapY = app.SelY1 > app.SelY2;
    if (swapX) std::swap(app.SelX1, app.SelX2);
    if (swapY) std::swap(app.SelY1, app.SelY2);
    const float vl = app.VisibleLeft, vt = app.VisibleTop, vr = app.VisibleRight, vb = app.VisibleBottom;

    app.BandEdgeMask = edgeMask(app.SelX1, app.SelY1, app.SelX2, app.SelY2, vl, vt, vr, vb);
    app.BandLeft = app.SelX1 - vl;
    app.BandTop = app.SelY1 - vt;
    app.BandRight = app.SelX2 - vl;
    app.BandBottom = app.SelY2 - vt;
    for (float* edge : { &app.BandLeft, &app.BandTop, &app.BandRight, &app.BandBottom })
        if (*edge < 0) *edge = 0;
    clipBand(app, vr - vl, vb - vt);
    P1LINE_SUB(app);

    if (swapX) std::swap(app.SelX1, app.SelX2);
    if (swapY) std::swap(app.SelY1, app.SelY2);
}

void P1LINE_SUB(App& app)
{
    if (app.TrimState <= 0 || app.BandLeft < 0) return;
    const int16_t mask = app.BandEdgeMask;
    if (mask & kTop) bandLine(app, app.BandLeft, app.BandTop, app.BandRight, app.BandTop);
    if (mask & kLeft) bandLine(app, app.BandLeft, app.BandTop, app.BandLeft, app.BandBottom);
    if (mask & kRight) bandLine(app, app.BandRight, app.BandTop, app.BandRight, app.BandBottom);
    if (mask & kBottom) bandLine(app, app.BandLeft, app.BandBottom, app.BandRight, app.BandBottom);
    if (mask > 0) app.BandDrawn = app.BandDrawn ? 0 : 1;
}

void SUBMP_BOX(App& app)
{
    if (app.FrameListMode != 1) return;
    const int s = selectedFrame(app);
    if (app.HighlightDrawn == 0) {
        app.HighlightDrawn = 1;
        app.BandDrawn = 0; // the repaint below wipes any band
    } else {
        app.HighlightDrawn = 0;
    }
    if (s >= 0) drawFrame(app, s, Pen::Default);
    app.SkipBandRedraw = 1;
    CG_UP_SUB(app);
}

void SUBMP_BOX2(App& app)
{
    if (app.FrameListMode != 1) return;
    const int s = selectedFrame(app);
    if (s >= 0) drawFrame(app, s, Pen::Second);
    CG_UP_SUB(app);
}

void BOX_SUB(App& app)
{
    const int count = int(app.CatFrameCount[size_t(app.CurCat)]);
    const int s = app.rt.GetCurSel(app.COMBO1);
    for (int j = 0; j < count; ++j)
        if (j != s) drawFrame(app, j, Pen::Second);
    CG_UP_SUB(app);
    SUBMP_BOX(app);
}

void BOX2_SUB(App& app)
{
    if (app.HighlightDrawn == 1) SUBMP_BOX(app);
    const int count = int(app.CatFrameCount[size_t(app.CurCat)]);
    if (count > 0) {
        if (app.FrameListMode == 2) {
            for (int j = count - 1; j >= 0; --j)
                drawFrame(app, j, Pen::Second);
            app.FrameListMode = 0;
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
