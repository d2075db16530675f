#include "source/ImageLoading.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "source/LoadedFile.h"
#include "source/PathSplit.h"
#include "view/Scrolling.h"
#include "view/Magnification.h"

#include <new>

void splitLoadPath(App& app)
{
    const PathParts parts = splitPath(app.LoadFilePath);
    app.SplitDrive = parts.drive;
    app.SplitDir = parts.directory;
    app.SplitName = parts.name;
    app.SeqExt = parts.extension;
}

namespace {

// BMP files are read as they are; every other file is converted first. The conversion decodes
// the file in memory and writes no work file, but a work file left over from an earlier run is
// still removed before each conversion, so none is ever found on the work drive afterwards.
LoadResult readSource(App& app)
{
    if (app.SeqExt == QLatin1String(".bmp") || app.SeqExt == QLatin1String(".BMP"))
        return app.bitmaps.LoadBitmapFile(app.SourceBitmap, app.LoadFilePath);
    if (isExistingFile(app.JpegTempFile)) deleteFile(app.JpegTempFile);
    return app.bitmaps.LoadBitmapFile(app.SourceBitmap, app.LoadFilePath);
}

// Reads the file and rebuilds the view from it. On failure nothing of the attempt is kept:
// no source bitmap, and the image size of the last image that loaded.
LoadResult loadAndShow(App& app)
{
    const float previousWidth = app.ImageWidth;
    const float previousHeight = app.ImageHeight;
    LoadResult result;
    try {
        result = readSource(app);
        if (result.ok()) {
            app.ImageWidth = app.bitmaps.GetBitmapWidth(app.SourceBitmap);
            app.ImageHeight = app.bitmaps.GetBitmapHeight(app.SourceBitmap);
            BAI_SUB(app);
        }
    } catch (const std::bad_alloc&) {
        result = { LoadError::OutOfMemory };
    }
    if (!result.ok()) {
        app.bitmaps.DeleteObject(app.SourceBitmap);
        app.ImageWidth = previousWidth;
        app.ImageHeight = previousHeight;
    }
    return result;
}

} // namespace

QString loadFailureText(LoadError error)
{
    switch (error) {
    case LoadError::OutOfMemory: return QStringLiteral("ロードする為のメモリが足りません");
    case LoadError::NotFound: return QStringLiteral("このファイルは存在しません");
    case LoadError::None:
    case LoadError::Unreadable: break;
    }
    return QStringLiteral("このファイルは表示できません");
}

void LOAD_BMP(App& app)
{
    if (app.bitmaps.CheckObject(app.SourceBitmap)) app.bitmaps.DeleteObject(app.SourceBitmap);
    app.LoadFailed = kFlagClear;
    splitLoadPath(app);
    bool fallingBack = false;
    while (true) {
        const LoadResult result = loadAndShow(app);
        if (result.ok()) return;
        app.rt.MessageBox(app.EventOwner, app.SplitName + app.SeqExt, loadFailureText(result.error),
            MessageButtons::Ok, MessageIcon::None);
        app.LoadFailed = kFlagSet;
        if (app.CurrentFilePath.isEmpty()) return;
        // The image shown before is tried once. If it cannot be loaded either (deleted
        // meanwhile, say), there is no image to return to any more. Every loader ends here, and
        // not all of them show anything after a failed load, so the picture is cleared here.
        if (fallingBack) {
            showNoImage(app);
            return;
        }
        fallingBack = true;
        app.LoadFilePath = app.CurrentFilePath;
        splitLoadPath(app);
    }
}

void MAINFORM_DECODED(App& app)
{
    const BitmapStore::DecodeEnd end = app.bitmaps.FinishBackgroundDecodes();
    if (end.ended && !end.result.ok()) {
        app.rt.MessageBox(app.MAINFORM, app.CurrentFileName, loadFailureText(end.result.error), MessageButtons::Ok,
            MessageIcon::None);
        app.bitmaps.DeleteObject(app.SourceBitmap);
        showNoImage(app);
        return;
    }
    if (end.viewsChanged) CG_UP_SUB(app);
}
