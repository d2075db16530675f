// The waits a user sees, each as a ratio to a reference operation measured in the same run:
//  - "保存実行" with ten pieces of 1000 x 800 and the next 24 MP JPEG decoded ahead, against
//    libjpeg-turbo's own decode of that image into a buffer in use, at 等倍, 縦合わせ and ×0.1;
//  - the decode ahead of a 24 MP JPEG against libjpeg-turbo's own decode of it;
//  - opening a 108 MP JPEG (read and shown) against libjpeg-turbo's own decode of it;
//  - opening a 108 MP 24-bit BMP against reading its bytes into a buffer in use;
//  - the peak memory of a program showing the 108 MP image at 等倍, without and with the next
//    one decoded ahead, against the image's own size in RGB32.
//
//   bench_steps [folder for the generated files]

#include "Machine.h"
#include "Photos.h"
#include "ReferenceDecoder.h"
#include "Timing.h"
#include "categories/AfterSave.h"
#include "core/App.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "source/ImageLoading.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"

#include <QApplication>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kScanWidth = 12000, kScanHeight = 9000; // 108 MP
constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000; // 24 MP

// Ten frames of 1000 x 800 image pixels at the magnification shown.
void placeTenFrames(App& app)
{
    for (int j = 0; j < 10; ++j) {
        const float left = 10 + float(j % 5) * 1100 * app.Magnification;
        const float top = 10 + float(j / 5) * 900 * app.Magnification;
        app.FrameLeft[j][1] = left;
        app.FrameTop[j][1] = top;
        app.FrameRight[j][1] = left + 999 * app.Magnification;
        app.FrameBottom[j][1] = top + 799 * app.Magnification;
    }
    app.CatFrameCount[1] = 10;
}

void saveThenNextAt(const QString& folder, int entry, const char* name)
{
    TestProgram program;
    for (int n = 1; n <= 6; ++n)
        QFile::copy(
            folder + QStringLiteral("/photo.JPG"), program.path(QStringLiteral("IMG00%1.JPG").arg(n)));
    program.start();
    App& app = program.app();
    registerSource(program, program.path(QStringLiteral("IMG001.JPG")));
    app.rt.SetCurSel(app.COMBO5, entry);
    COMBO5_CHANGE(app);
    ReferenceDecoder reference;
    double best = 1e300, referenceBest = 1e300;
    const int takenBefore = app.bitmaps.TakenAheadSoFar().images;
    for (int step = 2; step <= 6; ++step) {
        const QString next = program.path(QStringLiteral("IMG00%1.JPG").arg(step));
        referenceBest = std::min(referenceBest, milliseconds([&] { reference.decode(next); }));
        // The user places frames meanwhile; the image is decoded whole, the next one ahead.
        while (app.bitmaps.DecodingInBackground())
            program.runEvents();
        placeTenFrames(app);
        app.bitmaps.WaitForPrefetch(next);
        best = std::min(best, milliseconds([&] {
            app.PendingAction = PendingAction::SaveThenNext;
            saveThenNext(app);
        }));
    }
    // A step that found nothing decoded ahead decoded the image itself: the figure would not be
    // the one this measures.
    const int takenAhead = app.bitmaps.TakenAheadSoFar().images - takenBefore;
    std::printf("save then next at %-8s %8.1f ms  libjpeg-turbo decode %8.1f ms  ratio %.2f%s\n", name, best,
        referenceBest, best / referenceBest,
        takenAhead == 5 ? "" : "  (not every step took the image decoded ahead)");
}

void openScan(const QString& path, const char* name, double reference, const char* referenceName)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    double best = 1e300;
    for (int run = 0; run < 3; ++run)
        best = std::min(best, milliseconds([&] {
            app.LoadFilePath = path;
            LOAD_BMP(app);
            app.bitmaps.Image(app.SourceBitmap); // a large JPEG is on show before it is decoded
        }));
    std::printf("open %-22s %8.1f ms  %-20s %8.1f ms  ratio %.2f\n", name, best, referenceName, reference,
        best / reference);
}

