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
