#pragma once

// The trimming and view folders call each other, as their routines do: drawing a frame
// repaints the picture (view), and every rebuild of the view forgets the frames and a scroll
// puts down a picked-up edge (trimming). Every other folder depends one way only.

#include <QString>

struct App;

// Handlers of the trimming buttons, the frame list COMBO1 and the category selector COMBO2.
void BUTTON2_ON(App& app);
void BUTTON3_ON(App& app);
void BUTTON4_ON(App& app);
void COMBO1_CLICK(App& app);
void COMBO1_CHANGE(App& app);
void COMBO2_CHANGE(App& app);
// Escape on the main window: gives up the frame being placed, however placing began, and puts
// everything back as it was before; in any other situation it does nothing.
void MAINFORM_ESCAPE(App& app);
// A digit key: chooses that entry of the category list, as choosing it with the mouse does.
void COMBO2_KEY(App& app, int entry);

// Makes the category chosen in COMBO2 current and rebuilds its frame list and drawing.
void RESET_SUB(App& app);

// True while some category holds a frame that the next save would write: a frame of a valid
// category. Every question and refusal that keeps placed frames from being lost asks this.
bool anyFramePlaced(const App& app);

// Forgets the selection and the frames of every category and puts the trimming controls back
// into their normal state. Runs after every rebuild of the view bitmap.
void RESETPARA_SUB(App& app);

// Disables (flag 0) or enables again (flag -1) the controls that must not be used while a
// frame is placed.
void ENCHANGE_SUB(App& app, int flag);

// Switches between the normal controls (flag 0) and those usable while a frame is chosen in
// the frame list (flag -1).
void ENCHANGE_SUB2(App& app, int flag);

// Puts down an edge or corner that is being dragged, so that the view can move under it.
void TRI3_CHK(App& app);

// Starts placing a frame as BUTTON2 and a press on the idle picture do: refuses at the frame
// limit (returns false), otherwise redraws the list so that the selected frame is drawn like
// the others and arms trimming.
bool startTrimming(App& app);

// Stores the working frame as the next frame of the current category and selects it: how
// placing a frame ends.
void recordFrame(App& app);
// The message of a category that holds as many frames as it may; titled with the category when
// it is not the current one.
void tellLimitReached(App& app, const QString& title = {});
// Selects a position of the frame list and remembers it as the one the drawing is made for.
void selectFrame(App& app, int index);

// "範囲" followed by the 1-based number of a frame, as the frame list shows it.
QString frameLabel(int number);
