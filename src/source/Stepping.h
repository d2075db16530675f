#pragma once

#include <QString>

struct App;

// Loads the file of the current SeqNumber: composes and checks its name, loads it and shows
// it. LoadFailed is 1 when the file is missing or could not be loaded.
void REN_LOAD(App& app);

// Loads the named file of the source folder (LoadPath). A file that has gone since the folder
// was listed is reported and nothing is loaded.
void REN_LOAD2(App& app, const QString& fileName);
