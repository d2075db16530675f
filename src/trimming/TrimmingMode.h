#pragma once

struct App;

// Forgets the selection and the frames of every category and puts the trimming controls back
// into their normal state. Runs after every rebuild of the view bitmap.
void RESETPARA_SUB(App& app);

// Switches between the normal controls (flag 0) and those usable while a frame is chosen in
// the frame list (flag -1).
void ENCHANGE_SUB2(App& app, int flag);

// Puts down an edge or corner that is being dragged, so that the view can move under it.
void TRI3_CHK(App& app);
