#pragma once

// The view and trimming folders call each other, as their routines do: every rebuild of the
// view forgets the frames and a scroll puts down a picked-up edge (trimming), and drawing a
// frame repaints the picture (view). Every other folder depends one way only.

#include <QString>

struct App;

// Rebuilds the view for the chosen magnification, then fits the picture, the scroll bars and
// the corner button to the window and the view: the view is centred along each axis where it
// fits, and a scroll bar appears along each axis where it does not.
void WIN_SAIZU_SUB(App& app);

// The main window was resized: puts down a picked-up edge, lays the window out again and
// repaints the picture.
void MAINFORM_RESIZE(App& app);

// Shows a passing note in the strip, in its free room right of the save buttons, where it covers
// none of the picture, which the user goes on to look at.
void showStripNote(App& app, const QString& text, int milliseconds);