// The decode ahead of an image, from the request until the image is held, the image before it
// let go of as a step does: against libjpeg-turbo's decode of the same file into a buffer in use.
void decodeAhead(const QString& photo, const QString& other)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    ReferenceDecoder reference;
    reference.decode(photo);
    double best = 1e300, referenceBest = 1e300;
    for (int run = 0; run < 6; ++run) {
        const QString& path = run % 2 ? photo : other; // the same picture under two names
        referenceBest = std::min(referenceBest, milliseconds([&] { reference.decode(photo); }));
        best = std::min(best, milliseconds([&] {
            app.bitmaps.Prefetch(path);
            app.bitmaps.WaitForPrefetch(path);
        }));
    }
    std::printf("decode ahead of 24 MP JPEG %8.1f ms  libjpeg-turbo decode %8.1f ms  ratio %.2f\n", best,
        referenceBest, best / referenceBest);
}

// Shows the scan in a program of its own, decoding the next one ahead when asked, and prints its
// peak memory against the scan's size in RGB32: what the process started by peakMemoryRatio runs.
int showScan(const QString& scan, const QString& next, bool decodeAhead)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.LoadFilePath = scan;
    LOAD_BMP(app);
    // The decode ahead starts once a decode in the background has ended.
    while (app.bitmaps.DecodingInBackground())
        program.runEvents();
    if (decodeAhead) {
        app.bitmaps.Prefetch(next);
        app.bitmaps.WaitForPrefetch(next);
    }
    if (!app.bitmaps.CheckObject(app.SourceBitmap)) return 1;
    std::printf("%.3f\n", residentPeak() / (double(kScanWidth) * kScanHeight * 4));
    return 0;
}

// The peak memory of a fresh process that shows the scan: a process of its own, so that nothing
// this one holds counts.
double peakMemoryRatio(const char* self, const QString& scan, const QString& next, bool decodeAhead)
{
    QProcess show;
    show.start(QFile::decodeName(self),
        { QStringLiteral("--show"), scan, next, decodeAhead ? QStringLiteral("ahead") : QString() });
    show.waitForFinished(-1);
    return show.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--show") == 0)
        return showScan(
            QFile::decodeName(argv[2]), QFile::decodeName(argv[3]), std::strcmp(argv[4], "ahead") == 0);
    // One line per figure as it comes, even into a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir scratch;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    const QString photo = folder + QStringLiteral("/photo.JPG");
    const QString jpeg = folder + QStringLiteral("/scan.JPG");
    const QString nextJpeg = folder + QStringLiteral("/scan2.JPG");
    const QString bmp = folder + QStringLiteral("/scan.BMP");
    {
        const QImage scan = pattern(kScanWidth, kScanHeight, 1);
        QFile::remove(nextJpeg);
        if (!writeImage(photo, pattern(kPhotoWidth, kPhotoHeight, 2), "jpeg")
            || !writeImage(jpeg, scan, "jpeg") || !writeImage(bmp, scan, "bmp")
            || !QFile::copy(jpeg, nextJpeg)) {
            std::fprintf(stderr, "cannot write the test images into %s\n", qPrintable(folder));
            return 1;
        }
    }

    const QString photoCopy = folder + QStringLiteral("/photo2.JPG");
    QFile::remove(photoCopy);
    QFile::copy(photo, photoCopy);
    decodeAhead(photo, photoCopy);
    saveThenNextAt(folder, 0, "等倍");
    saveThenNextAt(folder, 1, "縦合わせ");
    saveThenNextAt(folder, 11, "×0.1");

    ReferenceDecoder reference;
    double decode = 1e300, read = 1e300;
    std::vector<char> bytes;
    for (int run = 0; run < 3; ++run) {
        decode = std::min(decode, milliseconds([&] { reference.decode(jpeg); }));
        read = std::min(read, milliseconds([&] { readBytesInto(bmp, bytes); }));
    }
    std::printf("\n");
    openScan(jpeg, "108 MP JPEG", decode, "libjpeg-turbo decode");
    openScan(bmp, "108 MP 24-bit BMP", read, "reading its bytes");

    std::printf("\npeak memory showing 108 MP at 等倍: %.2f x the RGB32 image; with the next decoded ahead: "
                "%.2f x\n",
        peakMemoryRatio(argv[0], jpeg, nextJpeg, false), peakMemoryRatio(argv[0], jpeg, nextJpeg, true));
    return 0;
}
