#pragma once

struct App;

// The title of the main window: the program name, then the image on show. Every routine that
// shows a new image sets the title through it.
void TITLE_SET(App& app);
