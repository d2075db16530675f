#include "trimming/TrimmingMode.h"

#include "core/App.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingStates.h"

#include <utility>

namespace {

int16_t& frameCount(App& app)
{
    return app.CatFrameCount[size_t(app.CurCat)];
}

// Shows the limit message when the current category holds as many frames as it may.
bool refusedAtLimit(App& app)
{
    if (frameCount(app) != app.MaxFramesPerCat) return false;
    tellLimitReached(app);
    return true;
}

void emptyFrameList(App& app)
{
    app.rt.ResetContent(app.COMBO1);
    app.TrackedFrame = -1;
}

void setTrimButtonCaption(App& app, bool placing)
{
    app.rt.SetWindowText(
        app.BUTTON2, placing ? QStringLiteral("トリミング中止") : QStringLiteral("トリミング開始"));
}

// A press on the picture starts placing even while a frame is chosen in the list, and the
// modify and delete buttons stay usable then. Before either acts, placing is given up: the band
// goes, and the selected frame, drawn with the list pen while placing, is highlighted again, so
// that the drawing is the one the frame-chosen situation has.
void giveUpPlacing(App& app)
{
    if (app.TrimState != TrimState::Armed && app.TrimState != TrimState::Placing) return;
    if (app.BandDrawn) P1LINE_SUB(app);
    app.TrimState = TrimState::Idle;
    app.BandLeft = kNoBand;
    app.ReleaseArmed = kFlagClear;
    setTrimButtonCaption(app, false);
    SUBMP_BOX2(app);
    SUBMP_BOX(app);
    if (frameCount(app) > 0) app.rt.EnableWindow(app.COMBO1, kTrue);
}

} // namespace

void tellLimitReached(App& app, const QString& title)
{
    app.rt.MessageBox(app.EventOwner, title, QStringLiteral("この分類の登録数が限界に達しました"),
        MessageButtons::Ok, MessageIcon::None);
}

QString frameLabel(int number)
{
    return QStringLiteral("範囲") + QString::number(number);
}

void selectFrame(App& app, int index)
{
    app.rt.SetCurSel(app.COMBO1, index);
    app.TrackedFrame = int16_t(app.rt.GetCurSel(app.COMBO1));
}

bool startTrimming(App& app)
{
    if (refusedAtLimit(app)) return false;
    const int s = app.rt.GetCurSel(app.COMBO1);
    if (frameCount(app) > s) RESET_SUB(app);
    setTrimButtonCaption(app, true);
    ENCHANGE_SUB(app, kFalse);
    // The selected frame loses its highlight and is drawn like the others while a new one is placed.
    SUBMP_BOX(app);
    SUBMP_BOX2(app);
    app.TrimState = TrimState::Armed;
    return true;
}

void recordFrame(App& app)
{
    if (app.SelX1 > app.SelX2) std::swap(app.SelX1, app.SelX2);
    if (app.SelY1 > app.SelY2) std::swap(app.SelY1, app.SelY2);
    app.TrimState = TrimState::Idle;
    app.rt.SetWindowText(app.BUTTON2, QStringLiteral("トリミング開始"));
    ENCHANGE_SUB(app, kTrue);

    const auto c = size_t(app.CurCat);
    const int n = app.CatFrameCount[c];
    const auto j = size_t(n);
    app.FrameLeft[j][c] = app.SelX1;
    app.FrameTop[j][c] = app.SelY1;
    app.FrameRight[j][c] = app.SelX2;
    app.FrameBottom[j][c] = app.SelY2;
    app.CatFrameCount[c] = int16_t(n + 1);

    app.rt.AddString(app.COMBO1, frameLabel(n + 1));
    selectFrame(app, n);
    app.rt.EnableWindow(app.COMBO1, kTrue);
    app.FrameListMode = FrameListMode::Drawn;
    SUBMP_BOX(app);
}

void BUTTON2_ON(App& app)
{
    if (app.TrimState == TrimState::Idle) {
        if (!startTrimming(app)) return;
    } else {
        if (refusedAtLimit(app)) return;
        if (app.BandDrawn) P1LINE_SUB(app);
        app.TrimState = TrimState::Idle;
        setTrimButtonCaption(app, false);
        ENCHANGE_SUB(app, kTrue);
        // Every frame, the selected one too, is drawn with the list pen now: the erase of
        // RESET_SUB must take all of them away before the list is drawn again.
        app.FrameListMode = FrameListMode::AllInListPen;
        RESET_SUB(app);
    }
    app.BandLeft = kNoBand;
}

