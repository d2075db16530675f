#pragma once

#include "core/State.h"
#include "image/BitmapStore.h"
#include "platform/FormRuntime.h"

#include <array>
#include <functional>
#include <memory>

struct App;

// One action for each PendingAction, looked up by the request itself.
class RequestActionTable
{
public:
    using Action = std::function<void(App&)>;
    Action& operator[](PendingAction request) { return m_actions[size_t(request)]; }
    const Action& operator[](PendingAction request) const { return m_actions[size_t(request)]; }

private:
    std::array<Action, size_t(PendingAction::SaveThenPrevious) + 1> m_actions;
};

// The context every routine and handler receives: the state, the form runtime with its windows
// and controls, the off-screen bitmaps, and the control handles. Each App is a whole program, so a test
// builds a fresh one.
struct App : AppState, Controls
{
    explicit App(std::unique_ptr<Dialogs> dialogs);

    FormRuntime rt;
    BitmapStore bitmaps;
    // The window of the event being handled; message boxes of its handler belong to it.
    Control EventOwner;
    // What the request loop carries out for each PendingAction but None.
    RequestActionTable RequestActions;
};
