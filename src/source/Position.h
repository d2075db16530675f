#pragma once

#include <QString>

struct App;

// Where the image on show lies in its series, in words: "12 / 340" in a folder, "1 / 1" for a
// single file; in a numbered sequence, whose length no listing gives, its number and the first
// number after it that has no file, or that it is the last image when the very next number has
// none. Empty while no series is set up or the file on show is not part of it.
QString positionText(App& app);

// Puts positionText into the strip right of the save buttons. Cheap to call after every event:
// it is worked out again only when the source, the file on show or the place in the list has
// changed, and a sequence's files are then looked for from where the last search stopped.
void showPosition(App& app);
