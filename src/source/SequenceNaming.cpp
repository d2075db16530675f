#include "source/SequenceNaming.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/FileSystem.h"

#include <QLocale>

#include <cmath>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
// Lines of one category block in the summary, the blank line between blocks included.
constexpr int kSummaryLinesPerCategory = 5;

QString sequenceFileName(const App& app)
{
    return app.SeqFixed + app.SeqNumberText + app.SeqExt;
}

} // namespace

QString numberText(double number)
{
    return QString::number(std::fabs(number), 'f', QLocale::FloatingPointShortest);
}

void zeroFill(QString& text, int16_t& digits)
{
    const auto length = int16_t(text.size());
    if (length > digits) digits = length;
    text.prepend(QString(digits - length, QLatin1Char('0')));
}

QString sequenceNumberText(const App& app, double number, int16_t& digits)
{
    QString text = numberText(number);
    if (app.rt.GetCurSel(app.COMBO3) == 1) zeroFill(text, digits);
    return text;
}

QString sequenceFilePath(const App& app, double number)
{
    int16_t digits = app.SeqDigits;
    // A load path taken from the current directory has no separator at its end yet.
    return withTrailingSeparator(app.LoadPath) + app.SeqFixed + sequenceNumberText(app, number, digits)
        + app.SeqExt;
}

void CHK_LOAD(App& app)
{
    app.SeqNumberText = sequenceNumberText(app, app.SeqNumber, app.SeqDigits);
    app.LoadFilePath = withTrailingSeparator(app.LoadPath) + sequenceFileName(app);
    app.LoadFailed = kFlagClear;
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    if (!isExistingFile(app.LoadFilePath)) {
        app.LoadFailed = kFlagSet;
        app.rt.MessageBox(app.EventOwner, sequenceFileName(app),
            QStringLiteral("ロードするファイル名の構成に誤りがあります"), MessageButtons::Ok,
            MessageIcon::None);
        app.rt.EnableWindow(app.BUTTON2, kFalse);
    }
}

void MIX_NAME(App& app, const int16_t& category)
{
    QString& text = app.CatStartText[category];
    text = numberText(app.CatNextNo[category]);
    if (app.CatFill[category] == QLatin1String("0")) zeroFill(text, app.CatDigits[category]);
    app.SaveName = app.CatFixed[category] + text + QStringLiteral(".BMP");
}

void HYOJI_SUB(App& app)
{
    QString summary;
    for (int16_t category = 1; category <= kCategoryCount; ++category) {
        if (category > 1) summary += kLineEnd;
        summary += categoryLabel(category);
        summary += (isValidCategory(app, category) ? QStringLiteral("　有効") : QStringLiteral("　無効"))
            + kLineEnd;
        summary += QStringLiteral("分類名：") + app.CatName[category] + kLineEnd;
        summary += QStringLiteral("保存先：") + app.CatFolder[category] + kLineEnd;
        MIX_NAME(app, category);
        summary += QStringLiteral("保存名：") + app.SaveName + kLineEnd;
    }
    app.rt.SetWindowText(app.EDIT10, summary);
    const int selected = app.rt.GetCurSel(app.LIST1);
    app.rt.LineScroll(app.EDIT10, 0, selected * kSummaryLinesPerCategory);
}
