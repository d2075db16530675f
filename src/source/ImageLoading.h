#pragma once

#include "image/ImageFiles.h"

#include <QString>

struct App;

// The message that tells the user why an image could not be loaded.
QString loadFailureText(LoadError error);

// Splits LoadFilePath into SplitDrive, SplitDir, SplitName and SeqExt.
void splitLoadPath(App& app);

// Loads the file named by LoadFilePath into SourceBitmap and rebuilds the view. A failure is
// reported, sets LoadFailed and shows the image that was shown before again, if there was one;
// when that cannot be loaded either, no image is shown at all.
void LOAD_BMP(App& app);
// A large image put on show before it was decoded is now decoded (see BitmapStore): a view shown
// from its reduced decode shows the full image instead, and a decode that failed is reported as
// a load that failed, with the picture cleared.
void MAINFORM_DECODED(App& app);
