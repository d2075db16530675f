#include "source/Lookahead.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "source/SequenceNaming.h"

namespace {

QString nextPath(const App& app)
{
    const int step = int(app.LastStep); // a direction's value is its step
    switch (app.LoadMode) {
    case LoadMode::Sequence: return sequenceFilePath(app, std::max(app.SeqNumber + step, 0.0));
    case LoadMode::Folder: {
        const int index = app.SrcIndex + step;
        if (app.SrcIndex < 0 || index < 0 || index >= app.SrcList.size()) return {};
        return withTrailingSeparator(app.LoadPath) + app.SrcList[index];
    }
    default: return app.CurrentFilePath;
    }
}

} // namespace

void decodeNextAhead(App& app)
{
    const QString path = nextPath(app);
    if (path.isEmpty() || !isExistingFile(path))
        app.bitmaps.DropPrefetch();
    else
        app.bitmaps.Prefetch(path);
}
