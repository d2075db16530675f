// The view of a 12000 x 9000 scan: the time to rebuild it at each magnification and to repaint
// the picture after one scroll step, each beside a plain memcpy of the same number of bytes;
// and the band's update per pointer move on the scan beside the same on a small image.

#include "Timing.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kScanWidth = 12000, kScanHeight = 9000;

double memcpyMilliseconds(size_t bytes, int runs)
{
    std::vector<unsigned char> from(bytes, 1), to(bytes, 0);
    return bestMilliseconds(runs, [&] {
        std::memcpy(to.data(), from.data(), bytes);
        // Keep the copy observable so it is not optimised away.
        volatile unsigned char sink = to[bytes / 2];
        (void)sink;
    });
}

QImage scan()
{
    QImage image(kScanWidth, kScanHeight, QImage::Format_RGB32);
    for (int y = 0; y < kScanHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kScanWidth; ++x)
            row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    return image;
}

// The median time of one pointer move while a frame is placed on `image` at actual size: the
// band drawn out and in again and the picture repainted.
double bandMoveMilliseconds(const QImage& image)
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.bitmaps.SetImage(app.SourceBitmap, image);
    app.ImageWidth = float(image.width());
    app.ImageHeight = float(image.height());
    app.rt.SetCurSel(app.COMBO5, 0);
    CG_ON_SUB(app);
    clickOnPicture(program, QPoint(40, 40));
    std::vector<double> moves;
    for (int move = 0; move < 400; ++move) {
        const QPoint to(120 + move % 230, 90 + move * 7 % 170);
        moves.push_back(bestMilliseconds(1, [&] { moveOnPicture(program, to); }));
    }
    std::nth_element(moves.begin(), moves.begin() + moves.size() / 2, moves.end());
    return moves[moves.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestProgram program;
    program.start();
    App& app = program.app();

    app.bitmaps.SetImage(app.SourceBitmap, scan());
    app.ImageWidth = kScanWidth;
    app.ImageHeight = kScanHeight;
    const size_t imageBytes = size_t(kScanWidth) * kScanHeight * 4;
    const double imageCopy = memcpyMilliseconds(imageBytes, 3);
    std::printf("scan %d x %d, %.0f MB; memcpy of its bytes: %.1f ms\n\n", kScanWidth, kScanHeight,
        double(imageBytes) / 1e6, imageCopy);

    std::printf("%-10s %12s %10s %14s\n", "entry", "view", "BAI_SUB ms", "/ memcpy scan");
    for (int entry = 0; entry < app.rt.GetCount(app.COMBO5); ++entry) {
        app.rt.SetCurSel(app.COMBO5, entry);
        // Each run builds the view anew, as a load does: nothing kept from the run before.
        const double rebuild = bestMilliseconds(2, [&] {
            app.LastViewBuild = {};
            BAI_SUB(app);
        });
        const QString size = QStringLiteral("%1x%2").arg(app.ViewWidth).arg(app.ViewHeight);
        std::printf("%-10s %12s %10.1f %14.2f\n", qPrintable(app.rt.GetItemText(app.COMBO5, entry)),
            qPrintable(size), rebuild, rebuild / imageCopy);
    }

    // One scroll step at full size: the picture gets one window-sized block of the view.
    app.rt.SetCurSel(app.COMBO5, 0);
    CG_ON_SUB(app);
    const size_t blockBytes = size_t(app.VisibleWidth) * size_t(app.VisibleHeight) * 4;
    const double blockCopy = memcpyMilliseconds(blockBytes, 50);
    int step = 0;
    const double repaint = bestMilliseconds(50, [&] {
        app.HScrollPos = int16_t(++step * 37 % app.HScrollMax);
        app.VScrollPos = int16_t(step * 53 % app.VScrollMax);
        CG_UP_SUB(app);
    });
    std::printf("\nscroll repaint of %d x %d: %.3f ms; memcpy of its bytes: %.3f ms; ratio %.2f\n",
        app.VisibleWidth, app.VisibleHeight, repaint, blockCopy, repaint / blockCopy);

    // The band follows the pointer in the visible part only: the image's size must not matter.
    const double smallBand = bandMoveMilliseconds(scan().copy(0, 0, 800, 600));
    const double scanBand = bandMoveMilliseconds(scan());
    std::printf("band update per pointer move: %.3f ms on the scan, %.3f ms on 800 x 600; ratio %.2f\n",
        scanBand, smallBand, scanBand / smallBand);
    return 0;
}
