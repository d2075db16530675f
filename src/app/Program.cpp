#include "app/Program.h"
#include "app/Handlers.h"
#include "app/RequestLoop.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"
#include "core/App.h"
#include "platform/FileSystem.h"

#include <QDir>

namespace {

// Without its own folder the program works where it was started, and says so while the user
// can still choose another place.
void useOwnWorkFolder(App& app)
{
    QString reason;
    if (enterOwnWorkFolder(reason)) return;
    app.rt.MessageBox(Control {}, QStringLiteral("作業フォルダエラー"),
        QStringLiteral("作業フォルダ「%1」を作れないため、起動したフォルダ「%2」で作業します。")
                .arg(QDir::toNativeSeparators(ownWorkFolder()), currentDirectory())
            + QLatin1Char('\n') + QStringLiteral("（%1）").arg(reason),
        MessageButtons::Ok, MessageIcon::Exclamation);
}

} // namespace

void startProgram(App& app, const StartRequest& request)
{
    if (request.ownFolder) useOwnWorkFolder(app);
    registerHandlers(app);
    startUp(app);
    if (!request.path.isEmpty())
        app.rt.PostEvent({ QStringLiteral("MAINFORM_DROP"), app.MAINFORM, 0, 0, 0, 0, request.path });
}

int runProgram(App& app, const StartRequest& request)
{
    try {
        runAsUnit(QStringLiteral("startUp"), 0, [&] { startProgram(app, request); });
        RequestLoop(app);
        return 0;
    } catch (const UnexpectedError& error) {
        showUnexpectedError(app, error);
        return 1;
    }
}
