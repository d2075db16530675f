#pragma once

#include <QString>

// File-system services of the program, in native path form.

// The process's current directory, without a trailing separator.
QString currentDirectory();

// The separator that ends a folder path: "/" on POSIX, "\" on Windows.
QString pathSeparator();

// True when the path names an existing file; a folder of that name does not count.
bool isExistingFile(const QString& path);

// Deletes a file; true when no file of that name is left.
bool deleteFile(const QString& path);

// True when the path names an existing folder.
bool isExistingFolder(const QString& path);

// True when the folder is the root of the file system ("/" on POSIX, a drive root on Windows).
bool isRootFolder(const QString& folder);

// The folder with the separator that ends it; an empty folder (the current one) stays empty.
QString withTrailingSeparator(const QString& folder);
