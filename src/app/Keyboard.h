#pragma once

struct App;

// Gives the main window's buttons and lists their keys, with the keys in the buttons'
// tooltips, and F1 a window listing them all. A key does what a click on its control does, and
// only while that control is usable; Escape and F1 belong to the window.
void installKeys(App& app);

// F1: the window that lists every key.
void MAINFORM_HELP(App& app);
