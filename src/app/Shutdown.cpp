#include "app/Shutdown.h"
#include "core/App.h"
#include "settings/Settings.h"
#include "source/LoadMode.h"

void MAINFORM_END(App& app)
{
    // A single file cannot be stepped from, so the next start does not try to.
    if (app.LoadMode == LoadMode::SingleFile) app.LoadMode = LoadMode::None;
    S_KANKYO(app);
    app.rt.DestroyWindow(app.MAINFORM);
    app.rt.DeleteObject(app.ViewBitmap);
}
