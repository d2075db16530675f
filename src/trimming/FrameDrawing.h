#pragma once

struct App;

// The rubber band is drawn on the picture, the registered frames of the current category into
// the view bitmap; everything with exclusive-or pens, so drawing a figure again erases it.
// BandDrawn and HighlightDrawn record what is drawn now.

// Recomputes the rubber band from the working frame and the visible part of the view, then
// draws it on the picture.
void P1BOX_SUB(App& app);

// Draws the edges of the rubber band named by BandEdgeMask on the picture (exclusive-or, so a
// second call takes them away again) and flips BandDrawn.
void P1LINE_SUB(App& app);

// Toggles the selected frame in the highlight pen, then repaints without the band.
void SUBMP_BOX(App& app);
// Draws the selected frame in the list pen, then repaints.
void SUBMP_BOX2(App& app);
// Draws every frame but the selected one in the list pen, repaints, then highlights the
// selected frame.
void BOX_SUB(App& app);
// Erases what BOX_SUB and SUBMP_BOX drew, then repaints.
void BOX2_SUB(App& app);
// Makes the selected frame the working frame and shows it as the band.
void SETBOX_SUB(App& app);
