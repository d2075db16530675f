#include "settings/Settings.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFormat.h"

#include <QFile>

namespace {

constexpr int kMagnificationCount = 12;

// Where reading stopped on a damaged file.
struct DamageFound
{
    SettingsDamage damage;
    int line;
};

// Takes the records of the file one line after the other. Keys are never looked at: a text value
// is whatever follows the first comma of its line, to the line's end, so it may hold commas; a
// number ends at the next comma, and whatever follows it there is ignored. A last line without
// its line end was cut off while it was written, so its value is not taken.
class RecordReader
{
public:
    explicit RecordReader(const QByteArray& bytes)
        : m_lines(decodeSettingsLines(bytes))
        , m_lastLineCut(!bytes.endsWith('\n'))
    {
    }

    bool atEnd() const { return m_next >= m_lines.size(); }

    QString text() { return valueOf(nextLine()); }

    int16_t int16() { return toInt16(number()); }

    double number()
    {
        const std::optional<double> value = numberValue(text().section(QLatin1Char(','), 0, 0));
        if (!value) throw DamageFound { SettingsDamage::Unreadable, lineNumber() };
        return *value;
    }

private:
    int lineNumber() const { return int(m_next); }

    const QString& nextLine()
    {
        if (atEnd()) throw DamageFound { SettingsDamage::EndsEarly, lineNumber() + 1 };
        if (m_lastLineCut && m_next + 1 == m_lines.size())
            throw DamageFound { SettingsDamage::EndsInside, lineNumber() + 1 };
        const std::optional<QString>& line = m_lines[m_next++];
        if (!line) throw DamageFound { SettingsDamage::Unreadable, lineNumber() };
        return *line;
    }

    // A line without the comma that ends its key is not a record.
    QString valueOf(const QString& line) const
    {
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0) throw DamageFound { SettingsDamage::Unreadable, lineNumber() };
        return line.mid(comma + 1);
    }

    std::vector<std::optional<QString>> m_lines;
    bool m_lastLineCut;
    size_t m_next = 0;
};

// An index that names no entry of the magnification list falls back to "等倍".
void selectMagnification(App& app)
{
    if (app.MagnificationIndex < 0 || app.MagnificationIndex >= kMagnificationCount)
        app.MagnificationIndex = 0;
    app.rt.SetCurSel(app.COMBO5, app.MagnificationIndex);
}

void readSourceRecords(App& app, RecordReader& reader)
{
    // Any 16-bit number is taken, also one written by hand that names no mode; it is written
    // back unchanged.
    app.LoadMode = LoadMode(reader.int16());
    app.LoadPath = reader.text();
    app.SeqFixed = reader.text();
    app.SeqNumber = reader.number();
    app.SeqDigits = reader.int16();
    app.rt.SetCurSel(app.COMBO3, reader.text() == QLatin1String("0") ? 1 : 0);
    app.SeqExt = reader.text() == QLatin1String("BMP") ? QStringLiteral(".BMP") : QStringLiteral(".JPG");
}

void readCategory(App& app, RecordReader& reader, int category)
{
    app.CatValid[category] = reader.int16();
    app.CatName[category] = reader.text();
    if (app.CatValid[category] == kFlagSet) {
        app.rt.AddString(app.COMBO2, app.CatName[category]);
        app.ValidCatMap[size_t(app.ValidCatCount)] = int16_t(category);
        app.ValidCatCount += 1;
    }
    const QString folder = reader.text();
    app.CatFolder[category] = folder.isEmpty() ? currentFolder() : folder;
    app.CatFixed[category] = reader.text();
    app.CatStartText[category] = reader.text();
    app.CatNextNo[category] = toInt16(leadingNumberValue(app.CatStartText[category]));
    app.CatDigits[category] = reader.int16();
    app.CatFill[category] = reader.text();
}

// Reads the records in file order; each value is taken into the state as soon as it is read,
// so on damage everything before it is kept and everything after keeps its default.
void readRecords(App& app, RecordReader& reader)
{
    reader.text(); // the banner of whoever wrote the file
    app.JpegWorkDrive = reader.text();
    app.MagnificationIndex = reader.int16();
    selectMagnification(app);
    if (reader.atEnd()) return; // a file of the first three records only is complete
    readSourceRecords(app, reader);
    app.rt.ResetContent(app.COMBO2);
    app.ValidCatMap.fill(0);
    app.ValidCatCount = 0;
    for (int category = 1; category <= kCategoryCount; ++category)
        readCategory(app, reader, category);
}

// Keeps the damaged file beside the one the shutdown will write: the bytes that were read, so
// that the file is not opened a second time. Of a file that could not be read, nothing is kept.
bool keepDamagedFile(const std::optional<QByteArray>& bytes)
{
    if (!bytes) return false;
    QFile::remove(settingsBackupPath());
    QFile backup(settingsBackupPath());
    return backup.open(QIODevice::WriteOnly) && backup.write(*bytes) == bytes->size() && backup.flush();
}

void reportDamage(App& app, const DamageFound& found, const std::optional<QByteArray>& bytes)
{
    const bool backupKept = keepDamagedFile(bytes);
    app.rt.MessageBox(Control {}, settingsMessageTitle(),
        settingsDamageText(found.damage, found.line, backupKept), MessageButtons::Ok,
        MessageIcon::Exclamation);
}

// The whole file, or nothing when it could not be read. A folder, a FIFO or a device of that
// name is not read at all.
std::optional<QByteArray> wholeFile(const ReadOnlyFile& file)
{
    if (file.status() != ReadOnlyFile::Status::Open) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) return std::nullopt;
    return bytes;
}

} // namespace

void readSettings(App& app)
{
    const ReadOnlyFile file(settingsFilePath());
    if (file.status() == ReadOnlyFile::Status::Missing)
        return; // the first run: the file is created at shutdown
    const std::optional<QByteArray> bytes = wholeFile(file);
    try {
        if (!bytes) throw DamageFound { SettingsDamage::Unreadable, 1 };
        RecordReader reader(*bytes);
        readRecords(app, reader);
    } catch (const DamageFound& found) {
        reportDamage(app, found, bytes);
    }
}
