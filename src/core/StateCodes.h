#pragma once

#include <cstdint>

// The named states of the state record. Each keeps the 16-bit number the record has always held
// for it, so a value compares and is stored as that number; the subsystem named in each comment
// is the one that sets it.

// What a handler leaves for the request loop to carry out once it has returned (app).
enum class PendingAction : int16_t {
    None = 0,
    ListFolder = 1,
    SaveThenNext = 2,
    SaveThenPrevious = 3,
};

// How the image on show was chosen, and so what the save buttons step through (source). Kept
// in KANKYO.TXT; a number written there by hand is kept as it is, naming none of these.
enum class LoadMode : int16_t {
    None = 0,
    Sequence = 1, // a numbered file sequence
    SingleFile = 2,
    Folder = 3, // every image of a folder, in the folder list
};

// Which way the user last stepped through the source, and so which image to decode ahead: the
// next one, the previous one, or the same one again (a reload). The value is the step (source).
enum class StepDirection : int16_t {
    Back = -1,
    Same = 0,
    Forward = 1,
};

// Where the next press of the corner button jumps (view).
enum class CornerToggle : int16_t {
    ToTopLeft = 0,
    ToBottomRight = 1,
};

// Where placing or modifying a frame stands (trimming). The states are in the order a frame goes
// through them, and code asks whether one has been reached: from Placing on there is a band.
enum class TrimState : int16_t {
    Idle = 0,
    Armed = 1, // trimming started, the first corner not yet set
    Placing = 2, // the first corner set, the band follows the pointer
    Modifying = 3, // a registered frame is the band; the pointer shows what it is on
    Dragging = 4, // an edge or corner is picked up and follows the pointer
};

// How the frames of the current category are drawn in the view bitmap (trimming).
enum class FrameListMode : int16_t {
    NotDrawn = 0,
    Drawn = 1,
    // Every frame, the selected one too, is drawn with the list pen, so the next erase takes all
    // of them away with it.
    AllInListPen = 2,
};
