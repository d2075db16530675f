#pragma once

#include <QString>

#include <cstdint>
#include <optional>

struct App;

// Where the number at the end of a base name starts. P counts characters: the position of the
// last character that is not a digit (1-based), 0 when every character is a digit. Only the
// ASCII digits "0" to "9" are digits; a full-width or any other non-ASCII character never is.
int lastNonDigitPosition(const QString& name);

// A base name of a numbered sequence, split before the digits it ends with.
struct SequenceName
{
    QString fixed; // everything before the digits
    QString numberText; // the digits as written, leading zeros kept
    double number = 0;
    int16_t digits = 0; // how many digits, at most 32767
    bool zeroFilled = false; // the digits start with "0", so the sequence is written zero-filled
};

// The parts of a base name that ends in ASCII digits; nothing for one that does not.
std::optional<SequenceName> parseSequenceName(const QString& baseName);

// Asks for an image file, starting in LoadPath, and keeps the answer in LoadFilePath (the
// cancel mark when cancelled). True when a file was chosen.
bool chooseImageFile(App& app, const QString& prompt);

// "直接ファイル名を指定して画像を読み込む": picks one image file and shows it (single-file mode).
void BUTTON6_ON(App& app);

// "連番ファイル参照": picks one file of a numbered sequence and fills the source fields with its
// fixed part, number and digit count. A name without a number is loaded directly instead.
void BUTTON7_ON(App& app);
