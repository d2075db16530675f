#include "app/CommandLine.h"
#include "app/Program.h"
#include "core/App.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace {

// Without a display the window system cannot be reached; say so instead of aborting.
bool displayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The icon of the installed theme, or the one built in when the program is not installed.
QIcon programIcon()
{
    QIcon builtIn;
    for (const int size : { 16, 32, 48, 64, 128, 256 })
        builtIn.addFile(QStringLiteral(":/icons/%1x%1/velmora.png").arg(size));
    return QIcon::fromTheme(QStringLiteral("velmora"), builtIn);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // The command line is read before the window system is needed, so that --help and --version
    // answer on any terminal.
    StartRequest request;
    {
        const QCoreApplication options(argc, argv);
        const std::variant<StartRequest, int> read = readCommandLine(options.arguments());
        if (const int* exitCode = std::get_if<int>(&read)) return *exitCode;
        request = std::get<StartRequest>(read);
    }
    if (!displayAvailable()) {
        std::fputs("velmora: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, or set QT_QPA_PLATFORM (for example to offscreen).\n",
            stderr);
        return 2;
    }
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // The desktop groups the windows under the menu entry of this name, with its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.velmora.Velmora"));
    QApplication::setWindowIcon(programIcon());
    installJapaneseQtTexts();
    App app(std::make_unique<WidgetDialogs>());
    return runProgram(app, request);
}
