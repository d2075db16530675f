#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The text form of KANKYO.TXT: where it lives, how its lines are encoded, how numbers are
// written and read, and the messages about it.

// KANKYO.TXT in the current directory, and the name a damaged one is kept under.
QString settingsFilePath();
QString settingsBackupPath();

// The lines of the file. Code page 932 unless the file starts with a UTF-8 byte order mark;
// lines end in CR LF or LF alone. A line whose bytes are not valid in the encoding is nothing.
std::vector<std::optional<QString>> decodeSettingsLines(const QByteArray& bytes);

// The lines, each ended by CR LF, in code page 932; as UTF-8 with a byte order mark when some
// character would not come back unchanged from code page 932, so that nothing is lost.
QByteArray encodeSettingsLines(const QStringList& lines);

// " 3", "-3": a blank stands where a minus sign would.
QString int16Text(int16_t value);
// " 1" for whole numbers (no decimal point), " 2.5" otherwise.
QString doubleText(double value);

// The number a numeric record holds, blanks around it ignored; nothing when it holds no number.
std::optional<double> numberValue(const QString& text);
// The number a text starts with (after blanks), 0 when it starts with none: "12", "007", "12abc".
double leadingNumberValue(const QString& text);
// Rounded half away from zero and held inside the 16-bit range.
int16_t toInt16(double value);

// How a settings file was found damaged, and the 1-based line where: the file ends before that
// line, the line cannot be read, or the file ends inside that line, before its line end.
enum class SettingsDamage { EndsEarly, Unreadable, EndsInside };

QString settingsMessageTitle();
// The message about a damaged file: which file, which line, what happens now.
QString settingsDamageText(SettingsDamage damage, int line, bool backupKept);
// The message about a settings file that could not be written, with the system's reason.
QString settingsWriteFailedText(const QString& reason);
// The message at start-up about a settings file that cannot be written in its folder.
QString settingsFolderUnwritableText(const QString& reason);
