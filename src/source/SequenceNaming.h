#pragma once

#include <QString>

#include <cstdint>

struct App;

// The digits of a number, without sign or blank and without leading zeros: 7 -> "7",
// -3 -> "3". Large numbers are written out in full, never with an exponent.
QString numberText(double number);

// Pads the number text with zeros to the digit count. A text longer than the count is kept
// whole and widens the count itself, for this and every later name.
void zeroFill(QString& text, int16_t& digits);

// The number of the source sequence as its file names write it: zero-filled to the digit count
// when the fill choice is "0" (the count widens for a longer number).
QString sequenceNumberText(const App& app, double number, int16_t& digits);
// The path of the sequence's file with that number.
QString sequenceFilePath(const App& app, double number);

// Composes LoadFilePath from the source sequence fields and checks that the file exists;
// a missing file is reported and disables the start of trimming.
void CHK_LOAD(App& app);

// Composes SaveName, the next save file name of the category, and rewrites its start text.
void MIX_NAME(App& app, const int16_t& category);

// Rebuilds the category summary in EDIT10 and scrolls it to the category selected in LIST1.
void HYOJI_SUB(App& app);
