#include "app/App.h"
#include "app/Handlers.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"

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
