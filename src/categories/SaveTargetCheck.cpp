#include "categories/SaveTargetCheck.h"

#include "core/App.h"
#include "core/CategoryLabel.h"
#include "platform/FileSystem.h"

namespace {

// The folder text ends with its separator, so the folder itself is the text less its last
// character. The file-system root is refused even though it exists: nothing is to be filed there.
bool hasUsableFolder(const QString& folder)
{
    return isExistingFolder(folder.chopped(qMin<qsizetype>(1, folder.size()))) && !isRootFolder(folder);
}

} // namespace

float FILECHK_SUB(App& app)
{
    float result = 0;
    for (int c = 1; c <= kCategoryCount; ++c) {
        if (!isValidCategory(app, c) || hasUsableFolder(app.CatFolder[c])) continue;
        app.rt.MessageBox(app.EventOwner,
            QStringLiteral("保存先エラー　[") + app.CatFolder[c] + QStringLiteral("]"),
            categoryLabel(c) + QStringLiteral("には保存フォルダーがありません"), MessageButtons::Ok,
            MessageIcon::Exclamation);
        result = 1;
        app.CatFolder[c] = currentFolder();
    }
    // Invalid categories count too: making one valid later must not give two categories the same
    // file names.
    for (int c = 1; c < kCategoryCount; ++c) {
        for (int c2 = c + 1; c2 <= kCategoryCount; ++c2) {
            if (app.CatFolder[c] != app.CatFolder[c2] || app.CatFixed[c] != app.CatFixed[c2]) continue;
            app.rt.MessageBox(app.EventOwner, categoryLabel(c) + QStringLiteral("の保存名エラー"),
                QStringLiteral("保存ファイル名が") + categoryLabel(c2) + QStringLiteral("と同じです"),
                MessageButtons::Ok, MessageIcon::Exclamation);
            result = 2;
            app.rt.EnableWindow(app.BUTTON2, kFalse);
        }
    }
    return result;
}
