#pragma once

struct App;

// Reads KANKYO.TXT from the current directory into the state at start-up. A missing file is a
// first run: every setting keeps its default.
void readSettings(App& app);

// Writes every setting to KANKYO.TXT in the current directory.
void S_KANKYO(App& app);
