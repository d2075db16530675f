#pragma once

#include <QString>

// The parts of a file path. Joined in order they give the path back.
struct PathParts
{
    QString drive; // "C:" or "\\server\share" on Windows; always empty on POSIX
    QString directory; // up to and including the last separator; empty for a bare file name
    QString name; // the final component without its extension
    QString extension; // from the last dot of the final component, with the dot; empty if none
};

enum class PathStyle { Posix, Windows };

// The rules of the platform the program runs on.
PathStyle nativePathStyle();

// Splits a path into drive, directory, base name and extension. It works on characters, so a
// double-byte name whose second byte looks like a backslash in Shift-JIS is never cut there.
PathParts splitPath(const QString& path, PathStyle style = nativePathStyle());
