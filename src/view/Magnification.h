#pragma once

struct App;

// The white margin around the image in the view, on every side.
inline constexpr int kViewMargin = 10;

// Recomputes the magnification from the magnification list and rebuilds the view bitmap:
// the image scaled by it, inside a 10-pixel margin and a border. Forgets all frames.
void BAI_SUB(App& app);

// True when the magnification chosen in the list fits the image to the picture area (縦合わせ,
// 横合わせ), so that its factor depends on the area.
bool fitsPictureArea(const App& app);

// Moves the magnification list by `step` entries (negative: towards 等倍), as choosing that
// entry does. Choosing another magnification forgets every frame, so with frames placed the
// user is asked first.
void stepMagnification(App& app, int step);
// A key of the magnification list: one entry up or down.
void COMBO5_KEY(App& app, int step);
