#pragma once

struct App;

// Makes the file just loaded from LoadFilePath the one on show: its folder becomes LoadPath,
// its path and name are kept, the title names it and the picture shows it. Every loader calls
// this after a successful LOAD_BMP.
void adoptLoadedFile(App& app);

// No image is on show any more: no file is current, the title names none, and the picture is
// blank at the size it has at start-up. SourceBitmap stays absent, so a save has nothing to cut.
void showNoImage(App& app);

// Ends a load of LoadFilePath: a successful load is adopted; after a failed one the view is
// rebuilt for whatever image came back (or for none), so it never shows what was there before.
void finishLoad(App& app);
