#pragma once

struct App;

// Carries out the requests that handlers leave in PendingAction, waiting for events in between,
// until the main window is gone. With returnWhenIdle it returns as soon as no event is queued,
// so that a test can drive the program step by step. An error that escapes a request, or the
// loop outside any handler, becomes an UnexpectedError of unit "RequestLoop" located by the
// request's number (0 outside a request).
void RequestLoop(App& app, bool returnWhenIdle = false);
