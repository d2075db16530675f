#pragma once

struct App;

// Recomputes the magnification from the magnification list and rebuilds the view bitmap.
void BAI_SUB(App& app);
