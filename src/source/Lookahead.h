#pragma once

#include <cstdint>

struct App;

// Which way the user last stepped through the source, and so which image to decode ahead:
// the next one, the previous one, or the same one again (a reload).
namespace StepDirection {
inline constexpr int16_t Back = -1;
inline constexpr int16_t Same = 0;
inline constexpr int16_t Forward = 1;
} // namespace StepDirection

// After an image is shown: decodes ahead, on a worker thread, the image that the next step in
// the same direction will load: the sequence's next or previous number, the folder list's
// next or previous entry, or, for a single file, that file again.
void decodeNextAhead(App& app);
