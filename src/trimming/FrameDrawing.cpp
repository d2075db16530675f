#include "trimming/FrameDrawing.h"

#include "app/App.h"

// There is no working frame to show yet: frames are not placed on the picture so far.
void P1BOX_SUB(App&) { }

void P1LINE_SUB(App&) { }
