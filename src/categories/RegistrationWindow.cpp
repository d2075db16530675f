#include "categories/RegistrationWindow.h"

#include "categories/SaveTargetCheck.h"
#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFormat.h"
#include "source/FolderListing.h"
#include "source/ImageLoading.h"
#include "source/LoadedFile.h"
#include "source/PathSplit.h"
#include "source/SequenceNaming.h"
#include "source/Stepping.h"
#include "trimming/TrimmingMode.h"
#include "view/Layout.h"

namespace {

constexpr int kDropNoteMilliseconds = 4000;

int16_t int16Value(const QString& text)
{
    return toInt16(leadingNumberValue(text));
}

int validCategoryCount(const App& app)
{
    int count = 0;
    for (int c = 1; c <= kCategoryCount; ++c)
        if (isValidCategory(app, c)) ++count;
    return count;
}

// The checks "登録終了" makes before it loads, each problem reported: the save folders and names
// of the categories, and at least one valid category, without which a save writes nothing.
bool categoriesReadyToSave(App& app)
{
    const bool targetsUsable = FILECHK_SUB(app) == 0;
    const bool anyValid = validCategoryCount(app) > 0;
    if (!anyValid)
        app.rt.MessageBox(app.EventOwner, QStringLiteral("分類設定エラー"),
            QStringLiteral("全ての分類の設定が有効ではありません"), MessageButtons::Ok,
            MessageIcon::Exclamation);
    return targetsUsable && anyValid;
}

void closeWindow(App& app)
{
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    app.rt.ShowWindow(app.FORM2, kFalse);
    app.rt.EnableWindow(app.MAINFORM, kTrue);
    app.rt.SetForegroundWindow(app.MAINFORM);
    // The registration window is gone: what the load has to say belongs to the main window.
    app.EventOwner = app.MAINFORM;
}

// Loads the registered source: the first file of the sequence, or the chosen file again.
void loadSource(App& app)
{
    if (app.LoadMode == LoadMode::Sequence) {
        app.SeqFixed = app.rt.GetWindowText(app.EDIT2);
        app.SeqNumber = leadingNumberValue(app.rt.GetWindowText(app.EDIT3));
        app.SeqDigits = int16Value(app.rt.GetWindowText(app.EDIT4));
        CHK_LOAD(app);
        if (app.LoadFailed == kFlagClear) REN_LOAD(app);
        return;
    }
    if (app.LoadMode != LoadMode::Folder) app.LoadMode = LoadMode::SingleFile;
    LOAD_BMP(app);
    if (app.LoadFailed == kFlagClear) adoptLoadedFile(app);
}

void rebuildCategoryList(App& app)
{
    app.rt.ResetContent(app.COMBO2);
    app.ValidCatMap.fill(0);
    int k = 0;
    for (int16_t c = 1; c <= kCategoryCount; ++c) {
        if (!isValidCategory(app, c)) continue;
        app.rt.AddString(app.COMBO2, app.CatName[c]);
        app.ValidCatMap[k++] = c;
    }
    app.ValidCatCount = int16_t(k);
    app.rt.SetCurSel(app.COMBO2, 0);
    // The first valid category becomes current through the category switch, so the frame
    // list and the frames on the picture follow it also when no load has just cleared them.
    RESET_SUB(app);
}

void showMainButtons(App& app)
{
    app.rt.ShowWindow(app.BUTTON2, kTrue);
    app.rt.ShowWindow(app.BUTTON9, kTrue);
    if (app.LoadMode == LoadMode::Sequence || app.LoadMode == LoadMode::Folder) {
        app.rt.ShowWindow(app.BUTTON11, kTrue);
        app.rt.ShowWindow(app.BUTTON12, kTrue);
    }
}

void enableSaveButtons(App& app)
{
    app.rt.EnableWindow(app.BUTTON9, kTrue);
    app.rt.EnableWindow(app.BUTTON11, kTrue);
    app.rt.EnableWindow(app.BUTTON12, kTrue);
}

} // namespace

void SETEDIT_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    const int c = app.CurCat;
    rt.SetWindowText(app.EDIT5, app.CatName[c]);
    rt.SetWindowText(app.EDIT6, app.CatFolder[c]);
    rt.SetWindowText(app.EDIT7, app.CatFixed[c]);
    rt.SetWindowText(app.EDIT8, QString::number(app.CatNextNo[c]));
    rt.SetWindowText(app.EDIT9, QString::number(app.CatDigits[c]));
    rt.SetCurSel(app.COMBO4, app.CatFill[c] == QLatin1String("0") ? 1 : 0);
    rt.SetCheck(app.CHECK1, isValidCategory(app, c) ? 1 : 0);
}

