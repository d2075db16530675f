#include "app/CommandLine.h"

#include "platform/FileSystem.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

std::variant<StartRequest, int> readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cuts rectangular pieces out of a series of images and files them as numbered BMP files.\n"
        "Settings are kept in KANKYO.TXT in the directory it is started in, or with --own-folder\n"
        "in the folder of its own."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption ownFolder(QStringLiteral("own-folder"),
        QStringLiteral("Work in a folder of its own, %1 (created when missing): settings and the "
                       "default save folders are kept there. The desktop menu starts it so.")
            .arg(QDir::toNativeSeparators(ownWorkFolder())));
    parser.addOption(ownFolder);
    parser.addPositionalArgument(QStringLiteral("file|folder"),
        QStringLiteral("An image file or a folder of images to open, as dropping it on the window does."),
        QStringLiteral("[FILE|FOLDER]"));
    const auto wrong = [&](const QString& text) {
        std::fprintf(stderr, "velmora: %s\n%s", qPrintable(text), qPrintable(parser.helpText()));
        return 2;
    };
    if (!parser.parse(arguments)) return wrong(parser.errorText());
    // Qt's help option brings --help-all, which the help lists; there are no options of Qt's to
    // add to it here, so it answers as --help does.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("velmora %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.size() > 1) return wrong(QStringLiteral("only one file or folder can be opened"));
    StartRequest request;
    request.ownFolder = parser.isSet(ownFolder);
    // Taken before the program changes its directory, so that it names what the user meant.
    if (!paths.isEmpty())
        request.path = QDir::toNativeSeparators(QFileInfo(paths.front()).absoluteFilePath());
    return request;
}

QString ownWorkFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
        .filePath(QStringLiteral("Velmora"));
}

namespace {

// Creates the folder and the parents it lacks: 0, or the error of the step that failed.
int makeFolders(const QString& folder)
{
    if (QFileInfo(folder).isDir()) return 0;
    const QString parent = QFileInfo(folder).path();
    if (parent != folder)
        if (const int error = makeFolders(parent)) return error;
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) == 0 || QFileInfo(folder).isDir()) return 0;
    return errno;
}

} // namespace

bool enterOwnWorkFolder(QString& reason)
{
    const QString folder = ownWorkFolder();
    int error = makeFolders(folder);
    if (error == 0 && ::chdir(QFile::encodeName(folder).constData()) != 0) error = errno;
    if (error != 0) reason = systemErrorText(error);
    return error == 0;
}
