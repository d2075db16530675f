#pragma once

struct App;

// Reads KANKYO.TXT from the current directory into the state at start-up. A missing file is a
// first run: every setting keeps its default. A damaged file is reported with its line and kept
// as KANKYO.TXT.bak; what it held before the damage is taken, the rest keeps its default.
void readSettings(App& app);

// Writes every setting to KANKYO.TXT in the current directory, replacing the file only once the
// new one is complete. A failure is reported; the earlier file then stays as it was.
void S_KANKYO(App& app);

// Tells the user at start-up when KANKYO.TXT cannot be written in its folder, while they can
// still act on it; the settings of the session would otherwise be lost only at its end.
void reportUnwritableSettingsFolder(App& app);
