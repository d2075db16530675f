#include "trimming/TrimmingMode.h"

#include "app/App.h"

void RESETPARA_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    rt.ResetContent(app.COMBO1);
    rt.EnableWindow(app.COMBO1, kFalse);
    // The font size of BUTTON3 stays as it is; only its caption returns to normal.
    rt.SetWindowText(app.BUTTON2, QStringLiteral("トリミング開始"));
    rt.SetWindowText(app.BUTTON3, QStringLiteral("修正"));
    rt.EnableWindow(app.BUTTON1, kTrue);
    rt.SetMousePointer(app.PICTURE1, 0);
    ENCHANGE_SUB2(app, kFalse);

    app.TrimState = 0;
    app.FrameListMode = 0;
    app.HighlightDrawn = 0;
    app.BandDrawn = 0;
    app.PreviousFrame = 0;
    app.SelectedFrame = 0;
    app.GrabCode = 0;
    app.SkipBandRedraw = 0;
    app.BandEdgeMask = 0;
    // Frames are recorded in view pixels, so a rebuilt view makes the frames of every
    // category meaningless, valid or not.
    app.CatFrameCount.fill(0);
    app.BandLeft = -1;
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
    if (app.TrimState != 4) return;
    app.rt.SetMousePointer(app.PICTURE1, 3);
    app.TrimState = 3;
    app.GrabCode = 0;
}
