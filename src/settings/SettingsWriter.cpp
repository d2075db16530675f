#include "settings/Settings.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/DurableFiles.h"
#include "settings/SettingsFormat.h"

#include <QFileInfo>

namespace {

const QString kCategoryValidKey = QStringLiteral("------------------------,");

QString record(const char* key, const QString& value)
{
    return QString::fromUtf8(key) + value;
}

QStringList sourceRecords(const App& app)
{
    const bool noFill = app.rt.GetCurSel(app.COMBO3) == 0;
    const bool bmp = app.SeqExt == QLatin1String(".bmp") || app.SeqExt == QLatin1String(".BMP");
    return {
        record("Copyright,", app.BannerText),
        record("ＪＰＥＧ用作業ドライブ,", app.JpegWorkDrive),
        record("倍率リスト,", int16Text(app.MagnificationIndex)),
        record("ＬＯＡＤモード,", int16Text(int16_t(app.LoadMode))),
        record("ロードパス,", app.LoadPath),
        record("固定部分,", app.SeqFixed),
        record("連番開始番号,", doubleText(app.SeqNumber)),
        record("連番桁数,", int16Text(app.SeqDigits)),
        record("埋め文字,", QLatin1String(noFill ? "1" : "0")),
        record("拡張子,", QLatin1String(bmp ? "BMP" : "JPG")),
    };
}

QStringList categoryRecords(const App& app, int category)
{
    return {
        kCategoryValidKey + int16Text(app.CatValid[category]),
        categoryLabel(category) + QLatin1Char(',') + app.CatName[category],
        record("セーブパス,", app.CatFolder[category]),
        record("固定部分,", app.CatFixed[category]),
        record("連番開始番号,", app.CatStartText[category]),
        record("連番桁数,", int16Text(app.CatDigits[category])),
        record("埋め文字,", app.CatFill[category]),
    };
}

} // namespace

void S_KANKYO(App& app)
{
    QStringList lines = sourceRecords(app);
    for (int category = 1; category <= kCategoryCount; ++category)
        lines += categoryRecords(app, category);
    const QByteArray bytes = encodeSettingsLines(lines);

    // The records go to a temporary file beside KANKYO.TXT that replaces it only when complete, so
    // a crash or a full disk leaves the earlier file as it was; one left by a killed process is
    // removed at the next start.
    QString reason;
    if (replaceFileDurably(settingsFilePath(), bytes, TemporaryKind::Settings, reason)) return;
    app.rt.MessageBox(Control {}, settingsMessageTitle(), settingsWriteFailedText(reason), MessageButtons::Ok,
        MessageIcon::Exclamation);
}

void reportUnwritableSettingsFolder(App& app)
{
    QString reason;
    if (canCreateFilesIn(QFileInfo(settingsFilePath()).absolutePath(), reason)) return;
    app.rt.MessageBox(Control {}, settingsMessageTitle(), settingsFolderUnwritableText(reason),
        MessageButtons::Ok, MessageIcon::Exclamation);
}
