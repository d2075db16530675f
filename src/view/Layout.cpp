#include "view/Layout.h"

#include "app/App.h"

// The picture keeps its designed place until the view is laid out.
void WIN_SAIZU_SUB(App&) { }
