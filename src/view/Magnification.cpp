#include "view/Magnification.h"

#include "app/App.h"

// The view is not built from the image yet.
void BAI_SUB(App&) { }
