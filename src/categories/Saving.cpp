#include "categories/Saving.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/FileSystem.h"
#include "platform/ImageFiles.h"
#include "source/SequenceNaming.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingStates.h"

#include <limits>

namespace {

constexpr int16_t kLastNumber = std::numeric_limits<int16_t>::max();

// Moves the category past a number that is taken. False when there is no number left.
bool skipTakenNumber(App& app, int16_t category)
{
    if (app.CatNextNo[category] >= kLastNumber) return false;
    ++app.CatNextNo[category];
    return true;
}

// After a piece is written the next number follows it; at the last number the category stays
// there, and the next save finds the name taken and says that the numbers are used up.
void advanceAfterSaving(App& app, int16_t category)
{
    if (app.CatNextNo[category] < kLastNumber) ++app.CatNextNo[category];
    app.CatStartText[category] = numberText(app.CatNextNo[category]);
}

void cutIntoViewBitmap(App& app, const CropRect& crop)
{
    const int width = int(crop.width()), height = int(crop.height());
    app.rt.DeleteObject(app.ViewBitmap);
    app.rt.CreateBitmap(app.ViewBitmap, width, height);
    app.rt.BitBlt(app.ViewBitmap, 0, 0, width, height, app.SourceBitmap, int(crop.left), int(crop.top));
}

} // namespace

QString saveFailedText(const QString& path, const QString& reason)
{
    return QStringLiteral("「%1」を保存できませんでした（%2）").arg(path, reason);
}

QString numbersExhaustedText(int16_t category)
{
    return QStringLiteral("%1の保存番号が%2を超えるため、残りの範囲は保存しませんでした")
        .arg(categoryLabel(category))
        .arg(kLastNumber);
}

PieceOutcome savePiece(App& app, int16_t category, const CropRect& crop)
{
    if (crop.isEmpty()) return PieceOutcome::Skipped;
    cutIntoViewBitmap(app, crop);
    for (;;) {
        MIX_NAME(app, category);
        const QString path = app.CatFolder[category] + app.SaveName;
        // A name that is taken, whether found now or only when the file is written, is skipped.
        const SaveResult saved = isExistingFile(path) ? SaveResult { SaveOutcome::NameTaken, {} }
                                                      : app.rt.SaveFile(app.ViewBitmap, path);
        if (saved.ok()) break;
        if (saved.outcome == SaveOutcome::Failed) {
            app.UnsavedPieces << saveFailedText(path, saved.reason);
            app.rt.MessageBox(app.EventOwner, app.SaveName, saveFailedText(path, saved.reason),
                MessageButtons::Ok, MessageIcon::Exclamation);
            return PieceOutcome::Failed;
        }
        if (!skipTakenNumber(app, category)) {
            app.UnsavedPieces << numbersExhaustedText(category);
            app.rt.MessageBox(app.EventOwner, app.CatName[category], numbersExhaustedText(category),
                MessageButtons::Ok, MessageIcon::Exclamation);
            return PieceOutcome::NumbersExhausted;
        }
    }
    app.SavedPieces << QStringLiteral("%1（%2）").arg(app.SaveName, app.CatFolder[category]);
    advanceAfterSaving(app, category);
    return PieceOutcome::Saved;
}

void HOZON_SUB(App& app)
{
    app.SavedPieces.clear();
    app.UnsavedPieces.clear();
    // The frames are drawn into the view bitmap, which is about to become the cut buffer.
    BOX2_SUB(app);
    if (!app.rt.CheckObject(app.SourceBitmap)) {
        // After a load that failed with nothing to return to there is no image to cut from.
        app.rt.MessageBox(app.EventOwner, QString(),
            QStringLiteral("切り出す画像がないため保存しませんでした"), MessageButtons::Ok,
            MessageIcon::Exclamation);
    } else {
        for (int16_t category = 1; category <= kCategoryCount; ++category) {
            if (app.CatValid[category] != kFlagSet) continue;
            if (app.CatFrameCount[category] > 0) removeAbandonedTemporaries(app.CatFolder[category]);
            for (int frame = 0; frame < int(app.CatFrameCount[category]); ++frame) {
                const CropRect crop = cropOfFrame(app.FrameLeft[frame][category],
                    app.FrameTop[frame][category], app.FrameRight[frame][category],
                    app.FrameBottom[frame][category], app.Magnification, app.ImageWidth, app.ImageHeight);
                if (savePiece(app, category, crop) == PieceOutcome::NumbersExhausted) break;
            }
            app.CatFrameCount[category] = 0;
        }
    }
    app.TrimState = TrimState::Idle;
    app.GrabCode = grabCode({});
}

QString saveNoteText(const QStringList& saved, const QStringList& unsaved)
{
    constexpr int kLinesShown = 6;
    auto listed = [](const QStringList& lines) {
        QStringList shown = lines.mid(0, kLinesShown);
        if (lines.size() > kLinesShown) shown << QStringLiteral("ほか %1 件").arg(lines.size() - kLinesShown);
        return shown;
    };
    QStringList note { saved.isEmpty() ? QStringLiteral("保存した範囲はありません")
                                       : QStringLiteral("%1 枚を保存しました").arg(saved.size()) };
    note += listed(saved);
    if (!unsaved.isEmpty()) note << QStringLiteral("保存できなかったもの：") << listed(unsaved);
    return note.join(QLatin1Char('\n'));
}
