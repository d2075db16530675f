#include "app/Program.h"
#include "core/App.h"

#include <QApplication>

#include <cstdio>

namespace {

// Without a display the window system cannot be reached; say so instead of aborting.
bool displayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fputs("velmora: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, or set QT_QPA_PLATFORM (for example to offscreen).\n",
            stderr);
        return 2;
    }
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    App app(std::make_unique<WidgetDialogs>());
    return runProgram(app);
}