void GETEDIT_SUB(App& app)
{
    FormRuntime& rt = app.rt;
    const int c = app.CurCat;
    app.CatName[c] = rt.GetWindowText(app.EDIT5);
    app.CatFolder[c] = rt.GetWindowText(app.EDIT6);
    app.CatFixed[c] = rt.GetWindowText(app.EDIT7);
    app.CatStartText[c] = rt.GetWindowText(app.EDIT8);
    app.CatNextNo[c] = int16Value(app.CatStartText[c]);
    app.CatDigits[c] = int16Value(rt.GetWindowText(app.EDIT9));
    app.CatFill[c] = rt.GetCurSel(app.COMBO4) == 0 ? QStringLiteral("1") : QStringLiteral("0");
    app.CatValid[c] = rt.GetCheck(app.CHECK1) == 1 ? kFlagSet : kFlagClear;
    HYOJI_SUB(app);
}

void BUTTON5_ON(App& app)
{
    FormRuntime& rt = app.rt;
    // The source may change here; what was decoded ahead for the old one is not wanted.
    app.bitmaps.DropPrefetch();
    rt.ShowWindow(app.FORM2, kTrue);
    rt.ShowWindow(app.BUTTON11, kFalse);
    rt.ShowWindow(app.BUTTON12, kFalse);
    rt.EnableWindow(app.MAINFORM, kFalse);
    rt.SetForegroundWindow(app.FORM2);

    rt.SetWindowText(app.EDIT1, app.LoadPath);
    rt.SetWindowText(app.EDIT2, app.SeqFixed);
    rt.SetWindowText(app.EDIT3, numberText(app.SeqNumber));
    rt.SetWindowText(app.EDIT4, QString::number(app.SeqDigits));
    if (app.CurCat > 0) rt.SetCurSel(app.LIST1, app.CurCat - 1);
    SETEDIT_SUB(app);
    HYOJI_SUB(app);
}

void LIST1_CLICK(App& app)
{
    GETEDIT_SUB(app);
    const int selected = app.rt.GetCurSel(app.LIST1);
    if (selected >= 0) app.CurCat = int16_t(selected + 1);
    SETEDIT_SUB(app);
}

void CHECK1_ON(App& app)
{
    LIST1_CLICK(app);
}

void BUTTON10_ON(App& app)
{
    const int c = app.CurCat;
    const QString prompt = categoryLabel(c) + QStringLiteral(" のファイル群を保存したいフォルダは？");
    const QString chosen = app.rt.WinSaveDlg(
        app.EventOwner, prompt, app.CatFolder[c] + QStringLiteral("DUMMY"), QStringLiteral("(*.*)"), 1);
    if (chosen != dialogCancelled() && !chosen.isEmpty()) {
        // Only the folder is wanted; the file name typed in the dialog is ignored and nothing is
        // written.
        const PathParts parts = splitPath(chosen);
        app.CatFolder[c] = parts.drive + parts.directory;
        app.rt.SetWindowText(app.EDIT6, app.CatFolder[c]);
    }
    GETEDIT_SUB(app);
}

void BUTTON8_ON(App& app)
{
    GETEDIT_SUB(app);
    if (!categoriesReadyToSave(app) || app.LoadMode <= LoadMode::None) {
        // The window stays open. It shows what the check has put right (a missing folder is
        // now the current directory), or the next "登録終了" would take the old text back.
        SETEDIT_SUB(app);
        HYOJI_SUB(app);
        return;
    }

    closeWindow(app);
    loadSource(app);
    if (app.LoadFailed == kFlagClear) enableSaveButtons(app);
    rebuildCategoryList(app);
    showMainButtons(app);
}

void MAINFORM_DROP(App& app, const QString& path)
{
    // Loading another image forgets every frame; frames are only ever given up by the user.
    if (anyFramePlaced(app) || app.TrimState != TrimState::Idle) {
        showStripNote(app, QStringLiteral("枠を置いている間は、ドロップした画像を読み込みません"),
            kDropNoteMilliseconds);
        return;
    }
    // What is loaded is to be saved: a drop passes the checks of "登録終了" first.
    if (!categoriesReadyToSave(app)) return;
    const bool folder = isExistingFolder(path);
    // A folder is listed once, here: the list gives its first image and becomes the source's list.
    QStringList names;
    if (folder) {
        app.ListFolder = withTrailingSeparator(path);
        ファイル名取得_SUB2(app, names);
        if (names.isEmpty()) {
            app.rt.MessageBox(app.EventOwner, path,
                QStringLiteral("このフォルダには読み込める画像がありません"), MessageButtons::Ok,
                MessageIcon::Exclamation);
            return;
        }
    }
    app.LoadFilePath = folder ? app.ListFolder + names.front() : path;
    LOAD_BMP(app);
    if (app.LoadFailed != kFlagClear) {
        finishLoad(app);
        return;
    }
    app.LoadMode = folder ? LoadMode::Folder : LoadMode::SingleFile;
    if (folder) {
        app.SrcList = names;
        app.SrcCount = int(names.size());
        app.SrcIndex = 0;
    }
    adoptLoadedFile(app);
    // The buttons of the new source, as "登録終了" leaves them after a load.
    app.rt.ShowWindow(app.BUTTON11, kFalse);
    app.rt.ShowWindow(app.BUTTON12, kFalse);
    enableSaveButtons(app);
    showMainButtons(app);
}
