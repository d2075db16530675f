#include "source/FolderListing.h"

#include "app/App.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString kPatterns[] = { QStringLiteral("*.BMP"), QStringLiteral("*.JPG") };

} // namespace

void ファイル名取得_SUB1(App& app, float& count)
{
    count = 0;
    for (const QString& pattern : kPatterns)
        count += float(listFolder(app.ListFolder, pattern).size());
}

void ファイル名取得_SUB2(App& app, QStringList& names)
{
    names.clear();
    for (const QString& pattern : kPatterns)
        names += listFolder(app.ListFolder, pattern);
    float last = float(names.size() - 1);
    if (last >= 1) ソート_SUB(last, names);
}

// A stable sort gives exactly the order of repeated exchange passes over neighbours: ascending
// by the lower-case form, names that compare equal in listing order. Lower case puts "_" and
// the other characters between the two letter ranges before the letters.
void ソート_SUB(float& last, QStringList& names)
{
    if (last <= 0) return;
    const qsizetype count = std::min<qsizetype>(qsizetype(last) + 1, names.size());
    // Each name is folded once, not at every comparison.
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        keyed.emplace_back(names[i].toLower(), names[i]);
    std::stable_sort(
        keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (qsizetype i = 0; i < count; ++i)
        names[i] = keyed[size_t(i)].second;
}

void listSourceFolder(App& app)
{
    app.SrcList.clear();
    ファイル名取得_SUB1(app, app.SrcCount);
    ファイル名取得_SUB2(app, app.SrcList);
    // The folder may have changed between counting and filling; the list is what counts.
    app.SrcCount = float(app.SrcList.size());
    app.SrcIndex = float(app.SrcList.indexOf(app.CurrentFileName));
}
