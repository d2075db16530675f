#pragma once

struct App;

// Recomputes the magnification from the magnification list and rebuilds the view bitmap:
// the image scaled by it, inside a 10-pixel margin and a border. Forgets all frames.
void BAI_SUB(App& app);
