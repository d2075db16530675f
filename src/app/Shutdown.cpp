#include "app/Shutdown.h"
#include "core/App.h"
#include "settings/Settings.h"
#include "trimming/TrimmingMode.h"

void MAINFORM_END(App& app)
{
    // Frames that no save has written would be lost with the window, so the user says first;
    // at the end of the desktop session nobody can answer.
    if (!app.rt.SessionEnding() && anyFramePlaced(app)
        && app.rt.MessageBox(app.MAINFORM, app.TitleText,
               QStringLiteral("保存していない枠があります。終了しますか？"), MessageButtons::YesNo,
               MessageIcon::Exclamation)
            != MessageAnswer::Yes)
        return;
    // A single file cannot be stepped from, so the next start does not try to.
    if (app.LoadMode == LoadMode::SingleFile) app.LoadMode = LoadMode::None;
    S_KANKYO(app);
    app.rt.DestroyWindow(app.MAINFORM);
    app.bitmaps.DeleteObject(app.ViewBitmap);
}
