#pragma once

struct App;

// Fits the picture, the scroll bars and the corner button to the window and the view.
void WIN_SAIZU_SUB(App& app);
