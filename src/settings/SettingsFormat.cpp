#include "settings/SettingsFormat.h"

#include "platform/FileSystem.h"
#include "settings/Cp932.h"

#include <QStringDecoder>

#include <cmath>
#include <limits>

namespace {

const QByteArray kUtf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

std::optional<QString> fromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

} // namespace

QString settingsFilePath()
{
    return currentFolder() + QStringLiteral("KANKYO.TXT");
}

QString settingsBackupPath()
{
    return settingsFilePath() + QStringLiteral(".bak");
}

std::vector<std::optional<QString>> decodeSettingsLines(const QByteArray& bytes)
{
    const bool utf8 = bytes.startsWith(kUtf8Bom);
    QByteArrayView rest = QByteArrayView(bytes).sliced(utf8 ? kUtf8Bom.size() : 0);
    // Neither encoding uses the bytes of CR or LF inside a character, so lines split on bytes.
    // One converter serves every line.
    Cp932Converter cp932;
    std::vector<std::optional<QString>> lines;
    while (!rest.isEmpty()) {
        qsizetype end = rest.indexOf('\n');
        QByteArrayView line = rest.first(end < 0 ? rest.size() : end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r')) line.chop(1);
        lines.push_back(utf8 ? fromUtf8(line) : cp932.decode(line));
    }
    return lines;
}

QByteArray encodeSettingsLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    if (std::optional<QByteArray> cp932 = toCp932(text)) return *cp932;
    return kUtf8Bom + text.toUtf8();
}

QString int16Text(int16_t value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

QString doubleText(double value)
{
    const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
    const QString digits = whole ? QString::number(value, 'f', 0) : QString::number(value, 'g', 15);
    return value < 0 ? digits : QLatin1Char(' ') + digits;
}

std::optional<double> numberValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

double leadingNumberValue(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] == QLatin1Char(' '))
        ++end;
    const qsizetype start = end;
    if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+'))) ++end;
    const auto isDigit = [&](qsizetype i) {
        return i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
    };
    while (isDigit(end))
        ++end;
    if (end < text.size() && text[end] == QLatin1Char('.')) {
        ++end;
        while (isDigit(end))
            ++end;
    }
    return numberValue(text.mid(start, end - start)).value_or(0);
}

int16_t toInt16(double value)
{
    constexpr double lowest = std::numeric_limits<int16_t>::min();
    constexpr double highest = std::numeric_limits<int16_t>::max();
    return int16_t(std::clamp(std::round(value), lowest, highest));
}

QString settingsMessageTitle()
{
    return QStringLiteral("設定ファイルエラー");
}

QString settingsDamageText(SettingsDamage damage, int line, bool backupKept)
{
    QString what;
    switch (damage) {
    case SettingsDamage::EndsEarly:
        what = QStringLiteral("設定ファイル「%1」は途中で終わっています（%2行目がありません）。");
        break;
    case SettingsDamage::Unreadable:
        what = QStringLiteral("設定ファイル「%1」の%2行目が読み取れません。");
        break;
    case SettingsDamage::EndsInside:
        what = QStringLiteral("設定ファイル「%1」は%2行目の途中で終わっています。");
        break;
    }
    const QString backup = backupKept ? QStringLiteral("元のファイルは「%1」として残しました。")
                                      : QStringLiteral("元のファイルを「%1」として残せませんでした。");
    return what.arg(settingsFilePath(), QString::number(line)) + QLatin1Char('\n')
        + QStringLiteral("読み取れなかった設定は初期値を使います。") + QLatin1Char('\n')
        + backup.arg(settingsBackupPath());
}

QString settingsWriteFailedText(const QString& reason)
{
    return QStringLiteral("設定ファイル「%1」を保存できませんでした。").arg(settingsFilePath())
        + QLatin1Char('\n')
        + QStringLiteral("今回の設定は保存されていません。ディスクの空きと書き込みの権限を確かめてください。")
        + QLatin1Char('\n') + QStringLiteral("（%1）").arg(reason);
}

QString settingsFolderUnwritableText(const QString& reason)
{
    return QStringLiteral("設定ファイル「%1」を保存できません。このフォルダにはファイルを作れません。")
               .arg(settingsFilePath())
        + QLatin1Char('\n')
        + QStringLiteral("このままでは、終了するときに今回の設定が保存されません。書き込みの権限を確かめるか"
                         "、書き込めるフォルダで起動してください。")
        + QLatin1Char('\n') + QStringLiteral("（%1）").arg(reason);
}
