#include "categories/Saving.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/DurableFiles.h"
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

QRect blockOf(const CropRect& crop)
{
    return QRect(int(crop.left), int(crop.top), int(crop.width()), int(crop.height()));
}

// Gives prepared piece `index` the category's next free name: a name that is taken, whether
// found now or only when the file is named, is skipped.
PieceOutcome namePiece(App& app, int16_t category, int index)
{
    for (;;) {
        MIX_NAME(app, category);
        const QString path = app.CatFolder[category] + app.SaveName;
        const SaveResult saved = isExistingFile(path) ? SaveResult { SaveOutcome::NameTaken, {} }
                                                      : app.rt.NamePreparedPiece(index, path);
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

struct Piece
{
    int16_t category;
    CropRect crop;
};

// Every frame of every valid category that cuts something, in the order they are saved.
std::vector<Piece> piecesToSave(const App& app)
{
    std::vector<Piece> pieces;
    for (int16_t category = 1; category <= kCategoryCount; ++category) {
        if (!isValidCategory(app, category)) continue;
        for (int frame = 0; frame < int(app.CatFrameCount[category]); ++frame) {
            const CropRect crop = cropOfFrame(app.FrameLeft[frame][category], app.FrameTop[frame][category],
                app.FrameRight[frame][category], app.FrameBottom[frame][category], app.Magnification,
                app.ImageWidth, app.ImageHeight);
            if (!crop.isEmpty()) pieces.push_back({ category, crop });
        }
    }
    return pieces;
}

// Cuts and writes all pieces ahead, several at a time, then names them one after the other,
// in the order of categories and frames, as each would have been saved alone.
void saveAllPieces(App& app)
{
    const std::vector<Piece> pieces = piecesToSave(app);
    std::vector<BitmapStore::PieceRequest> requests;
    for (const Piece& piece : pieces) {
        if (requests.empty() || pieces[requests.size() - 1].category != piece.category)
            removeAbandonedTemporaries(app.CatFolder[piece.category]);
        requests.push_back({ blockOf(piece.crop), app.CatFolder[piece.category] });
    }
    app.rt.PreparePieces(app.SourceBitmap, requests);
    int16_t exhausted = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].category == exhausted) continue;
        if (namePiece(app, pieces[i].category, int(i)) == PieceOutcome::NumbersExhausted)
            exhausted = pieces[i].category;
    }
    app.rt.FinishPreparedPieces();
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
    app.rt.PreparePieces(app.SourceBitmap, { { blockOf(crop), app.CatFolder[category] } });
    const PieceOutcome outcome = namePiece(app, category, 0);
    app.rt.FinishPreparedPieces();
    return outcome;
}

void HOZON_SUB(App& app)
{
    app.SavedPieces.clear();
    app.UnsavedPieces.clear();
    // The frames drawn into the view go first; at actual size the view shares the source's pixels.
    BOX2_SUB(app);
    if (!app.rt.CheckObject(app.SourceBitmap)) {
        // After a load that failed with nothing to return to there is no image to cut from.
        app.rt.MessageBox(app.EventOwner, QString(),
            QStringLiteral("切り出す画像がないため保存しませんでした"), MessageButtons::Ok,
            MessageIcon::Exclamation);
    } else {
        saveAllPieces(app);
        for (int16_t category = 1; category <= kCategoryCount; ++category)
            if (isValidCategory(app, category)) app.CatFrameCount[category] = 0;
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
