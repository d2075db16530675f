#include "platform/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

// A text of Qt's that its Japanese translation lacks: the kinds of entry a file dialog shows in
// its type column (files show the kind their MIME type names). The words are those Qt's
// Japanese uses elsewhere, as in 新しいフォルダ.
struct MissingText
{
    const char* context;
    const char* source;
    const char* japanese;
};

constexpr MissingText kMissingTexts[] = {
    { "QAbstractFileIconProvider", "Folder", "フォルダ" },
    { "QAbstractFileIconProvider", "Drive", "ドライブ" },
    { "QAbstractFileIconProvider", "File", "ファイル" },
    { "QAbstractFileIconProvider", "Shortcut", "ショートカット" },
    { "QAbstractFileIconProvider", "Unknown", "不明" },
};

// Qt's own Japanese, completed by the texts it lacks.
class JapaneseQtTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    // Qt asks from the threads that list folders as well, so this only reads constant data.
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
        int n = -1) const override
    {
        for (const MissingText& text : kMissingTexts)
            if (context && sourceText && std::strcmp(context, text.context) == 0
                && std::strcmp(sourceText, text.source) == 0)
                return QString::fromUtf8(text.japanese);
        return QTranslator::translate(context, sourceText, disambiguation, n);
    }
};

} // namespace

QTranslator* installJapaneseQtTexts()
{
    auto* translator = new JapaneseQtTexts(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
