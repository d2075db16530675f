#include "app/Program.h"
#include "core/App.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {

// Without a display the window system cannot be reached; say so instead of aborting.
bool displayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Options are read before the window system is needed, so that --help and --version answer
// on any terminal. Returns the exit code when the program is not to start.
std::optional<int> answerOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cuts rectangular pieces out of a series of images and files them as numbered BMP files.\n"
        "Settings are kept in KANKYO.TXT in the directory it is started in."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "velmora: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("velmora %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    {
        const QCoreApplication options(argc, argv);
        if (const std::optional<int> exitCode = answerOptions(options.arguments())) return *exitCode;
    }
    if (!displayAvailable()) {
        std::fputs("velmora: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, or set QT_QPA_PLATFORM (for example to offscreen).\n",
            stderr);
        return 2;
    }
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    installJapaneseQtTexts();
    App app(std::make_unique<WidgetDialogs>());
    return runProgram(app);
}
