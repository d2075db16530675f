#pragma once

struct App;

// After an image is shown: decodes ahead, on a worker thread, the image that the next step in
// the same direction will load: the sequence's next or previous number, the folder list's
// next or previous entry, or, for a single file, that file again.
void decodeNextAhead(App& app);
