#pragma once

struct App;

// Recomputes the rubber band from the working frame and the visible part of the view, then
// draws it on the picture.
void P1BOX_SUB(App& app);

// Draws the edges of the rubber band named by BandEdgeMask on the picture (exclusive-or, so a
// second call takes them away again) and flips BandDrawn.
void P1LINE_SUB(App& app);
