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

// True when the path names an existing folder.
bool isExistingFolder(const QString& path);

// True when the folder is the root of the file system ("/" on POSIX, a drive root on Windows).
bool isRootFolder(const QString& folder);

// The folder with the separator that ends it; an empty folder (the current one) stays empty.
QString withTrailingSeparator(const QString& folder);
