#pragma once

#include "fixture/TestProgram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

inline const QString kSeparator = QStringLiteral("/");
inline const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The lines of a whole settings file in CP932: the example layout of each
// category block, some categories valid with Japanese names, folders under `dir`.
QStringList exampleLines(const QString& dir);

QByteArray cp932Bytes(const QStringList& lines, const char* lineEnd = "\r\n");

QString settingsFile(TestProgram& program);

// Line numbers (0-based) of the records of category n.
int categoryLine(int category, int record);
