#pragma once

// Handles the program holds for windows, controls and off-screen bitmaps. A handle of id 0
// is unbound. The form runtime owns the windows and controls, the bitmap store the bitmaps; the
// routines only pass handles.
struct Control
{
    int id = 0;
    explicit operator bool() const { return id != 0; }
    friend bool operator==(Control, Control) = default;
};

struct Bitmap
{
    int id = 0;
    friend bool operator==(Bitmap, Bitmap) = default;
};

// Booleans of the runtime interface: -1 is true, 0 is false.
inline constexpr int kTrue = -1;
inline constexpr int kFalse = 0;
