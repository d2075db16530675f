#include "app/RequestLoop.h"
#include "app/UnexpectedError.h"
#include "core/App.h"
#include "source/Position.h"

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

// The strip's position follows whatever a handler or a request has changed: a step, a listing,
// a new registration, a drop.
void runRequests(App& app, FormRuntime::Wait wait)
{
    showPosition(app);
    while (!app.rt.Ended()) {
        app.PendingAction = PendingAction::None;
        // Handlers run one at a time; a request one of them leaves is carried out only after
        // it has returned, before the next event is taken.
        while (app.PendingAction == PendingAction::None) {
            if (!app.rt.WaitEvent(wait)) return;
            showPosition(app);
        }
        carryOutRequest(app);
        showPosition(app);
    }
}

} // namespace

void RequestLoop(App& app, bool returnWhenIdle)
{
    const auto wait = returnWhenIdle ? FormRuntime::Wait::NoWait : FormRuntime::Wait::ForEvent;
    runAsUnit(kRequestLoop, 0, [&] { runRequests(app, wait); });
}
