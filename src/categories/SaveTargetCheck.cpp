#include "categories/SaveTargetCheck.h"

#include "app/App.h"

// Save targets are not checked yet; nothing is saved either.
float FILECHK_SUB(App&)
{
    return 0;
}
