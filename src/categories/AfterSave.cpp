#include "categories/AfterSave.h"

#include "categories/RegistrationWindow.h"
#include "categories/Saving.h"
#include "core/App.h"
#include "platform/FileSystem.h"
#include "source/ImageLoading.h"
#include "source/LoadSetup.h"
#include "source/LoadedFile.h"
#include "source/Stepping.h"
#include "view/Layout.h"
#include "view/Scrolling.h"

#include <algorithm>

namespace {

const QString kNoMoreFiles = QStringLiteral("ロードするファイルがこれ以上ありません");
constexpr int kSaveNoteMilliseconds = 5000;

void reloadCurrentFile(App& app)
{
    LOAD_BMP(app);
    finishLoad(app);
}

// At either end of the folder list nothing is loaded; the index stays on the end entry.
void reportEndOfList(App& app)
{
    const int index = app.SrcIndex;
    const QString title = index >= 0 && index < app.SrcList.size() ? app.SrcList[index] : QString();
    app.rt.MessageBox(app.EventOwner, title, kNoMoreFiles, MessageButtons::Ok, MessageIcon::None);
    app.rt.EnableWindow(app.BUTTON2, kFalse);
}

QString deleteFailedText(const QString& path)
{
    return QStringLiteral("「%1」を削除できませんでした").arg(path);
}

const QString kSavedImages = QStringLiteral("*.BMP");

// The save folders of the valid categories, each once, in the order of the categories.
QStringList foldersToEmpty(const App& app)
{
    QStringList folders;
    for (int category = 1; category <= kCategoryCount; ++category) {
        const QString& folder = app.CatFolder[category];
        if (isValidCategory(app, category) && !folder.isEmpty() && !folders.contains(folder))
            folders << folder;
    }
    return folders;
}

// What "全ファイル削除" would delete, folder by folder: the user sees where, and how much.
QString deletionDetails(const QStringList& folders)
{
    QStringList lines { QStringLiteral("「はい」で削除するファイル：") };
    qsizetype total = 0;
    for (const QString& folder : folders) {
        const qsizetype count = listFolder(folder, kSavedImages).size();
        lines << QStringLiteral("%1　%2 個").arg(folder).arg(count);
        total += count;
    }
    lines << (total == 0 ? QStringLiteral("削除するファイルはありません")
                         : QStringLiteral("合計 %1 個").arg(total));
    return lines.join(QLatin1Char('\n'));
}

// When the step after a save loads nothing (a missing file, the end of the list), the view is
// built again from the image still held, as a load would have built it. The rebuild enables the
// trimming controls; "トリミング開始" stays as the failed step left it.
void showKeptImage(App& app)
{
    const int trimEnabled = app.rt.IsWindowEnabled(app.BUTTON2);
    CG_ON_SUB(app);
    app.rt.EnableWindow(app.BUTTON2, trimEnabled);
}

void loadListEntry(App& app)
{
    REN_LOAD2(app, app.SrcList[app.SrcIndex]);
}

void stepForward(App& app)
{
    bool loaded = true;
    switch (app.LoadMode) {
    case LoadMode::Sequence:
        app.SeqNumber += 1;
        REN_LOAD(app);
        loaded = app.LoadFailed == kFlagClear;
        break;
    case LoadMode::Folder:
        app.SrcIndex += 1;
        if (app.SrcIndex < app.SrcCount) {
            loadListEntry(app);
            loaded = app.LoadFailed == kFlagClear;
        } else {
            app.SrcIndex = std::max(app.SrcIndex - 1, 0);
            reportEndOfList(app);
            loaded = false;
        }
        break;
    default: reloadCurrentFile(app); break;
    }
    if (!loaded) showKeptImage(app);
}

void stepBack(App& app)
{
    if (app.LoadMode == LoadMode::Sequence) {
        app.SeqNumber = std::max(app.SeqNumber - 1, 0.0);
        REN_LOAD(app);
        if (app.LoadFailed != kFlagClear) showKeptImage(app);
        return;
    }
    app.SrcIndex -= 1;
    if (app.SrcIndex >= 0 && app.SrcIndex < app.SrcCount) {
        loadListEntry(app);
        if (app.LoadFailed != kFlagClear) showKeptImage(app);
    } else {
        app.SrcIndex = 0;
        reportEndOfList(app);
        showKeptImage(app);
    }
}

// A few seconds beside the save buttons: what the save wrote and what it could not.
void showSaveNote(App& app)
{
    showStripNote(app, saveNoteText(app.SavedPieces, app.UnsavedPieces), kSaveNoteMilliseconds);
}

} // namespace

void BUTTON9_ON(App& app)
{
    app.PendingAction = PendingAction::SaveThenNext;
}

void BUTTON12_ON(App& app)
{
    app.PendingAction = PendingAction::SaveThenPrevious;
}

void saveThenNext(App& app)
{
    app.LastStep = StepDirection::Forward;
    HOZON_SUB(app);
    stepForward(app);
    showSaveNote(app);
}

void saveThenPrevious(App& app)
{
    app.LastStep = StepDirection::Back;
    HOZON_SUB(app);
    stepBack(app);
    showSaveNote(app);
}

void BUTTON11_ON(App& app)
{
    app.LastStep = StepDirection::Same;
    HOZON_SUB(app);
    reloadCurrentFile(app);
    showSaveNote(app);
}

void ALL1_SUB(App& app)
{
    for (int category = 1; category <= kCategoryCount; ++category)
        if (isValidCategory(app, category)) app.CatNextNo[category] = 1;
    app.rt.SetWindowText(app.EDIT8, QStringLiteral("1"));
    // Stores the fields on show, and the summary rewrites every start text from its number.
    GETEDIT_SUB(app);
}

void BUTTON13_ON(App& app)
{
    ALL1_SUB(app);
}

void BUTTON14_ON(App& app)
{
    const QStringList folders = foldersToEmpty(app);
    const int answer = app.rt.MessageBox(app.EventOwner, QString(),
        QStringLiteral("本当に全ての保存先の画像を削除しますか？"), MessageButtons::YesNo,
        MessageIcon::Exclamation, deletionDetails(folders));
    if (answer != MessageAnswer::Yes) return;
    for (const QString& folder : folders) {
        for (const QString& name : listFolder(folder, kSavedImages)) {
            if (deleteFile(folder + name)) continue;
            app.rt.MessageBox(app.EventOwner, name, deleteFailedText(folder + name), MessageButtons::Ok,
                MessageIcon::Exclamation);
        }
    }
    ALL1_SUB(app);
}

void BUTTON15_ON(App& app)
{
    app.LoadMode = LoadMode::Folder;
    if (!chooseImageFile(app, QStringLiteral("トリミングする画像ファイルは？"))) return;
    LOAD_BMP(app);
    finishLoad(app);
    if (app.LoadFailed != kFlagClear) return;
    app.ListFolder = app.LoadPath;
    app.PendingAction = PendingAction::ListFolder;
}
