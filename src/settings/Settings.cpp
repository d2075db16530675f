#include "settings/Settings.h"

#include "app/App.h"

// The settings file is not read or written yet: every run starts from the defaults.
void readSettings(App&) { }

void S_KANKYO(App&) { }
