// Save then next as the user waits for it: a click on "保存実行" delivered to the main window's
// QWindow, until the next image's picture has been painted and handed to the window system and
// the window system has taken it (QGuiApplication::sync). Ten frames, the next 24 MP JPEG decoded
// ahead, at 等倍, 縦合わせ and ×0.1, with pieces of 1000 x 800 and of 100 x 80 image pixels.
//
// The reference is the work itself: the same piece files, byte for byte, written durably with
// plain system calls (each written into a temporary file, synced and renamed, the folder synced).
// Beside it, the save routine alone as the request loop runs it, without the click and the
// repaint.
//
// Run it under a window system for the figures a user feels (under Xvfb: `xvfb-run -a
// bench_save_click`); without a display it runs on the offscreen platform.

#include "Machine.h"
#include "Offscreen.h"
#include "Photos.h"
#include "PictureWatch.h"
#include "Timing.h"
#include "categories/AfterSave.h"
#include "core/App.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000; // 24 MP
constexpr int kSteps = 6;

QString imageName(int n)
{
    return QStringLiteral("IMG%1.JPG").arg(n, 3, 10, QLatin1Char('0'));
}

// Ten frames of the given size in image pixels, in category 1, at the magnification shown.
void placeTenFrames(App& app, QSize piece)
{
    const float m = app.Magnification;
    for (size_t j = 0; j < 10; ++j) {
        const float left = 10 + float(j % 5) * 1100 * m;
        const float top = 10 + float(j / 5) * 900 * m;
        app.FrameLeft[j][1] = left;
        app.FrameTop[j][1] = top;
        app.FrameRight[j][1] = left + float(piece.width() - 1) * m;
        app.FrameBottom[j][1] = top + float(piece.height() - 1) * m;
    }
    app.CatFrameCount[1] = 10;
}

// The pieces' files written durably with plain calls into a folder of their own.
double durableWriteMilliseconds(const QStringList& pieces, const QString& into)
{
    QList<QByteArray> bytes;
    for (const QString& piece : pieces) {
        QFile file(piece);
        file.open(QIODevice::ReadOnly);
        bytes << file.readAll();
    }
    QDir().mkpath(into);
    return milliseconds([&] {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const QByteArray temporary = QFile::encodeName(into + QStringLiteral("/piece%1.tmp").arg(i));
            const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, bytes[i].constData(), size_t(bytes[i].size())) != bytes[i].size())
                std::perror("write");
            ::fsync(fd);
            ::close(fd);
            const QByteArray final = QFile::encodeName(into + QStringLiteral("/piece%1.BMP").arg(i));
            ::rename(temporary.constData(), final.constData());
        }
        const int folder = ::open(QFile::encodeName(into).constData(), O_RDONLY | O_DIRECTORY);
        ::fsync(folder);
        ::close(folder);
    });
}

struct Figures
{
    double click = 1e300, routine = 1e300, durable = 1e300;
};

// A program on a sequence of copies of the photo, at a magnification; `clicked` steps by the
// click, otherwise by the routine alone.
Figures measure(const QString& photo, int entry, QSize piece, bool clicked)
{
    TestProgram program;
    for (int n = 1; n <= kSteps; ++n)
        QFile::copy(photo, program.path(imageName(n)));
    program.start();
    App& app = program.app();
    registerSource(program, program.path(imageName(1)));
    app.rt.SetCurSel(app.COMBO5, entry);
    COMBO5_CHANGE(app);
    PaintWatch picture(program.widget(QStringLiteral("PICTURE1")), app);
    Figures figures;
    for (int step = 2; step <= kSteps; ++step) {
        // A user takes longer to frame the image than the program to decode it whole, and the
        // next one ahead after it.
        while (app.bitmaps.DecodingInBackground())
            program.runEvents();
        placeTenFrames(app, piece);
        app.bitmaps.WaitForPrefetch(program.path(imageName(step)));
        program.runEvents();
        const double taken = milliseconds([&] {
            if (clicked) {
                clickSaveAndWaitForPicture(program, picture, imageName(step));
            } else {
                app.PendingAction = PendingAction::SaveThenNext;
                saveThenNext(app);
            }
        });
        (clicked ? figures.click : figures.routine)
            = std::min(clicked ? figures.click : figures.routine, taken);
        QStringList written;
        for (int n = 1; n <= 10; ++n)
            written << program.path(
                QStringLiteral("CG01_%1.BMP").arg((step - 2) * 10 + n, 3, 10, QLatin1Char('0')));
        figures.durable = std::min(figures.durable,
            durableWriteMilliseconds(written, program.path(QStringLiteral("durable%1").arg(step))));
    }
    return figures;
}

void saveThenNextAt(const QString& photo, int entry, const char* name, QSize piece)
{
    const Figures byClick = measure(photo, entry, piece, true);
    const Figures byRoutine = measure(photo, entry, piece, false);
    const double durable = std::min(byClick.durable, byRoutine.durable);
    std::printf("%-8s %4d x %-3d  click to picture %7.1f ms  routine %7.1f ms  durable write %6.1f ms  "
                "ratio %5.2f (goal 1.5)\n",
        name, piece.width(), piece.height(), byClick.click, byRoutine.routine, durable,
        byClick.click / durable);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    dropPlatformWarnings();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir scratch;
    const QString photo = scratch.filePath(QStringLiteral("photo.JPG"));
    if (!writeImage(photo, pattern(kPhotoWidth, kPhotoHeight, 2), "jpeg")) {
        std::fprintf(stderr, "cannot write the test image into %s\n", qPrintable(scratch.path()));
        return 1;
    }
    std::printf(
        "platform %s, load average %.2f\n", qPrintable(QGuiApplication::platformName()), loadAverage());
    for (const QSize piece : { QSize(1000, 800), QSize(100, 80) }) {
        saveThenNextAt(photo, 0, "等倍", piece);
        saveThenNextAt(photo, 1, "縦合わせ", piece);
        saveThenNextAt(photo, 11, "×0.1", piece);
    }
    std::printf("load average %.2f\n", loadAverage());
    return 0;
}
