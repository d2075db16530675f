#pragma once

struct App;
struct ControlEvent;

using Handler = void (*)(App&, const ControlEvent&);

// Registers every event handler of the program.
void registerHandlers(App& app);

// Registers one handler under its event name. It runs with the window of its event as the
// owner of its message boxes; an exception that escapes it is an error no routine handles.
void registerHandler(App& app, const char* eventName, Handler handler);

// The same for a handler that needs nothing of its event but the owner window.
void registerHandler(App& app, const char* eventName, void (*handler)(App&));
