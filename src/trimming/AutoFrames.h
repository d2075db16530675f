#pragma once

struct App;

// Frames the program places for the user. They are ordinary frames: listed, drawn, reshaped,
// deleted and saved as frames placed by hand, and placed as a hand places them, one after the
// other, so that the controls and the trimming state end as they would.

// Key A: a frame around every piece of content found on the image on show (a photo, a print, a
// card on a page or the scanner's glass), in the current category, after its frames; a piece
// that a frame of the category already covers gets none.
void MAINFORM_AUTOFRAMES(App& app);

// Ctrl+V: the frames the last save cut, at the same image positions, each in its own category
// while that category is valid, clipped to the image on show.
void MAINFORM_LASTFRAMES(App& app);

// Key S: the frame chosen in the frame list shrinks to the content inside it.
void BUTTON3_TIGHTEN(App& app);
