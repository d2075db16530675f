#include "source/Stepping.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "source/ImageLoading.h"
#include "source/LoadedFile.h"
#include "source/SequenceNaming.h"

void REN_LOAD(App& app)
{
    CHK_LOAD(app);
    if (app.LoadFailed != kFlagClear) return;
    // A failed load falls back to the image shown before and splits its path; the sequence
    // keeps its own extension, or every later number would be composed with the wrong one.
    const QString sequenceExtension = app.SeqExt;
    LOAD_BMP(app);
    if (app.LoadFailed != kFlagClear) app.SeqExt = sequenceExtension;
    finishLoad(app);
}

void REN_LOAD2(App& app, const QString& fileName)
{
    app.LoadFilePath = withTrailingSeparator(app.LoadPath) + fileName;
    app.LoadFailed = kFlagClear;
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    if (!isExistingFile(app.LoadFilePath)) {
        app.LoadFailed = kFlagSet;
        app.rt.MessageBox(app.EventOwner, fileName, QStringLiteral("ロードするファイルがありません。"),
            MessageButtons::Ok, MessageIcon::None);
        app.rt.EnableWindow(app.BUTTON2, kFalse);
        return;
    }
    LOAD_BMP(app);
    finishLoad(app);
}