void BUTTON3_ON(App& app)
{
    FormRuntime& rt = app.rt;
    giveUpPlacing(app);
    if (app.TrimState < TrimState::Modifying) {
        // The frame taken into the band is the one the finished modification is stored into;
        // after a frame was recorded with this button usable, the list may select another
        // frame than the one clicked last.
        app.SelectedFrame = int16_t(rt.GetCurSel(app.COMBO1));
        rt.SetFontSize(app.BUTTON3, 10);
        rt.SetWindowText(app.BUTTON3, QStringLiteral("修正完了"));
        app.TrimState = TrimState::Modifying;
        rt.EnableWindow(app.COMBO1, kFalse);
        rt.EnableWindow(app.BUTTON4, kFalse);
        rt.EnableWindow(app.BUTTON1, kFalse);
        if (app.HighlightDrawn) SUBMP_BOX(app);
        SETBOX_SUB(app);
        return;
    }
    rt.SetFontSize(app.BUTTON3, 14);
    rt.SetWindowText(app.BUTTON3, QStringLiteral("修正"));
    rt.EnableWindow(app.BUTTON1, kTrue);
    rt.EnableWindow(app.COMBO1, kTrue);
    ENCHANGE_SUB2(app, kFalse);
    rt.SetMousePointer(app.PICTURE1, MousePointer::Default);
    app.TrimState = TrimState::Idle;

    if (app.SelectedFrame >= 0 && app.SelectedFrame < kMaxFrames) {
        const auto j = size_t(app.SelectedFrame);
        const auto c = size_t(app.CurCat);
        app.FrameLeft[j][c] = app.SelX1;
        app.FrameTop[j][c] = app.SelY1;
        app.FrameRight[j][c] = app.SelX2;
        app.FrameBottom[j][c] = app.SelY2;
    }
    // The frame is highlighted at its new place; the repaint takes the band away.
    app.FrameListMode = FrameListMode::Drawn;
    SUBMP_BOX(app);
}

void BUTTON4_ON(App& app)
{
    FormRuntime& rt = app.rt;
    giveUpPlacing(app);
    BOX2_SUB(app);
    ENCHANGE_SUB2(app, kFalse);
    const int s = rt.GetCurSel(app.COMBO1);
    emptyFrameList(app);
    const auto c = size_t(app.CurCat);
    const int count = frameCount(app);
    if (count > 1) {
        int k = 0;
        for (int j = 0; j < count; ++j) {
            if (j == s) continue;
            rt.AddString(app.COMBO1, frameLabel(k + 1));
            app.FrameLeft[size_t(k)][c] = app.FrameLeft[size_t(j)][c];
            app.FrameTop[size_t(k)][c] = app.FrameTop[size_t(j)][c];
            app.FrameRight[size_t(k)][c] = app.FrameRight[size_t(j)][c];
            app.FrameBottom[size_t(k)][c] = app.FrameBottom[size_t(j)][c];
            ++k;
        }
        frameCount(app) = int16_t(k);
        selectFrame(app, k - 1);
        app.FrameListMode = FrameListMode::Drawn;
        BOX_SUB(app);
    } else {
        rt.EnableWindow(app.COMBO1, kFalse);
        app.FrameListMode = FrameListMode::NotDrawn;
        frameCount(app) = 0;
    }
}

void COMBO1_CLICK(App& app)
{
    ENCHANGE_SUB2(app, kTrue);
    if (frameCount(app) == 0)
        app.rt.EnableWindow(app.COMBO1, kFalse);
    else
        app.PreviousFrame = int16_t(app.rt.GetCurSel(app.COMBO1));
    app.SelectedFrame = int16_t(app.rt.GetCurSel(app.COMBO1));
}

void COMBO1_CHANGE(App& app)
{
    app.SelectedFrame = int16_t(app.rt.GetCurSel(app.COMBO1));
    // The drawing was made for the selection before the change. After a click that is the one
    // the click remembered; a change from the keyboard comes without a click, so the program
    // uses the selection it tracked itself in both cases.
    app.PreviousFrame = app.TrackedFrame;
    selectFrame(app, app.PreviousFrame);
    BOX2_SUB(app);
    selectFrame(app, app.SelectedFrame);
    BOX_SUB(app);
}

