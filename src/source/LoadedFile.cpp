#include "source/LoadedFile.h"

#include "core/App.h"
#include "core/Title.h"
#include "source/Lookahead.h"
#include "view/Scrolling.h"

void adoptLoadedFile(App& app)
{
    app.LoadPath = app.SplitDrive + app.SplitDir;
    app.CurrentFilePath = app.LoadFilePath;
    app.CurrentFileName = app.SplitName + app.SeqExt;
    TITLE_SET(app);
    CG_ON_SUB(app);
    decodeNextAhead(app);
}

void showNoImage(App& app)
{
    app.CurrentFilePath.clear();
    app.CurrentFileName.clear();
    app.ImageWidth = kBlankImageWidth;
    app.ImageHeight = kBlankImageHeight;
    TITLE_SET(app);
    CG_ON_SUB(app);
}

void finishLoad(App& app)
{
    if (app.LoadFailed == kFlagClear) {
        adoptLoadedFile(app);
        return;
    }
    TITLE_SET(app);
    CG_ON_SUB(app);
}
