#include "app/RequestLoop.h"
#include "app/UnexpectedError.h"
#include "core/App.h"

namespace {

const QString kRequestLoop = QStringLiteral("RequestLoop");

// An error that a request lets escape is located by the request's number.
void carryOutRequest(App& app)
{
    const PendingAction request = app.PendingAction;
    if (request < PendingAction::ListFolder || request > PendingAction::SaveThenPrevious) return;
    if (const auto& action = app.RequestActions[request])
        runAsUnit(kRequestLoop, unsigned(request), [&] { action(app); });
}

void runRequests(App& app, FormRuntime::Wait wait)
{
    while (!app.rt.Ended()) {
        app.PendingAction = PendingAction::None;
        // Handlers run one at a time; a request one of them leaves is carried out only after
        // it has returned, before the next event is taken.
        while (app.PendingAction == PendingAction::None)
            if (!app.rt.WaitEvent(wait)) return;
        carryOutRequest(app);
    }
}

} // namespace

void RequestLoop(App& app, bool returnWhenIdle)
{
    const auto wait = returnWhenIdle ? FormRuntime::Wait::NoWait : FormRuntime::Wait::ForEvent;
    runAsUnit(kRequestLoop, 0, [&] { runRequests(app, wait); });
}
