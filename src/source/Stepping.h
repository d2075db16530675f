#pragma once

struct App;

// Loads the file of the current SeqNumber: composes and checks its name, loads it and shows
// it. LoadFailed is 1 when the file is missing or could not be loaded.
void REN_LOAD(App& app);
