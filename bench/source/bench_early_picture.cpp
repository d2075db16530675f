// A 108 MP JPEG scan opened without a decode ahead (as a direct file, the first image after
// registering, a drop or a step back are): a click on "保存実行" delivered to the main window's
// QWindow steps to it, at 等倍 and at 縦合わせ. Timed from the click: the first complete
// picture painted and handed to the window system, the full image decoded, and (shrunk) the view
// of the full image on show. Beside it the same steps with the scan decoded whole before it is
// shown, as every image was before.
//
// Two scans: one with a fine grain in every pixel (about 3.7 bits a pixel at quality 90), and one
// whose grain is twice as coarse (about 1.3 bits a pixel), as a print scanned at twice its
// resolution. A reduced decode still reads every code of the file, so the grain of the first sets
// how soon a shrunk picture can be on show.
//
// The reference is libjpeg-turbo's decode of the file's bytes into a buffer already in use.
//
//   bench_early_picture [folder for the generated files]
//
// Run it under a window system for the figures a user feels (`xvfb-run -a bench_early_picture`);
// without a display it runs on the offscreen platform.

#include "Machine.h"
#include "Offscreen.h"
#include "Photos.h"
#include "PictureWatch.h"
#include "ReferenceDecoder.h"
#include "Timing.h"
#include "core/App.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <optional>

namespace {

constexpr int kScanWidth = 12000, kScanHeight = 9000; // 108 MP
constexpr int kRuns = 3;
constexpr qint64 kNeverEarly = qint64(1) << 40;

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures
{
    double picture = 1e300, full = 1e300, fullView = 1e300;
};

// One run: a small image, then the scan after a click on "保存実行", at magnification `entry`.
Figures stepToScan(const QString& scan, int entry, bool early)
{
    TestProgram program;
    pattern(300, 200, 1).save(program.path(QStringLiteral("IMG001.BMP")), "BMP");
    QFile::link(scan, program.path(QStringLiteral("IMG002.BMP"))); // a JPEG, read by its content
    program.start();
    App& app = program.app();
    app.bitmaps.UsePrefetchDecoder([](const QString&, int, const std::atomic<bool>&) { return std::nullopt; });
    if (!early) app.bitmaps.UseBackgroundDecoder({}, kNeverEarly);
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    chooseEntry(program, "COMBO5", entry);
    PaintWatch picture(program.widget(QStringLiteral("PICTURE1")), app);

    Figures figures;
    const Clock::time_point start = Clock::now();
    clickSaveAndWaitForPicture(program, picture, QStringLiteral("IMG002.BMP"));
    figures.picture = since(start);
    app.bitmaps.Image(app.SourceBitmap); // waits for the full image
    figures.full = since(start);
    while (app.bitmaps.DecodingInBackground())
        program.runEvents();
    QGuiApplication::sync();
    figures.fullView = since(start);
    return figures;
}

Figures best(const QString& scan, int entry, bool early)
{
    Figures best;
    for (int run = 0; run < kRuns; ++run) {
        const Figures one = stepToScan(scan, entry, early);
        best.picture = std::min(best.picture, one.picture);
        best.full = std::min(best.full, one.full);
        best.fullView = std::min(best.fullView, one.fullView);
    }
    return best;
}

void report(const char* name, const Figures& figures, double reference, double pictureGoal)
{
    std::printf("%-10s %10.0f ms %5.2f (goal %.2f) %10.0f ms %5.2f (goal 1.10) %10.0f ms\n", name,
        figures.picture, figures.picture / reference, pictureGoal, figures.full, figures.full / reference,
        figures.fullView);
}

void compare(const QString& scan, const char* name)
{
    ReferenceDecoder decoder;
    decoder.decode(scan); // its buffer in use from now on
    const double reference = bestMilliseconds(kRuns, [&] { decoder.decode(scan); });
    std::printf("%s, 108 MP JPEG (%d x %d, %.1f MB), load average %.2f, platform %s\n", name, kScanWidth,
        kScanHeight, double(QFile(scan).size()) / 1e6, loadAverage(), qPrintable(QGuiApplication::platformName()));
    std::printf("reference: libjpeg-turbo decode into a buffer in use %.0f ms\n", reference);
    std::printf("           first picture  ratio              full image  ratio               full view\n");
    const struct
    {
        const char* name;
        int entry;
        double goal;
    } cases[] = { { "等倍", 0, 0.35 }, { "縦合わせ", 1, 0.5 } };
    for (const auto& magnification : cases) {
        std::printf("%s\n", magnification.name);
        report("  early", best(scan, magnification.entry, true), reference, magnification.goal);
        report("  whole", best(scan, magnification.entry, false), reference, magnification.goal);
    }
    std::printf("load average after %.2f\n\n", loadAverage());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    dropPlatformWarnings();
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString fine = folder + QStringLiteral("/fine.jpg");
    const QString coarse = folder + QStringLiteral("/coarse.jpg");
    if (!writeImage(fine, pattern(kScanWidth, kScanHeight, 3), "JPEG")
        || !writeImage(coarse,
            pattern(kScanWidth / 2, kScanHeight / 2, 3).scaled(kScanWidth, kScanHeight, Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation),
            "JPEG")) {
        std::fprintf(stderr, "cannot write the scans into %s\n", qPrintable(folder));
        return 1;
    }
    compare(fine, "fine grain");
    compare(coarse, "coarse grain");
    return 0;
}
