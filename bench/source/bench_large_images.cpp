// Loads large scans the way the program does and compares the time with Qt's plain decode of
// the same file (with Qt's allocation limit lifted for it). The ratio shows what the checks
// before decoding cost; the refusal of an oversized header must take no time at all.
//
//   bench_large_images [folder for the generated files]

#include "LargeFiles.h"
#include "image/ImageFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

// A pattern of the row and column numbers.
void fillRow(int y, QRgb* row, int width)
{
    for (int x = 0; x < width; ++x)
        row[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
}

double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Best of three runs each, alternating, so that neither side profits from a warm cache alone.
void compare(const char* name, const QString& path)
{
    double ours = 1e300, reference = 1e300;
    LoadResult result;
    QImage loaded, plain;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        result = readImageFile(path, loaded);
        ours = std::min(ours, milliseconds(timer));

        QImageReader::setAllocationLimit(0);
        timer.restart();
        QImageReader reader(path);
        plain = reader.read().convertToFormat(QImage::Format_RGB32);
        reference = std::min(reference, milliseconds(timer));
    }
    std::printf("%-28s %s %6dx%-6d load %8.1f ms  Qt decode %8.1f ms  ratio %.2f  same pixels: %s\n", name,
        result.ok() ? "ok    " : "FAILED", loaded.width(), loaded.height(), ours, reference,
        reference > 0 ? ours / reference : 0.0, loaded == plain ? "yes" : "no");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir scratch;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    const QString jpeg = folder + QStringLiteral("/scan-12000x9000.jpg");
    const QString bmp = folder + QStringLiteral("/scan-10000x10000.bmp");
    const QString huge = folder + QStringLiteral("/huge-100000x100000.bmp");

    if (!writeJpeg(jpeg, 12000, 9000, [](int y, QRgb* row) { fillRow(y, row, 12000); })
        || !writeBmp(bmp, 10000, 10000, [](int y, QRgb* row) { fillRow(y, row, 10000); })) {
        std::fprintf(stderr, "cannot write the test images into %s\n", qPrintable(folder));
        return 1;
    }
    QFile header(huge);
    if (!header.open(QIODevice::WriteOnly)
        || header.write(bmpHeader(100000, 100000) + QByteArray(4096, '\0')) < 0)
        return 1;
    header.close();

    compare("JPEG 12000 x 9000", jpeg);
    compare("BMP 10000 x 10000, 24-bit", bmp);

    QElapsedTimer timer;
    timer.start();
    QImage refused;
    const LoadResult result = readImageFile(huge, refused);
    std::printf("%-28s %s refused in %.3f ms\n", "BMP claiming 100000 x 100000",
        result.error == LoadError::Unreadable ? "ok    " : "FAILED", milliseconds(timer));
    return 0;
}
