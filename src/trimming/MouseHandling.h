#pragma once

struct App;

// Mouse handlers of the picture. Button: press and release the MouseButton; move the buttons
// held as its bits. Shift is not used. X, Y in picture pixels.
//
// Placing is click, move, click: a left press sets the first corner (starting trimming when
// idle), the band follows the pointer, and the release of the next left press records the
// frame. In modify mode the pointer shows which edge or corner a press picks up; a picked-up
// edge follows the pointer until the next press. The right button pans the view.
void PICTURE1_MOUSEDOWN(App& app, int button, int shift, float x, float y);
void PICTURE1_MOUSEUP(App& app, int button, int shift, float x, float y);
void PICTURE1_MOUSEMOVE(App& app, int button, int shift, float x, float y);