void COMBO2_CHANGE(App& app)
{
    RESET_SUB(app);
}

void RESET_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    BOX2_SUB(app);
    const int position = rt.GetCurSel(app.COMBO2);
    // With no category in the selector the current one stays.
    if (position >= 0 && position <= kCategoryCount) app.CurCat = app.ValidCatMap[size_t(position)];
    emptyFrameList(app);
    const int count = frameCount(app);
    if (count == 0) {
        rt.EnableWindow(app.COMBO1, kFalse);
        app.FrameListMode = FrameListMode::NotDrawn;
    } else {
        rt.EnableWindow(app.COMBO1, kTrue);
        for (int n = 1; n <= count; ++n)
            rt.AddString(app.COMBO1, frameLabel(n));
        selectFrame(app, count - 1);
        app.FrameListMode = FrameListMode::Drawn;
        BOX_SUB(app);
    }
    app.TrimState = TrimState::Idle;
    app.GrabCode = grabCode({});
}

void RESETPARA_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    emptyFrameList(app);
    rt.EnableWindow(app.COMBO1, kFalse);
    // The font size of BUTTON3 stays as it is; only its caption returns to normal.
    setTrimButtonCaption(app, false);
    rt.SetWindowText(app.BUTTON3, QStringLiteral("修正"));
    rt.EnableWindow(app.BUTTON1, kTrue);
    rt.SetMousePointer(app.PICTURE1, MousePointer::Default);
    ENCHANGE_SUB2(app, kFalse);

    app.TrimState = TrimState::Idle;
    app.FrameListMode = FrameListMode::NotDrawn;
    app.HighlightDrawn = kFlagClear;
    app.BandDrawn = kFlagClear;
    app.PreviousFrame = 0;
    app.SelectedFrame = 0;
    app.GrabCode = grabCode({});
    app.SkipBandRedraw = kFlagClear;
    app.BandEdgeMask = bandEdgeMask({});
    // Frames are recorded in view pixels, so a rebuilt view makes the frames of every
    // category meaningless, valid or not.
    app.CatFrameCount.fill(0);
    app.BandLeft = kNoBand;
}

void ENCHANGE_SUB(App& app, int flag)
{
    FormRuntime& rt = app.rt;
    for (Control control : { app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12, app.COMBO2, app.COMBO5 })
        rt.EnableWindow(control, flag);
    rt.EnableWindow(app.COMBO1, flag);
    if (flag && frameCount(app) == 0) rt.EnableWindow(app.COMBO1, kFalse);
}

void ENCHANGE_SUB2(App& app, int flag)
{
    FormRuntime& rt = app.rt;
    const int frameChosen = flag ? kTrue : kFalse;
    const int normal = flag ? kFalse : kTrue;
    rt.EnableWindow(app.BUTTON2, normal);
    rt.EnableWindow(app.BUTTON3, frameChosen);
    rt.EnableWindow(app.BUTTON4, frameChosen);
    for (Control control : { app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12, app.COMBO2, app.COMBO5 })
        rt.EnableWindow(control, normal);
}

void TRI3_CHK(App& app)
{
    if (app.TrimState != TrimState::Dragging) return;
    app.rt.SetMousePointer(app.PICTURE1, MousePointer::Modify);
    app.TrimState = TrimState::Modifying;
    app.GrabCode = grabCode({});
}

bool anyFramePlaced(const App& app)
{
    for (int category = 1; category <= kCategoryCount; ++category)
        if (isValidCategory(app, category) && app.CatFrameCount[size_t(category)] > 0) return true;
    return false;
}

void MAINFORM_ESCAPE(App& app)
{
    if (app.TrimState != TrimState::Armed && app.TrimState != TrimState::Placing) return;
    // Placing begun with "トリミング開始" ends as "トリミング中止" ends it. Placing begun by a press
    // on the picture while a frame was chosen in the list, where that button is disabled, returns
    // to the chosen frame, as "修正" and "削除" do before they act.
    if (app.rt.IsWindowEnabled(app.BUTTON2))
        BUTTON2_ON(app);
    else
        giveUpPlacing(app);
}

void COMBO2_KEY(App& app, int entry)
{
    if (entry < 0 || entry >= app.rt.GetCount(app.COMBO2) || entry == app.rt.GetCurSel(app.COMBO2)) return;
    app.rt.SetCurSel(app.COMBO2, entry);
    COMBO2_CHANGE(app);
}
