#include "source/LoadSetup.h"

#include "core/App.h"
#include "source/ImageLoading.h"
#include "source/LoadedFile.h"
#include "source/SequenceNaming.h"

namespace {

const QString kImageFilter = QStringLiteral("(*.BMP,*.JPG);(*.*)");

bool isDigitCharacter(QChar character)
{
    return character >= QLatin1Char('0') && character <= QLatin1Char('9');
}

// Loads LoadFilePath and, when it loaded, shows it as the single source file.
void loadSingleFile(App& app)
{
    LOAD_BMP(app);
    if (app.LoadFailed != kFlagClear) return;
    app.LoadMode = LoadMode::SingleFile;
    adoptLoadedFile(app);
}

// Takes the fixed part and the number of the chosen file as the source sequence.
void takeSequenceNumber(App& app, const SequenceName& name)
{
    app.SeqFixed = name.fixed;
    app.SeqNumberText = name.numberText;
    app.SeqNumber = name.number;
    app.SeqDigits = name.digits;
    app.rt.SetCurSel(app.COMBO3, name.zeroFilled ? 1 : 0);
    app.rt.SetWindowText(app.EDIT2, app.SeqFixed);
    app.rt.SetWindowText(app.EDIT3, numberText(app.SeqNumber));
    app.rt.SetWindowText(app.EDIT4, numberText(app.SeqDigits));
}

} // namespace

bool chooseImageFile(App& app, const QString& prompt)
{
    app.LoadFilePath = app.rt.WinOpenDlg(app.EventOwner, prompt, app.LoadPath, kImageFilter, 0);
    return app.LoadFilePath != dialogCancelled();
}

int lastNonDigitPosition(const QString& name)
{
    for (qsizetype i = name.size(); i >= 1; --i)
        if (!isDigitCharacter(name[i - 1])) return int(i);
    return 0;
}

std::optional<SequenceName> parseSequenceName(const QString& baseName)
{
    const int p = lastNonDigitPosition(baseName);
    if (p == baseName.size()) return std::nullopt;
    SequenceName name;
    name.fixed = baseName.left(p);
    name.numberText = baseName.mid(p);
    name.number = name.numberText.toDouble();
    name.digits = int16_t(qMin<qsizetype>(name.numberText.size(), 32767));
    // A run with a leading zero was written zero-filled; one without was not.
    name.zeroFilled = name.numberText.startsWith(QLatin1Char('0'));
    return name;
}

void BUTTON6_ON(App& app)
{
    app.LoadMode = LoadMode::None;
    if (!chooseImageFile(app, QStringLiteral("トリミングする画像ファイルは？"))) return;
    loadSingleFile(app);
}

void BUTTON7_ON(App& app)
{
    app.LoadMode = LoadMode::Sequence;
    if (!chooseImageFile(app, QStringLiteral("トリミングを開始する画像ファイルは？"))) return;
    splitLoadPath(app);
    app.LoadPath = app.SplitDrive + app.SplitDir;
    app.rt.SetWindowText(app.EDIT1, app.LoadPath + app.SplitName + app.SeqExt);

    const std::optional<SequenceName> name = parseSequenceName(app.SplitName);
    // A base name of no characters (a file named only by its extension) holds no number, so it
    // is loaded directly like any other name without one.
    if (!name) {
        app.rt.MessageBox(app.EventOwner, QString(),
            QStringLiteral("連番部分がありませんので、直接ロードします"), MessageButtons::Ok,
            MessageIcon::Exclamation);
        loadSingleFile(app);
        return;
    }
    takeSequenceNumber(app, *name);
}
