#pragma once

#include "core/State.h"

#include <span>

struct App;

// Prepares both windows and the whole state, reads the settings and checks the save targets:
// everything before the request loop.
void startUp(App& app);

// A control that start-up binds by name in its window, with the font size it gets (0: it keeps
// the font of its form).
struct ControlBinding
{
    Control Controls::*handle;
    const char* name;
    int fontSize;
};

// The controls start-up binds from the window of the form `formName` ("MAINFORM" or "FORM2"),
// none for any other name. The picture is not among them: it is bound on its own.
std::span<const ControlBinding> controlBindings(const QString& formName);
