#pragma once

struct App;

// Rebuilds the view for the chosen magnification, then fits the picture, the scroll bars and
// the corner button to the window and the view: the view is centred along each axis where it
// fits, and a scroll bar appears along each axis where it does not.
void WIN_SAIZU_SUB(App& app);

// The main window was resized: puts down a picked-up edge, lays the window out again and
// repaints the picture.
void MAINFORM_RESIZE(App& app);
