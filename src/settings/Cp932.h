#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Code page 932 (Windows Shift-JIS), the encoding of the original program's text files.
// Both directions are strict: nothing is replaced or dropped.

// The text in code page 932, or nothing when some character has no code there that decodes back
// to that same character.
std::optional<QByteArray> toCp932(const QString& text);

// The text of code page 932 bytes, or nothing when they are not valid code page 932.
std::optional<QString> fromCp932(QByteArrayView bytes);
