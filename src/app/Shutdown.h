#pragma once

struct App;

// Handler of the main window's close: stores the settings and ends the program.
void MAINFORM_END(App& app);
