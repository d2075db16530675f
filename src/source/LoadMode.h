#pragma once

#include <cstdint>

// LoadMode: how the image on show was chosen, and so what the save buttons step through.
namespace LoadMode {
inline constexpr int16_t None = 0;
inline constexpr int16_t Sequence = 1; // a numbered file sequence
inline constexpr int16_t SingleFile = 2;
inline constexpr int16_t Folder = 3; // every image of a folder, in the folder list
} // namespace LoadMode
