#include "app/Program.h"
#include "app/Handlers.h"
#include "app/RequestLoop.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"
#include "core/App.h"

int runProgram(App& app)
{
    try {
        runAsUnit(QStringLiteral("startUp"), 0, [&] {
            registerHandlers(app);
            startUp(app);
        });
        RequestLoop(app);
        return 0;
    } catch (const UnexpectedError& error) {
        showUnexpectedError(app, error);
        return 1;
    }
}
