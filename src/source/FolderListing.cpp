#include "source/FolderListing.h"

#include "core/App.h"
#include "platform/FileSystem.h"
#include "settings/Cp932.h"
#include "source/Lookahead.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const QString kPatterns[] = { QStringLiteral("*.BMP"), QStringLiteral("*.JPG") };

struct NameKey
{
    bool beyondCp932 = false;
    QByteArray bytes;

    friend bool operator<(const NameKey& a, const NameKey& b)
    {
        return std::tie(a.beyondCp932, a.bytes) < std::tie(b.beyondCp932, b.bytes);
    }
};

bool isCp932LeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Lower-cases the one-byte ASCII letters. The second byte of a double-byte character may lie in
// the letter range ("ア" is 0x83 0x41) and is left as it is.
QByteArray foldCp932Letters(QByteArray bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (isCp932LeadByte(byte))
            ++i;
        else if (byte >= 'A' && byte <= 'Z')
            bytes[i] = char(byte - 'A' + 'a');
    }
    return bytes;
}

// Names compare by their code page 932 bytes with the ASCII letters in lower case, so "_" sorts
// before the letters. A name that code page 932 cannot hold without loss sorts after every name
// it can, and among such names by its UTF-8 bytes with the same folding.
NameKey nameKey(Cp932Converter& cp932, const QString& name)
{
    if (std::optional<QByteArray> bytes = cp932.encodeLossless(name))
        return { false, foldCp932Letters(std::move(*bytes)) };
    return { true, name.toUtf8().toLower() };
}

} // namespace

void ファイル名取得_SUB2(App& app, QStringList& names)
{
    // One read of the folder for both kinds; the order among the kinds is the sort's.
    names = listFolder(app.ListFolder, QStringList { kPatterns[0], kPatterns[1] });
    float last = float(names.size() - 1);
    if (last >= 1) ソート_SUB(last, names);
}

// A stable sort gives exactly the order of repeated exchange passes over neighbours: ascending
// by the key, names that compare equal in listing order.
void ソート_SUB(float& last, QStringList& names)
{
    if (last <= 0) return;
    const qsizetype count = std::min<qsizetype>(qsizetype(last) + 1, names.size());
    // Each name is converted once, not at every comparison, through one converter.
    Cp932Converter cp932;
    std::vector<std::pair<NameKey, QString>> keyed;
    keyed.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        keyed.emplace_back(nameKey(cp932, names[i]), names[i]);
    std::stable_sort(
        keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (qsizetype i = 0; i < count; ++i)
        names[i] = keyed[size_t(i)].second;
}

void listSourceFolder(App& app)
{
    // The list grows as it is filled, so the folder is read once: its size is the count.
    ファイル名取得_SUB2(app, app.SrcList);
    app.SrcCount = int(app.SrcList.size());
    app.SrcIndex = int(app.SrcList.indexOf(app.CurrentFileName));
    decodeNextAhead(app);
}
