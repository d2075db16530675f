#pragma once

#include <QPoint>
#include <QSize>

#include <optional>

struct App;

// The white margin around the image in the view, on every side.
inline constexpr int kViewMargin = 10;

// Recomputes the magnification from the magnification list and rebuilds the view bitmap:
// the image scaled by it, inside a 10-pixel margin and a border. Forgets all frames.
void BAI_SUB(App& app);

// The picture area in the picture's own pixels, which the fits fill.
QSize pictureAreaInPixels(const App& app);

// True when the magnification chosen in the list fits the image to the picture area (縦合わせ,
// 横合わせ), so that its factor depends on the area.
bool fitsPictureArea(const App& app);

// The entry of the magnification list one step larger (`step` < 0) or smaller (> 0) than the
// one chosen, by the scale each gives the image on show rather than by its place in the list:
// the fits stand where their scale puts them, and entries that would show the image alike count
// as one. The chosen entry where there is none further that way.
int entryOneStepFrom(const App& app, int step);

// Chooses the entry one step larger or smaller, as choosing it in the list does, and keeps the
// image point at `anchor` (in picture pixels; none: the picture's centre) where it was on the
// window, as far as the view reaches. Choosing another magnification forgets every frame, so
// with frames placed the user is asked first.
void stepMagnification(App& app, int step, std::optional<QPoint> anchor = {});
// A key of the magnification list: one entry up or down.
void COMBO5_KEY(App& app, int step);
