// The content finder on generated album pages:
//  - quality: for each kind of page, the share of the prints found with every edge within 2
//    pixels of the truth, and the number of frames found that are no print;
//  - speed: finding the pieces of a 24 MP page against libjpeg-turbo's own decode of that page as
//    a JPEG into a buffer in use, timed in the same run.
//
//   bench_content_finder

#include "ReferenceDecoder.h"
#include "Timing.h"
#include "fixture/AlbumPages.h"
#include "image/ContentFinder.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int kPagesPerKind = 16;
struct Tally
{
    int prints = 0, found = 0, falseFrames = 0;
};

void count(const QList<QRect>& found, const QList<QRect>& truths, Tally& tally)
{
    tally.prints += int(truths.size());
    for (const QRect& truth : truths)
        tally.found += std::any_of(
            found.begin(), found.end(), [&](const QRect& box) { return edgesWithin(box, truth); });
    for (const QRect& box : found)
        tally.falseFrames += std::none_of(
            truths.begin(), truths.end(), [&](const QRect& truth) { return edgesWithin(box, truth); });
}

// Pages of 1600 x 1200 and 2400 x 1800 with three to six prints each, half with a lid band.
void measureQuality()
{
    std::printf("%-14s %7s %9s %12s\n", "kind", "prints", "found", "false frames");
    Tally all;
    for (PageKind kind : { PageKind::Plain, PageKind::Tilted, PageKind::WhiteBorder, PageKind::BrightSky,
             PageKind::DarkPaper, PageKind::Glass, PageKind::Blank }) {
        Tally tally;
        for (int index = 0; index < kPagesPerKind; ++index) {
            const QSize size = index % 4 == 3 ? QSize(2400, 1800) : QSize(1600, 1200);
            const AlbumPage page = renderPage(pageOfKind(kind, size, 3 + index % 4, quint32(100 + index)));
            count(findContent(page.image), page.truths, tally);
        }
        const double share = tally.prints == 0 ? 100 : 100.0 * tally.found / tally.prints;
        std::printf("%-14s %7d %8.1f%% %12d\n", pageKindName(kind), tally.prints, share, tally.falseFrames);
        all.prints += tally.prints, all.found += tally.found, all.falseFrames += tally.falseFrames;
    }
    std::printf(
        "%-14s %7d %8.1f%% %12d\n\n", "all", all.prints, 100.0 * all.found / all.prints, all.falseFrames);
}

void measureSpeed()
{
    const AlbumPage page = renderPage(pageOfKind(PageKind::Tilted, { 6000, 4000 }, 6, 7));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("page.jpg"));
    QImageWriter writer(path, "JPEG");
    writer.setQuality(90);
    writer.write(page.image);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    ReferenceDecoder reference;
    reference.decode(bytes);
    QList<QRect> found;
    double decode = 1e300, find = 1e300;
    for (int run = 0; run < 5; ++run) {
        decode = std::min(decode, milliseconds([&] { reference.decode(bytes); }));
        find = std::min(find, milliseconds([&] { found = findContent(page.image); }));
    }
    Tally tally;
    count(found, page.truths, tally);
    std::printf("24 MP page: finding %d of %d prints %8.1f ms  libjpeg-turbo decode %8.1f ms  ratio %.2f "
                "(goal 0.25)\n",
        tally.found, tally.prints, find, decode, find / decode);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    measureQuality();
    measureSpeed();
    return 0;
}
