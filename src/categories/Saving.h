#pragma once

#include <QString>

#include <cstdint>

struct App;

// Saves every frame of every valid category as a BMP file cut at full resolution from the
// source image, each under its category's next free name, and empties their frame lists. The
// frames are taken off the view first; the pieces are written several at a time and named in
// the order of categories and frames.
void HOZON_SUB(App& app);

// Message texts of the save. Pieces that failed into one folder for one reason are told once,
// with how many they were when more than one: by their path when all were tried under one name,
// otherwise by the folder.
QString saveFailedText(const QString& path, const QString& reason, int pieces = 1);
QString saveFailedInFolderText(const QString& folder, const QString& reason, int pieces);
QString numbersExhaustedText(int16_t category);

// The note shown after a save: how many pieces were written, each as "name（folder）", and what
// could not be written. Long lists end with how many more there were.
QString saveNoteText(const QStringList& saved, const QStringList& unsaved);
