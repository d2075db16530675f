#pragma once

#include <QString>
#include <QStringList>

// File-system services of the program, in native path form.

// The process's current directory, without a trailing separator.
QString currentDirectory();

// The separator that ends a folder path: "/" on POSIX, "\" on Windows.
QString pathSeparator();

// True when the path names an existing file; a folder of that name does not count.
bool isExistingFile(const QString& path);

// Deletes a file; true when no file of that name is left.
bool deleteFile(const QString& path);

// Names of the files (not folders) in `folder` that match `pattern`, such as "*.BMP", in the
// order the file system lists them. The pattern ignores letter case, so "*.BMP" also lists
// "a.bmp", as on the platforms the patterns come from.
QStringList listFolder(const QString& folder, const QString& pattern);
