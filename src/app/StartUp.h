#pragma once

struct App;

// Prepares both windows and the whole state, reads the settings and checks the save targets:
// everything before the request loop.
void startUp(App& app);

// The title of the main window: the program name, then the image on show.
void TITLE_SET(App& app);

// Carries out the requests that handlers leave in PendingAction, waiting for events in between,
// until the main window is gone. With returnWhenIdle it returns as soon as no event is queued,
// so that a test can drive the program step by step. An error that escapes a request, or the
// loop outside any handler, becomes an UnexpectedError of unit "RequestLoop" located by the
// request's number (0 outside a request).
void RequestLoop(App& app, bool returnWhenIdle = false);

// Handler of the main window's close: stores the settings and ends the program.
void MAINFORM_END(App& app);

// The whole program: start-up, then the request loop. Returns the process exit code.
int runProgram(App& app);
