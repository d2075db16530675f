#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <iconv.h>

#include <optional>

// Code page 932 (Windows Shift-JIS), the encoding of the settings file.
// Both directions are strict: nothing is replaced or dropped.

// The two conversions kept open, so that many short texts (every name of a folder) convert
// without opening the converter each time.
class Cp932Converter
{
public:
    Cp932Converter();
    ~Cp932Converter();
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    // The text of code page 932 bytes, or nothing when they are not valid code page 932.
    std::optional<QString> decode(QByteArrayView bytes);
    // The text in code page 932 when those bytes decode to the same text again; nothing when
    // some character has no code there or only a look-alike's (iconv writes "〜" as "～"'s code
    // and "¥" as "\").
    std::optional<QByteArray> encodeLossless(const QString& text);

private:
    std::optional<QByteArray> characterCode(char16_t character);

    iconv_t m_toCp932;
    iconv_t m_fromCp932;
    // Each character's code, converted once: the code page has no state between characters,
    // so a text converts losslessly exactly when each of its characters does. Empty: none.
    QHash<char16_t, QByteArray> m_codes;
};

// The text in code page 932, or nothing when some character has no code there that decodes back
// to that same character.
std::optional<QByteArray> toCp932(const QString& text);

// The text of code page 932 bytes, or nothing when they are not valid code page 932.
std::optional<QString> fromCp932(QByteArrayView bytes);
