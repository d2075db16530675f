// Stepping through a folder of 100 000 images against stepping through a folder of 10: the same
// four 1600 x 1200 JPEGs under every name (hard links), the folder listed by "全画像", each step
// taking the next image decoded ahead, at 等倍. Per step, best and median of nine steps in each of
// ten rounds (a new program each, the two folders in turn), for
//  - next alone ("保存実行" with no frame placed),
//  - save then next with ten pieces of 100 x 80 into the scratch folder,
//  - save then next with the same pieces into the image folder itself.
// The reference is the same step in the folder of 10; the ratio big / small of the medians is
// what the folder's size costs a step (the best steps are shown beside it). The big folder is
// entered at its middle, so that a cost growing with the position in the list shows as well.
//
//   bench_big_folder_steps [next | save | into]    (one of the three alone; all by default)

#include "Machine.h"
#include "Offscreen.h"
#include "Photos.h"
#include "Timing.h"
#include "categories/AfterSave.h"
#include "core/App.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "view/Scrolling.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kBigCount = 100000, kSmallCount = 10;
constexpr int kPhotos = 4, kPhotoWidth = 1600, kPhotoHeight = 1200;
constexpr int kSteps = 9, kRounds = 10;

enum class Saving { None, Elsewhere, IntoImageFolder };

QString imageName(int index)
{
    return QStringLiteral("scan%1.JPG").arg(index, 6, 10, QLatin1Char('0'));
}

// `count` names, each a hard link to one of the photos in turn.
bool makeImageFolder(const QString& folder, const QStringList& photos, int count)
{
    if (!QDir().mkpath(folder)) return false;
    for (int index = 0; index < count; ++index) {
        const QByteArray from = QFile::encodeName(photos[index % photos.size()]);
        const QByteArray to = QFile::encodeName(folder + imageName(index));
        if (::link(from.constData(), to.constData()) != 0) return false;
    }
    return true;
}

// Ten frames of 100 x 80 image pixels in category 1, at actual size.
void placeTenFrames(App& app)
{
    for (size_t j = 0; j < 10; ++j) {
        const float left = 10 + float(j % 5) * 120;
        const float top = 10 + float(j / 5) * 100;
        app.FrameLeft[j][1] = left;
        app.FrameTop[j][1] = top;
        app.FrameRight[j][1] = left + 99;
        app.FrameBottom[j][1] = top + 79;
    }
    app.CatFrameCount[1] = 10;
}

// The registration as the user does it for a folder: "ファイル", category 1 made valid (saving
// into the image folder when asked), the first image chosen through "全画像", "登録終了".
void registerFolder(TestProgram& program, const QString& images, int first, Saving saving)
{
    App& app = program.app();
    click(program, "BUTTON5");
    clickValidBox(program);
    if (saving == Saving::IntoImageFolder) {
        app.CatFolder[1] = images; // as the folder dialog would give it
        app.rt.SetWindowText(app.EDIT6, images);
    }
    program.dialogs().answerOpenFile(images + imageName(first));
    click(program, "BUTTON15");
    click(program, "BUTTON8");
    program.dialogs().clearCalls();
    app.rt.SetCurSel(app.COMBO5, 0);
    COMBO5_CHANGE(app);
}

// The times of kSteps steps from image `first` on, each after the next image was decoded ahead.
// Empty when a step did not go where it should or found nothing decoded ahead.
std::vector<double> stepThrough(const QString& images, int first, Saving saving)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    registerFolder(program, images, first, saving);
    if (app.LoadMode != LoadMode::Folder || app.SrcIndex != first) return {};
    const int takenBefore = app.bitmaps.TakenAheadSoFar().images;
    std::vector<double> times;
    for (int step = 1; step <= kSteps; ++step) {
        if (saving != Saving::None) placeTenFrames(app);
        app.bitmaps.WaitForPrefetch(images + app.SrcList[app.SrcIndex + 1]);
        times.push_back(milliseconds([&] {
            app.PendingAction = PendingAction::SaveThenNext;
            saveThenNext(app);
        }));
    }
    const bool wentThrough = app.SrcIndex == first + kSteps
        && app.bitmaps.TakenAheadSoFar().images - takenBefore == kSteps
        && program.dialogs().messages().isEmpty();
    if (saving == Saving::IntoImageFolder)
        for (const QString& piece : QDir(images).entryList({ QStringLiteral("CG01_*") }, QDir::Files))
            QFile::remove(images + piece);
    return wentThrough ? times : std::vector<double> {};
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

double best(const std::vector<double>& times)
{
    return times.empty() ? 0 : *std::min_element(times.begin(), times.end());
}

void compare(const char* name, const std::vector<double>& small, const std::vector<double>& big)
{
    if (small.size() != size_t(kSteps * kRounds) || big.size() != size_t(kSteps * kRounds)) {
        std::printf("%-24s FAILED: a step did not take the next image decoded ahead\n", name);
        return;
    }
    std::printf(
        "%-24s 10 files: median %6.2f ms, best %6.2f ms;  100 000 files: median %6.2f ms, best %6.2f ms\n",
        name, median(small), best(small), median(big), best(big));
    std::printf("%-24s ratio of medians %.2f (goal 1.1), of bests %.2f;  slowest step %.2f / %.2f ms\n", "",
        median(big) / median(small), best(big) / best(small), *std::max_element(small.begin(), small.end()),
        *std::max_element(big.begin(), big.end()));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    dropPlatformWarnings();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir scratch;
    QStringList photos;
    for (int n = 0; n < kPhotos; ++n) {
        photos << scratch.filePath(QStringLiteral("photo%1.JPG").arg(n));
        if (!writeImage(photos.last(), pattern(kPhotoWidth, kPhotoHeight, n), "jpeg")) return 1;
    }
    const QString small = scratch.filePath(QStringLiteral("small/"));
    const QString big = scratch.filePath(QStringLiteral("big/"));
    if (!makeImageFolder(small, photos, kSmallCount) || !makeImageFolder(big, photos, kBigCount)) {
        std::fprintf(stderr, "cannot make the image folders in %s\n", qPrintable(scratch.path()));
        return 1;
    }
    std::printf("load average %.2f\n", loadAverage());
    const struct
    {
        const char* option;
        const char* name;
        Saving saving;
    } modes[] = { { "next", "next alone", Saving::None }, { "save", "save then next", Saving::Elsewhere },
        { "into", "  saving into the folder", Saving::IntoImageFolder } };
    for (const auto& mode : modes) {
        if (argc > 1 && std::strcmp(argv[1], mode.option) != 0) continue;
        std::vector<double> inSmall, inBig;
        for (int round = 0; round < kRounds; ++round) {
            const std::vector<double> s = stepThrough(small, 0, mode.saving);
            const std::vector<double> b = stepThrough(big, kBigCount / 2, mode.saving);
            inSmall.insert(inSmall.end(), s.begin(), s.end());
            inBig.insert(inBig.end(), b.begin(), b.end());
        }
        compare(mode.name, inSmall, inBig);
    }
    std::printf("load average %.2f\n", loadAverage());
    return 0;
}
