#pragma once

struct App;

// Range of the horizontal / vertical bar from the part of the view that does not fit. Up to
// 32767 pixels one bar position is one pixel; beyond, the range is 0..10000 and a position
// stands for excess / 10000 pixels.
void SCROLL_XD_SUB(App& app);
void SCROLL_YD_SUB(App& app);

// Copies the block of the view at the origin (ViewOriginX, ViewOriginY) to the picture and
// records it as the visible rectangle. The copy wipes the rubber band off the picture.
void showBlockAtOrigin(App& app);

// Repaints the picture with the block of the view at the scroll positions, then the rubber
// band (unless a one-shot skip is set).
void CG_UP_SUB(App& app);
// While a frame is modified: repaints from the current origin and shows the band again.
void CG_UP(App& app);
// Lays the window out again (which rebuilds the view), then repaints the picture.
void CG_ON_SUB(App& app);

// Handlers: the two scroll bars, the corner button and the magnification list.
void HSCROLL1_CHANGE(App& app);
void VSCROLL1_CHANGE(App& app);
void BUTTON1_ON(App& app);
void COMBO5_CHANGE(App& app);

// The mouse wheel over the picture: scrolls vertically, with Shift horizontally, through the
// same routine as the bar, a notch an eighth of the shown part; with Ctrl it steps the
// magnification list like its keys. `notchesX` and `notchesY` are how far the wheel turned.
void PICTURE1_WHEEL(App& app, int shift, float notchesX, float notchesY);
