#include "app/App.h"
#include "app/StartUp.h"

namespace {

void carryOutRequest(App& app)
{
    const int16_t request = app.PendingAction;
    if (request < 1 || request > 3) return;
    if (const auto& action = app.RequestActions[size_t(request)]) action(app);
}

} // namespace

void RequestLoop(App& app, bool returnWhenIdle)
{
    const auto wait = returnWhenIdle ? FormRuntime::Wait::NoWait : FormRuntime::Wait::ForEvent;
    while (!app.rt.Ended()) {
        app.PendingAction = 0;
        // Handlers run one at a time; a request one of them leaves is carried out only after
        // it has returned, before the next event is taken.
        while (app.PendingAction == 0)
            if (!app.rt.WaitEvent(wait)) return;
        carryOutRequest(app);
    }
}
