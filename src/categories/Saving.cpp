#include "categories/Saving.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "image/ImageFiles.h"
#include "platform/DurableFiles.h"
#include "platform/FileSystem.h"
#include "source/SequenceNaming.h"
#include "trimming/Cropping.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingStates.h"

#include <limits>
#include <vector>

namespace {

// How saving one trimmed piece ended.
enum class PieceOutcome {
    Saved, // written under the category's next free name; the number advanced
    Skipped, // the frame cuts nothing from the image
    NumbersExhausted, // every name up to number 32767 is taken; reported
    Failed, // the file could not be written; reported, no number consumed
};

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

// What a save could not write, each told once, after all pieces are named. Pieces that failed
// into one folder for one reason make one report however many they were: a failed piece uses no
// number, so those of one category were all tried under the same name.
struct UnsavedReport
{
    QString title; // of the message box
    QString text; // numbers used up: the whole text
    QString folder; // failed pieces: the folder they were to be named in,
    QString reason; // why they failed,
    QStringList paths; // and the path each was tried under
};
using UnsavedReports = std::vector<UnsavedReport>;

void addFailedPiece(UnsavedReports& reports, const QString& name, const QString& path, const QString& reason)
{
    const QString folder = folderOfFile(path);
    for (UnsavedReport& report : reports) {
        if (report.paths.isEmpty() || report.folder != folder || report.reason != reason) continue;
        report.paths << path;
        return;
    }
    reports.push_back({ name, {}, folder, reason, { path } });
}

// Each report as a message box and as a line of the note after the save. Failures under several
// names are told by the folder they were to go into.
void tellUnsaved(App& app, const UnsavedReports& reports)
{
    for (const UnsavedReport& report : reports) {
        QString title = report.title;
        QString text = report.text;
        if (!report.paths.isEmpty()) {
            const int pieces = int(report.paths.size());
            if (report.paths.count(report.paths.first()) == pieces) {
                text = saveFailedText(report.paths.first(), report.reason, pieces);
            } else {
                title = withTrailingSeparator(report.folder);
                text = saveFailedInFolderText(title, report.reason, pieces);
            }
        }
        app.UnsavedPieces << text;
        app.rt.MessageBox(app.EventOwner, title, text, MessageButtons::Ok, MessageIcon::Exclamation);
    }
}

// Gives prepared piece `index` the category's next free name: a name that is taken, whether
// found now or only when the file is named, is skipped. What fails is added to `unsaved`.
PieceOutcome namePiece(App& app, int16_t category, int index, UnsavedReports& unsaved)
{
    for (;;) {
        MIX_NAME(app, category);
        const QString path = app.CatFolder[category] + app.SaveName;
        const SaveResult saved = isExistingFile(path) ? SaveResult { SaveOutcome::NameTaken, {} }
                                                      : app.bitmaps.NamePreparedPiece(index, path);
        if (saved.ok()) break;
        if (saved.outcome == SaveOutcome::Failed) {
            addFailedPiece(unsaved, app.SaveName, path, saved.reason);
            return PieceOutcome::Failed;
        }
        if (!skipTakenNumber(app, category)) {
            unsaved.push_back({ app.CatName[category], numbersExhaustedText(category), {}, {}, {} });
            return PieceOutcome::NumbersExhausted;
        }
    }
    app.SavedPieces << QStringLiteral("%1（%2）").arg(app.SaveName, app.CatFolder[category]);
    advanceAfterSaving(app, category);
    return PieceOutcome::Saved;
}

// The folder the category's pieces are named in. Their paths are the folder text followed by the
// file name as typed, so a folder typed without its final separator, or a fixed part holding
// one, puts them elsewhere than in the folder the text names. The number never holds a
// separator, so any number gives the same folder.
QString namingFolder(const App& app, int16_t category)
{
    return folderOfFile(app.CatFolder[category] + app.CatFixed[category] + QStringLiteral("1.BMP"));
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
        for (int frame = 0; frame < app.CatFrameCount[category]; ++frame) {
            const CropRect crop = cropOfFrame(app.FrameLeft[frame][category], app.FrameTop[frame][category],
                app.FrameRight[frame][category], app.FrameBottom[frame][category], app.Magnification,
                app.ImageWidth, app.ImageHeight);
            if (!crop.isEmpty()) pieces.push_back({ category, crop });
        }
    }
    return pieces;
}

// The blocks cut, for the frames carried to the next image. A save that cuts nothing (a step
// past an image without frames) keeps those of the save before it.
void rememberCut(App& app, const std::vector<Piece>& pieces)
{
    if (pieces.empty()) return;
    app.LastCut.clear();
    for (const Piece& piece : pieces)
        app.LastCut.append({ piece.category, blockOf(piece.crop) });
}

// Cuts and writes all pieces ahead, several at a time, then names them one after the other,
// in the order of categories and frames, as each would have been saved alone.
void saveAllPieces(App& app)
{
    const std::vector<Piece> pieces = piecesToSave(app);
    rememberCut(app, pieces);
    std::vector<BitmapStore::PieceRequest> requests;
    for (const Piece& piece : pieces) {
        const QString folder = namingFolder(app, piece.category);
        // What an ended process left is removed at the first save into a folder: later saves
        // leave nothing behind, and listing a folder of many images at every save would cost.
        if (!app.FoldersCleaned.contains(folder)) {
            removeAbandonedTemporaries(folder);
            app.FoldersCleaned.insert(folder);
        }
        requests.push_back({ blockOf(piece.crop), folder });
    }
    app.bitmaps.PreparePieces(app.SourceBitmap, requests);
    UnsavedReports unsaved;
    int16_t exhausted = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].category == exhausted) continue;
        if (namePiece(app, pieces[i].category, int(i), unsaved) == PieceOutcome::NumbersExhausted)
            exhausted = pieces[i].category;
    }
    app.bitmaps.FinishPreparedPieces();
    tellUnsaved(app, unsaved);
}

} // namespace

QString saveFailedText(const QString& path, const QString& reason, int pieces)
{
    const QString text = QStringLiteral("「%1」を保存できませんでした（%2）").arg(path, reason);
    return pieces > 1 ? text + QStringLiteral("（%1 枚）").arg(pieces) : text;
}

QString saveFailedInFolderText(const QString& folder, const QString& reason, int pieces)
{
    return QStringLiteral("「%1」に %2 枚を保存できませんでした（%3）")
        .arg(folder, QString::number(pieces), reason);
}

QString numbersExhaustedText(int16_t category)
{
    return QStringLiteral("%1の保存番号が%2を超えるため、残りの範囲は保存しませんでした")
        .arg(categoryLabel(category))
        .arg(kLastNumber);
}

void HOZON_SUB(App& app)
{
    app.SavedPieces.clear();
    app.UnsavedPieces.clear();
    // The frames drawn into the view go first; at actual size the view shares the source's pixels.
    BOX2_SUB(app);
    if (!app.bitmaps.CheckObject(app.SourceBitmap)) {
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
