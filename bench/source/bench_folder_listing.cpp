// Lists and sorts a folder of 100 000 images the way the listing request does, and compares the
// time with two reference operations measured in the same run: reading the folder's names with
// readdir and sorting them without letter case (what `ls -f | sort -f` does), and a plain sort
// of the same names by their text. The ratios show what the name order costs on top of that.
// Then the memory the list takes while the program holds it, per entry, from the allocator's
// count of bytes in use.
//
//   bench_folder_listing

#include "Timing.h"
#include "fixture/TestProgram.h"
#include "platform/FileSystem.h"
#include "source/FolderListing.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <random>

#include <dirent.h>
#include <malloc.h>

namespace {

constexpr int kFileCount = 100000;

// Names as scans are named: ASCII in both cases, Japanese words, half-width kana, and one name
// in five with a character that code page 932 cannot hold.
QString fileName(int index)
{
    static const char* const stems[]
        = { "IMG_", "img", "Scan", "写真", "画像", "ｶﾒﾗ", "ページ", "資料Ａ", "Müller", "波〜" };
    static const char* const extensions[] = { ".BMP", ".bmp", ".JPG", ".jpg" };
    return QString::fromUtf8(stems[index % 10]) + QString::number(index * 7919 % 100003)
        + QString::fromLatin1(extensions[index % 4]);
}

bool createFiles(const QString& folder)
{
    for (int index = 0; index < kFileCount; ++index) {
        QFile file(folder + fileName(index));
        if (!file.open(QIODevice::WriteOnly)) return false;
    }
    return true;
}

// The reference: every name of the folder by readdir, sorted without letter case.
QStringList readAndSort(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr)
        names << QFile::decodeName(entry->d_name);
    if (dir) ::closedir(dir);
    std::sort(names.begin(), names.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestProgram program;
    program.start();
    App& app = program.app();
    app.ListFolder = program.dir() + QStringLiteral("/images/");
    if (!QDir(program.dir()).mkdir(QStringLiteral("images")) || !createFiles(app.ListFolder)) {
        std::fprintf(stderr, "cannot create the files in %s\n", qPrintable(app.ListFolder));
        return 1;
    }

    // Best of seven runs each, alternating, so that neither side profits from a warm cache alone.
    double request = 1e300, reads = 1e300;
    for (int run = 0; run < 7; ++run) {
        request = std::min(request, milliseconds([&] { listSourceFolder(app); }));
        reads = std::min(reads, milliseconds([&] { readAndSort(app.ListFolder); }));
    }
    std::printf("%d files listed: %d\n\n", kFileCount, int(app.SrcList.size()));
    std::printf(
        "listing request %8.1f ms  readdir + sort  %8.1f ms  ratio %.2f\n", request, reads, request / reads);
    app.SrcList.clear();
    app.SrcList.squeeze();
    const size_t before = mallinfo2().uordblks;
    listSourceFolder(app);
    const double perEntry = double(mallinfo2().uordblks - before) / double(app.SrcList.size());
    std::printf("memory held for the list %.0f bytes per entry (goal 200)\n", perEntry);

    // The sort alone, each run over the names in a new shuffled order.
    QStringList names = app.SrcList;
    std::mt19937 random(1);
    double sort = 1e300, plainSort = 1e300;
    for (int run = 0; run < 7; ++run) {
        std::shuffle(names.begin(), names.end(), random);
        QStringList sorted = names;
        sort = std::min(sort, milliseconds([&] {
            float last = float(sorted.size() - 1);
            ソート_SUB(last, sorted);
        }));
        sorted = names;
        plainSort
            = std::min(plainSort, milliseconds([&] { std::stable_sort(sorted.begin(), sorted.end()); }));
    }
    std::printf("name sort       %8.1f ms  plain text sort %8.1f ms  ratio %.2f\n", sort, plainSort,
        sort / plainSort);
    return 0;
}
