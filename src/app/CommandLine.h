#pragma once

#include <QString>
#include <QStringList>

#include <variant>

// What the command line asks of a program that starts.
struct StartRequest
{
    // Work in the program's own folder (ownWorkFolder) instead of the current directory: the
    // desktop entry asks for it, as a menu starts programs in the home folder.
    bool ownFolder = false;
    // A file or folder to open once started, as a drop on the main window opens it; absolute,
    // empty for none.
    QString path;
};

// Reads the arguments (the program's name first). --help and --version are answered on standard
// output and a wrong command line on standard error; then the exit code is returned instead.
std::variant<StartRequest, int> readCommandLine(const QStringList& arguments);

// The program's own work folder: "Velmora" in the user's pictures folder.
QString ownWorkFolder();

// Makes the own work folder the current directory, creating it when missing. False, with the
// reason and nothing changed, when it cannot.
bool enterOwnWorkFolder(QString& reason);
