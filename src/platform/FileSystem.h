#pragma once

#include <QString>

// File-system services of the program, in native path form.

// The process's current directory, without a trailing separator.
QString currentDirectory();

// The separator that ends a folder path: "/" on POSIX, "\" on Windows.
QString pathSeparator();
