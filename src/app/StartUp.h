#pragma once

struct App;

// Prepares both windows and the whole state, reads the settings and checks the save targets:
// everything before the request loop.
void startUp(App& app);
