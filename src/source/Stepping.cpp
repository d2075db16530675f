#include "source/Stepping.h"

#include "app/App.h"
#include "app/StartUp.h"
#include "source/ImageLoading.h"
#include "source/LoadedFile.h"
#include "source/SequenceNaming.h"
#include "view/Scrolling.h"

void REN_LOAD(App& app)
{
    CHK_LOAD(app);
    if (app.LoadFailed != 0) return;
    // A failed load falls back to the image shown before and splits its path; the sequence
    // keeps its own extension, or every later number would be composed with the wrong one.
    const QString sequenceExtension = app.SeqExt;
    LOAD_BMP(app);
    if (app.LoadFailed == 0) {
        adoptLoadedFile(app);
        return;
    }
    app.SeqExt = sequenceExtension;
    // The image shown before came back: show it again, as it was.
    if (!app.CurrentFilePath.isEmpty()) {
        TITLE_SET(app);
        CG_ON_SUB(app);
    }
}
