#include "core/StateCodes.h"
#include "fixture/EncodedImages.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"
#include "source/FolderListing.h"
#include "source/ImageLoading.h"
#include "source/LoadSetup.h"
#include "source/PathSplit.h"
#include "source/SequenceNaming.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QString kNotComposed = QStringLiteral("ロードするファイル名の構成に誤りがあります");
const QString kNoMemory = QStringLiteral("ロードする為のメモリが足りません");
const QString kNotFound = QStringLiteral("このファイルは存在しません");
const QString kCannotShow = QStringLiteral("このファイルは表示できません");

// --- fixture images ----------------------------------------------------------------------

// Smooth colours, so that a JPEG keeps them within a small tolerance.
QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                qRgb(40 + x * 160 / width, 60 + y * 140 / height, 200 - (x + y) * 80 / (width + height)));
    return image;
}

// Sixteen distinct colours, laid out so that any flip or shift of rows or columns shows.
QImage paletteImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int index = (x * 3 + y * 5) % 16;
            image.setPixel(x, y, qRgb(index * 16, 255 - index * 13, (index * 77) % 256));
        }
    return image;
}

// Sixteen colours scattered at random above a band of one colour: LZW codes of it grow to 12
// bits and fill the table, and the band gives codes for the very string the decoder is adding.
QImage speckledImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const int index = y < height * 3 / 4 ? int(state >> 16) % 16 : 5;
            image.setPixel(x, y, qRgb(index * 16, 255 - index * 13, (index * 77) % 256));
        }
    return image;
}

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// A JPEG as Qt writes it (quality 100), beside the fixture's jpegFile, which writes chosen
// layouts through libjpeg.
QByteArray qtJpegFile(const QImage& image, bool progressive = false)
{
    return encoded(image, "jpeg", progressive);
}

// Two colours, for a BMP of one bit a pixel.
QImage twoColourImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x / 3 + y) % 2 ? qRgb(230, 40, 10) : qRgb(20, 90, 200));
    return image;
}

// A JPEG whose frame header, baseline or progressive, claims another size.
QByteArray withJpegSize(QByteArray jpeg, int width, int height)
{
    qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame < 0) frame = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height & 0xFF);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width & 0xFF);
    return jpeg;
}

// A JPEG that carries a whole small JPEG, end marker included, in an application segment
// ahead of its own image, as cameras store their thumbnails.
QByteArray withThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail)
{
    QByteArray segment("\xFF\xE4", 2);
    segment += char((thumbnail.size() + 2) >> 8);
    segment += char((thumbnail.size() + 2) & 0xFF);
    segment += thumbnail;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// A BMP whose header claims another size.
QByteArray withBmpSize(QByteArray bmp, qint32 width, qint32 height)
{
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = char(quint32(width) >> (8 * i));
        bmp[22 + i] = char(quint32(height) >> (8 * i));
    }
    return bmp;
}

// A GIF whose logical screen claims another size.
QByteArray withGifScreen(QByteArray gif, int width, int height)
{
    gif[6] = char(width & 0xFF);
    gif[7] = char(width >> 8);
    gif[8] = char(height & 0xFF);
    gif[9] = char(height >> 8);
    return gif;
}

// A GIF whose first frame claims another size.
QByteArray withGifFrame(QByteArray gif, int width, int height)
{
    const qsizetype frame = 13 + (3 << ((uchar(gif[10]) & 7) + 1));
    gif[frame + 5] = char(width & 0xFF);
    gif[frame + 6] = char(width >> 8);
    gif[frame + 7] = char(height & 0xFF);
    gif[frame + 8] = char(height >> 8);
    return gif;
}

// Where the data of a GIF's first image starts (its code size), as gifFile lays it out.
qsizetype gifImageData(const QByteArray& gif)
{
    return 13 + (3 << ((uchar(gif[10]) & 7) + 1)) + 10;
}

// A GIF of gifFile's one-code-a-pixel data whose code number `index` is replaced by `code`.
QByteArray withGifCode(QByteArray gif, int index, int code)
{
    const qsizetype data = gifImageData(gif);
    const int width = uchar(gif[data]) + 1;
    QList<qsizetype> offsets; // of the data bytes, past the sub-blocks' lengths
    for (qsizetype at = data + 1; gif[at] != 0; at += 1 + uchar(gif[at]))
        for (int i = 1; i <= uchar(gif[at]); ++i)
            offsets << at + i;
    for (int bit = 0; bit < width; ++bit) {
        const qsizetype at = qsizetype(index) * width + bit;
        char& byte = gif[offsets[at / 8]];
        const char mask = char(1 << at % 8);
        byte = char(code >> bit & 1 ? byte | mask : byte & ~mask);
    }
    return gif;
}

// A GIF cut after the first sub-block of its image's data, closed with an empty one and the trailer.
QByteArray cutAfterFirstSubBlock(const QByteArray& gif)
{
    const qsizetype firstBlock = gifImageData(gif) + 1;
    return gif.left(firstBlock + 1 + uchar(gif[firstBlock])) + QByteArray("\0;", 2);
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return ~crc;
}

// A PNG whose header chunk claims another size, with the checksum that fits it.
QByteArray withPngSize(QByteArray png, int width, int height)
{
    const qsizetype header = png.indexOf("IHDR");
    for (int i = 0; i < 4; ++i) {
        png[header + 4 + i] = char(quint32(width) >> (24 - 8 * i));
        png[header + 8 + i] = char(quint32(height) >> (24 - 8 * i));
    }
    const quint32 crc = crc32(png.mid(header, 17));
    for (int i = 0; i < 4; ++i)
        png[header + 17 + i] = char(crc >> (24 - 8 * i));
    return png;
}

// A JPEG cut inside the coded data of its first scan, with the end marker put back after it.
QByteArray cutInsideScan(const QByteArray& jpeg)
{
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    return jpeg.left((scan + jpeg.size()) / 2) + QByteArray("\xFF\xD9", 2);
}

// A JPEG whose coded data holds, halfway through its first scan, bits that no code begins with.
QByteArray withCorruptScan(QByteArray jpeg)
{
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype middle = (scan + jpeg.size()) / 2;
    for (int i = 0; i < 32; i += 2)
        jpeg.replace(middle + i, 2, QByteArray("\xFF\x00", 2));
    return jpeg;
}

// A JPEG whose first restart marker carries the wrong number.
QByteArray withRestartMarkerOutOfOrder(QByteArray jpeg)
{
    const qsizetype marker = jpeg.indexOf(QByteArray("\xFF\xD0", 2), jpeg.indexOf(QByteArray("\xFF\xDA", 2)));
    jpeg[marker + 1] = char(0xD3);
    return jpeg;
}

// A stray byte before the first table marker: decoders warn of it and read on.
QByteArray withStrayByte(QByteArray jpeg)
{
    return jpeg.insert(jpeg.indexOf(QByteArray("\xFF\xDB", 2)), '\x00');
}

// An Exif segment after the start marker that asks for the picture to be turned a quarter.
QByteArray withOrientation(const QByteArray& jpeg)
{
    const QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0", 32);
    return jpeg.left(2) + QByteArray("\xFF\xE1\0\x22", 4) + exif + jpeg.mid(2);
}

QImage qtDecoded(const QByteArray& bytes)
{
    return QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
}

// Rows of loadsImageFiles: every BMP variant reads as the pattern it was made from and exactly as
// Qt decodes it.
void addBmpVariantRows()
{
    const QImage colours = paletteImage(37, 21); // odd width: rows are padded
    const QImage two = twoColourImage(37, 21);
    const auto bmp = [&](const QImage& image, int bits, BmpLayout::Compression compression, bool topDown,
                         int header, std::array<quint32, 4> masks) {
        return bmpFile(image, BmpLayout { bits, compression, topDown, header, masks });
    };
    const std::array<quint32, 4> rgb { 0xFF0000, 0xFF00, 0xFF, 0 }, rgb565 { 0xF800, 0x07E0, 0x001F, 0 };
    const std::array<quint32, 4> rgb10 { 0x3FF00000, 0xFFC00, 0x3FF, 0 },
        argb { 0xFF0000, 0xFF00, 0xFF, 0xFF000000 };
    using L = BmpLayout;
    // clang-format off
    const QList<std::tuple<const char*, QImage, QByteArray, int>> bmps = {
        { "1-bit BMP",                        two,     bmp(two, 1, L::None, false, 40, rgb),          0 },
        { "1-bit BMP, top-down",              two,     bmp(two, 1, L::None, true, 40, rgb),           0 },
        { "4-bit BMP",                        colours, bmp(colours, 4, L::None, false, 40, rgb),      0 },
        { "4-bit BMP, run-length coded",      colours, bmp(colours, 4, L::Rle4, false, 40, rgb),      0 },
        { "8-bit BMP, run-length coded",      colours, bmp(colours, 8, L::Rle8, false, 40, rgb),      0 },
        { "8-bit BMP, top-down",              colours, bmp(colours, 8, L::None, true, 40, rgb),       0 },
        { "16-bit BMP",                       colours, bmp(colours, 16, L::None, false, 40, rgb),     7 },
        { "16-bit BMP, 5-6-5 bit fields",     colours, bmp(colours, 16, L::BitFields, false, 40, rgb565), 7 },
        { "32-bit BMP, bit fields",           colours, bmp(colours, 32, L::BitFields, false, 40, rgb), 0 },
        { "32-bit BMP, top-down",             colours, bmp(colours, 32, L::None, true, 40, rgb),      0 },
        { "32-bit BMP, version 5 with alpha", colours, bmp(colours, 32, L::BitFields, false, 124, argb), 0 },
        { "24-bit BMP, version 4 header",     colours, bmp(colours, 24, L::None, false, 108, rgb),    0 },
        { "24-bit BMP, OS/2 header",          colours, bmp(colours, 24, L::None, false, 12, rgb),     0 },
        { "8-bit BMP, OS/2 header",           colours, bmp(colours, 8, L::None, false, 12, rgb),      0 },
        { "8-bit BMP, OS/2 2 header",         colours, bmp(colours, 8, L::None, false, 64, rgb),      0 },
    };
    // clang-format on
    for (const auto& [name, image, bytes, tolerance] : bmps)
        QTest::newRow(name) << "photo.BMP" << bytes << image << tolerance << qtDecoded(bytes);
    QTest::newRow("GIF of 16 colours") << "photo.gif" << gifFile(colours) << colours << 0 << colours;
    // Qt 6.4 scales masks wider than 8 bits to nothing and shows such a file black; each channel
    // keeps its highest 8 bits instead.
    const QByteArray tenBits = bmp(colours, 32, L::BitFields, false, 40, rgb10);
    QTest::newRow("32-bit BMP, 10-bit fields") << "photo.BMP" << tenBits << colours << 0 << colours;
}

// Rows of loadsImageFiles: JPEG of every coding, matched to Qt's decode exactly and to the pattern
// closely.
void addJpegCodingRows()
{
    const QImage gradient = gradientImage(48, 32);
    const QByteArray baseline = qtJpegFile(gradient);
    const QImage greyGradient
        = gradient.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    const auto jpeg
        = [&](JpegLayout::Colours kind, int width, int height, bool multiScan, bool arithmetic, int restart) {
              return jpegFile(kind == JpegLayout::Grey ? greyGradient : gradient,
                  JpegLayout { kind, width, height, multiScan, arithmetic, restart });
          };
    // Arithmetic-coded scans of one colour are all but empty: the decoder reads on past their
    // end, through zeros, to a picture of that colour.
    QImage oneColour(256, 256, QImage::Format_RGB32);
    oneColour.fill(qRgb(245, 245, 245));
    QImage fadingOut = oneColour; // the gradient, fading into that colour over 64 rows
    const QImage top = gradientImage(256, 64);
    for (int y = 0; y < top.height(); ++y)
        for (int x = 0; x < top.width(); ++x) {
            const auto mix = [&](int from, int to) { return from + (to - from) * y / top.height(); };
            const QRgb a = top.pixel(x, y), b = oneColour.pixel(x, y);
            fadingOut.setPixel(
                x, y, qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b))));
        }
    using J = JpegLayout;
    // clang-format off
    const QList<std::tuple<const char*, QImage, QByteArray>> jpegs = {
        { "JPEG, chroma at full size",          gradient,     jpeg(J::YCbCr, 1, 1, false, false, 0) },
        { "JPEG, chroma at half width",         gradient,     jpeg(J::YCbCr, 2, 1, false, false, 0) },
        { "grey JPEG by libjpeg",               greyGradient, jpeg(J::Grey, 1, 1, false, false, 0) },
        { "CMYK JPEG",                          gradient,     jpeg(J::Cmyk, 1, 1, false, false, 0) },
        { "arithmetic JPEG",                    gradient,     jpeg(J::YCbCr, 2, 2, false, true, 0) },
        { "progressive arithmetic JPEG",        gradient,     jpeg(J::YCbCr, 2, 2, true, true, 0) },
        { "arithmetic JPEG with restart markers", gradient,   jpeg(J::YCbCr, 2, 2, false, true, 1) },
        { "arithmetic JPEG, one colour below",  fadingOut,    jpegFile(fadingOut, J { J::YCbCr, 2, 2, false, true, 0 }) },
        { "progressive arithmetic JPEG, one colour", oneColour, jpegFile(oneColour, J { J::YCbCr, 2, 2, true, true, 0 }) },
        { "JPEG with restart markers",          gradient,     jpeg(J::YCbCr, 2, 2, false, false, 1) },
        { "progressive JPEG, restart markers",  gradient,     jpeg(J::YCbCr, 2, 2, true, false, 1) },
        { "JPEG with a stray byte",             gradient,     withStrayByte(baseline) },
        { "JPEG with an orientation",           gradient,     withOrientation(baseline) },
    };
    // clang-format on
    for (const auto& [name, image, bytes] : jpegs)
        QTest::newRow(name) << "photo.JPG" << bytes << image << 12 << qtDecoded(bytes);
}

// Rows of loadsImageFiles: GIF of every layout and coding, read as the pattern it was made from
// and as Qt decodes it.
void addGifVariantRows()
{
    const QImage colours = paletteImage(37, 21);
    const QImage speckled = speckledImage(160, 120);
    using G = GifLayout;
    // clang-format off
    const QList<std::tuple<const char*, QImage, GifLayout>> gifs = {
        { "interlaced GIF",                         colours,  G { G::Literal, true } },
        { "GIF with a local colour table",          colours,  G { G::Literal, false, true } },
        { "GIF with a transparent colour",          colours,  G { G::Literal, false, false, 3 } },
        { "GIF of three frames",                    colours,  G { G::Literal, false, false, -1, 3 } },
        { "GIF of codes up to 12 bits",             speckled, G { G::Strings } },
        { "GIF of codes from a full table",         speckled, G { G::StringsPastFullTable } },
        { "interlaced GIF of three frames, strings", speckled, G { G::Strings, true, true, 0, 3 } },
    };
    // clang-format on
    for (const auto& [name, image, layout] : gifs) {
        const QByteArray bytes = gifFile(image, layout);
        QTest::newRow(name) << "photo.gif" << bytes << image << 0 << qtDecoded(bytes);
    }
}

// A file that a load refuses, and the message it gives.
struct LoadCase
{
    const char* name;
    const char* fileName;
    QByteArray bytes;
    QString text;
};

// Damaged files that a decoder would show with grey or black where the data ran out, and files of
// a few kilobytes that claim sizes their bytes cannot hold.
QList<LoadCase> damagedFiles()
{
    const QImage gradient = gradientImage(64, 48);
    const QByteArray jpeg = qtJpegFile(gradient);
    const QByteArray bmp = bmpFile(gradient, 24);
    const QImage colours = paletteImage(37, 21);
    const QByteArray rle8 = bmpFile(colours, BmpLayout { 8, BmpLayout::Rle8 });
    const QByteArray rle4 = bmpFile(colours, BmpLayout { 4, BmpLayout::Rle4 });
    const QByteArray gif = gifFile(colours);
    const QByteArray progressive = qtJpegFile(gradient, true);
    const QByteArray restarts = jpegFile(gradient, JpegLayout { JpegLayout::YCbCr, 2, 2, false, false, 1 });
    // Noise, which zeros cannot pass for: made up from them, the rest of a scan takes far more of
    // them than a finished coder leaves out.
    const QByteArray arithmetic
        = jpegFile(noiseImage(256, 192), JpegLayout { JpegLayout::YCbCr, 2, 2, false, true, 0 });
    const QByteArray progressiveArithmetic
        = jpegFile(noiseImage(128, 96), JpegLayout { JpegLayout::YCbCr, 2, 2, true, true, 0 });
    const QByteArray strings = gifFile(speckledImage(160, 120), GifLayout { GifLayout::Strings });
    const int clear = 1 << uchar(gif[gifImageData(gif)]);
    // clang-format off
    return {
        { "8-bit run-length BMP cut short",      "cut.BMP",  rle8.left(rle8.size() * 2 / 3),               kCannotShow },
        { "4-bit run-length BMP cut short",      "cut.BMP",  rle4.left(rle4.size() * 2 / 3),               kCannotShow },
        { "run-length BMP cut before its end",   "cut.BMP",  rle8.chopped(4),                              kCannotShow },
        { "GIF without its trailer",             "cut.gif",  gif.chopped(1),                               kCannotShow },
        { "GIF cut in its image data",           "cut.gif",  gif.left(gif.size() / 2),                     kCannotShow },
        { "GIF with a code its table lacks",     "bad.gif",  withGifCode(gif, 3, 2 * clear - 1),           kCannotShow },
        { "GIF starting with a string code",     "bad.gif",  withGifCode(gif, 1, clear + 2),               kCannotShow },
        { "GIF cut after a sub-block, closed",   "cut.gif",  cutAfterFirstSubBlock(strings),              kCannotShow },
        { "GIF without its end code",            "bad.gif",  gifFile(colours, GifLayout { .endCode = false }), kCannotShow },
        { "GIF frame a row taller than its data", "bad.gif", withGifFrame(gif, 37, 22),                   kCannotShow },
        { "GIF frame a row shorter than its data", "bad.gif", withGifFrame(gif, 37, 20),                  kCannotShow },
        { "JPEG cut in a scan, end marker kept", "cut.JPG",  cutInsideScan(jpeg),                          kCannotShow },
        { "progressive JPEG cut in a scan",      "cut.JPG",  cutInsideScan(progressive),                   kCannotShow },
        { "arithmetic JPEG cut in a scan, end marker kept", "cut.JPG", cutInsideScan(arithmetic),         kCannotShow },
        { "progressive arithmetic JPEG cut in a scan", "cut.JPG", cutInsideScan(progressiveArithmetic),   kCannotShow },
        { "JPEG with corrupt coded data",        "bad.JPG",  withCorruptScan(jpeg),                        kCannotShow },
        { "JPEG with a restart out of order",    "bad.JPG",  withRestartMarkerOutOfOrder(restarts),        kCannotShow },
        { "JPEG claiming 23000 x 23000",         "huge.JPG", withJpegSize(jpeg, 23000, 23000),             kCannotShow },
        { "progressive JPEG claiming 23000 x 23000", "huge.JPG", withJpegSize(progressive, 23000, 23000),  kCannotShow },
        { "run-length BMP claiming 16384 x 16384", "huge.BMP", withBmpSize(rle8, 16384, 16384),            kCannotShow },
        { "BMP claiming 2^31 - 1 square",        "huge.BMP", withBmpSize(bmp, 0x7FFFFFFF, 0x7FFFFFFF),      kCannotShow },
        { "PNG claiming 30000 x 17000",          "huge.png", withPngSize(encoded(gradient, "png"), 30000, 17000), kCannotShow },
        { "GIF claiming 65535 x 8000",           "huge.gif", withGifScreen(gif, 65535, 8000),              kCannotShow },
        { "GIF frame of 30000 x 30000",          "huge.gif", withGifFrame(gif, 30000, 30000),              kCannotShow },
    };
    // clang-format on
}

int largestChannelDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({ largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                std::abs(qBlue(p) - qBlue(q)) });
        }
    return largest;
}

} // namespace

class TestSource : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void composition_data();
    void composition();
    void missingSourceIsReported_data();
    void missingSourceIsReported();
    void summaryOfTheDefaults();
    void summaryRewritesEveryStartText();
    void summaryScrollsToTheSelectedCategory();
    void pathSplit_data();
    void pathSplit();
    void sequenceNameParts_data();
    void sequenceNameParts();
    void loadsImageFiles_data();
    void loadsImageFiles();
    void loadFailureIsReported_data();
    void loadFailureIsReported();
    void fallBackIsTriedOnce();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void workFileIsNeverLeft_data();
    void workFileIsNeverLeft();
    void imageBeyondTheDefaultAllocationLimitLoads_data();
    void imageBeyondTheDefaultAllocationLimitLoads();
    void imageBeyondTheMemoryLeftIsReported();
    void folderListIsSortedByName_data();
    void folderListIsSortedByName();
    void sortStartsFromTheListingOrder_data();
    void sortStartsFromTheListingOrder();
    void listingRequestFindsTheShownFile();
    void sequenceReference_data();
    void sequenceReference();
    void cancelledDialogsLeaveTheLoadMode();
    void directFileIsShownAtOnce();
    void allImagesCancelled();
};

void TestSource::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// --- composition -------------------------------------------------------------------------

// Both compositions share the number text and the zero fill. A row composes a name, then a
// second number with the digit count as the first composition left it.
void TestSource::composition_data()
{
    QTest::addColumn<bool>("category"); // false: the source name of CHK_LOAD, true: MIX_NAME
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("fill"); // source: the selection of COMBO3; category: CatFill
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("digitsAfter");
    QTest::addColumn<double>("nextNumber");
    QTest::addColumn<QString>("nextName");

    // clang-format off
    QTest::newRow("source, no fill") << false << "CG" << 5.0 << 3 << "0" << "CG5.BMP" << 3 << 12.0 << "CG12.BMP";
    QTest::newRow("source, zero fill") << false << "CG" << 5.0 << 3 << "1" << "CG005.BMP" << 3 << 12.0 << "CG012.BMP";
    QTest::newRow("source, number 0") << false << "CG" << 0.0 << 3 << "1" << "CG000.BMP" << 3 << 999.0 << "CG999.BMP";
    QTest::newRow("source, wider than the count") << false << "CG" << 12345.0 << 3 << "1" << "CG12345.BMP" << 5 << 5.0 << "CG00005.BMP";
    QTest::newRow("source, wider without fill") << false << "CG" << 12345.0 << 3 << "0" << "CG12345.BMP" << 3 << 5.0 << "CG5.BMP";
    QTest::newRow("source, empty fixed part") << false << "" << 7.0 << 3 << "1" << "007.BMP" << 3 << 8.0 << "008.BMP";
    QTest::newRow("source, nothing selected") << false << "CG" << 5.0 << 3 << "-1" << "CG5.BMP" << 3 << 6.0 << "CG6.BMP";
    QTest::newRow("source, more than seven digits") << false << "S" << 123456789012.0 << 3 << "1" << "S123456789012.BMP" << 12 << 1.0 << "S000000000001.BMP";
    QTest::newRow("category, zero fill") << true << "IMG" << 7.0 << 4 << "0" << "IMG0007.BMP" << 4 << 8.0 << "IMG0008.BMP";
    QTest::newRow("category, no fill") << true << "IMG" << 7.0 << 4 << "1" << "IMG7.BMP" << 4 << 8.0 << "IMG8.BMP";
    QTest::newRow("category, other fill text") << true << "IMG" << 7.0 << 4 << "無" << "IMG7.BMP" << 4 << 8.0 << "IMG8.BMP";
    QTest::newRow("category, number 0") << true << "CG01_" << 0.0 << 3 << "0" << "CG01_000.BMP" << 3 << 1.0 << "CG01_001.BMP";
    QTest::newRow("category, wider than the count") << true << "CG" << 12345.0 << 3 << "0" << "CG12345.BMP" << 5 << 5.0 << "CG00005.BMP";
    QTest::newRow("category, 16-bit maximum") << true << "CG" << 32767.0 << 3 << "0" << "CG32767.BMP" << 5 << 1.0 << "CG00001.BMP";
    QTest::newRow("category, empty fixed part") << true << "" << 7.0 << 3 << "0" << "007.BMP" << 3 << 7.0 << "007.BMP";
    QTest::newRow("category, negative number") << true << "N" << -3.0 << 3 << "0" << "N003.BMP" << 3 << 4.0 << "N004.BMP";
    QTest::newRow("category, digit count 0") << true << "N" << 7.0 << 0 << "0" << "N7.BMP" << 1 << 8.0 << "N8.BMP";
    // clang-format on
}

void TestSource::composition()
{
    QFETCH(bool, category);
    QFETCH(QString, fixed);
    QFETCH(double, number);
    QFETCH(int, digits);
    QFETCH(QString, fill);
    QFETCH(QString, name);
    QFETCH(int, digitsAfter);
    QFETCH(double, nextNumber);
    QFETCH(QString, nextName);
    TestProgram program;
    program.start();
    App& app = program.app();

    if (category) {
        constexpr int16_t c = 7;
        app.CatFixed[c] = fixed;
        app.CatDigits[c] = int16_t(digits);
        app.CatFill[c] = fill;
        app.CatNextNo[c] = int16_t(number);
        MIX_NAME(app, c);
        QCOMPARE(app.SaveName, name);
        QCOMPARE(app.CatStartText[c], name.mid(fixed.size()).chopped(4));
        QCOMPARE(app.CatDigits[c], digitsAfter);
        app.CatNextNo[c] = int16_t(nextNumber);
        MIX_NAME(app, c);
        QCOMPARE(app.SaveName, nextName);
        return;
    }

    // Every composed file exists, so no message is expected.
    for (const QString& file : { name, nextName })
        writeBytes(program.path(file), "x");
    app.LoadPath = program.dir() + QDir::separator();
    app.SeqFixed = fixed;
    app.SeqExt = QStringLiteral(".BMP");
    app.SeqDigits = int16_t(digits);
    app.SeqNumber = number;
    app.rt.SetCurSel(app.COMBO3, fill.toInt());
    CHK_LOAD(app);
    QCOMPARE(app.LoadFilePath, program.path(name));
    QCOMPARE(app.SeqNumberText, name.mid(fixed.size()).chopped(4));
    QCOMPARE(app.SeqDigits, digitsAfter);
    QCOMPARE(app.LoadFailed, 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kTrue);
    app.SeqNumber = nextNumber;
    CHK_LOAD(app);
    QCOMPARE(app.LoadFilePath, program.path(nextName));
    QVERIFY(program.dialogs().messages().isEmpty());
}

void TestSource::missingSourceIsReported_data()
{
    QTest::addColumn<QString>("present"); // what lies in the folder
    QTest::addColumn<bool>("folder"); // it is a folder, not a file
    // clang-format off
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("a folder of that name") << "CG005.JPG" << true;
    QTest::newRow("a name differing in case") << "cg005.jpg" << false;
    QTest::newRow("the number without fill") << "CG5.JPG" << false;
    // clang-format on
}

void TestSource::missingSourceIsReported()
{
    QFETCH(QString, present);
    QFETCH(bool, folder);
    TestProgram program;
    if (folder)
        QVERIFY(QDir(program.dir()).mkdir(present));
    else if (!present.isEmpty())
        writeBytes(program.path(present), "x");
    program.start();
    App& app = program.app();
    app.LoadPath = program.dir() + QDir::separator();
    app.SeqNumber = 5;
    app.SeqExt = QStringLiteral(".JPG");
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    app.EventOwner = app.FORM2;

    program.dialogs().answerMessage();
    CHK_LOAD(app);
    QCOMPARE(app.LoadFailed, 1);
    QCOMPARE(app.LoadFilePath, program.path(QStringLiteral("CG005.JPG")));
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kFalse);
    QCOMPARE(app.SeqNumber, 5.0);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].owner, QStringLiteral("FORM2"));
    QCOMPARE(messages[0].title, QStringLiteral("CG005.JPG"));
    QCOMPARE(messages[0].text, kNotComposed);
    QCOMPARE(messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(messages[0].icon, MessageIcon::None);
}

// --- category summary --------------------------------------------------------------------

void TestSource::summaryOfTheDefaults()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QString folder = currentDirectory() + pathSeparator();

    HYOJI_SUB(app);
    const QString text = app.rt.GetWindowText(app.EDIT10);
    const QString firstBlocks = QStringLiteral("分類 1　無効\r\n"
                                               "分類名：分類 1\r\n"
                                               "保存先：%1\r\n"
                                               "保存名：CG01_001.BMP\r\n"
                                               "\r\n"
                                               "分類 2　無効\r\n"
                                               "分類名：分類 2\r\n"
                                               "保存先：%1\r\n"
                                               "保存名：CG02_001.BMP\r\n"
                                               "\r\n")
                                    .arg(folder);
    QVERIFY2(text.startsWith(firstBlocks), qPrintable(text.left(200)));
    const QString lastBlock = QStringLiteral("\r\n\r\n分類 20　無効\r\n"
                                             "分類名：分類 20\r\n"
                                             "保存先：%1\r\n"
                                             "保存名：CG20_001.BMP\r\n")
                                  .arg(folder);
    QVERIFY2(text.endsWith(lastBlock), qPrintable(text.right(200)));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 20 * 5 - 1);
    QCOMPARE(text.count(QStringLiteral("　無効\r\n")), 20);
    for (int c = 1; c <= kCategoryCount; ++c)
        QVERIFY(text.contains(QStringLiteral("保存名：CG%1_001.BMP\r\n").arg(c, 2, 10, QLatin1Char('0'))));

    app.CatValid[3] = 1;
    app.CatName[3] = QStringLiteral("領収書");
    HYOJI_SUB(app);
    QVERIFY(app.rt.GetWindowText(app.EDIT10)
                .contains(QStringLiteral("\r\n\r\n分類 3　有効\r\n分類名：領収書\r\n")));
}

void TestSource::summaryRewritesEveryStartText()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (int16_t c = 1; c <= kCategoryCount; ++c) {
        app.CatStartText[c] = QStringLiteral("typed %1").arg(c);
        app.CatNextNo[c] = int16_t(c * c * 40); // 40 to 16000
        app.CatDigits[c] = 3;
        app.CatFill[c] = c % 2 ? QStringLiteral("0") : QStringLiteral("1");
    }
    HYOJI_SUB(app);
    const QString text = app.rt.GetWindowText(app.EDIT10);
    for (int16_t c = 1; c <= kCategoryCount; ++c) {
        const QString digits = QString::number(c * c * 40);
        const bool filled = c % 2;
        const QString expected
            = filled && digits.size() < 3 ? digits.rightJustified(3, QLatin1Char('0')) : digits;
        QCOMPARE(app.CatStartText[c], expected);
        // Only a zero-filled number widens the count.
        QCOMPARE(app.CatDigits[c], filled ? std::max<int16_t>(3, int16_t(digits.size())) : 3);
        QVERIFY(text.contains(QStringLiteral("保存名：%1%2.BMP\r\n").arg(app.CatFixed[c], expected)));
    }
}

void TestSource::summaryScrollsToTheSelectedCategory()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.rt.ShowWindow(app.FORM2, kTrue);
    auto* edit = program.widget<QPlainTextEdit>(QStringLiteral("EDIT10"));
    QVERIFY(edit);
    for (int selected : { 3, 1, 0, 6 }) {
        app.rt.SetCurSel(app.LIST1, selected);
        HYOJI_SUB(app);
        QCOMPARE(edit->verticalScrollBar()->value(), selected * 5);
        QVERIFY(edit->toPlainText().split(QLatin1Char('\n'))[selected * 5].startsWith(
            QStringLiteral("分類 %1").arg(selected + 1)));
    }
}

// --- path split --------------------------------------------------------------------------

void TestSource::pathSplit_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("parts"); // drive, directory, name, extension
    // clang-format off
    QTest::newRow("posix full path") << false << "/home/scan/CG001.BMP" << QStringList { "", "/home/scan/", "CG001", ".BMP" };
    QTest::newRow("posix bare name") << false << "photo.jpg" << QStringList { "", "", "photo", ".jpg" };
    QTest::newRow("posix no extension") << false << "/scan/photo" << QStringList { "", "/scan/", "photo", "" };
    QTest::newRow("posix dot in a folder") << false << "/scan.d/photo" << QStringList { "", "/scan.d/", "photo", "" };
    QTest::newRow("posix last dot") << false << "/a/b.tar.gz" << QStringList { "", "/a/", "b.tar", ".gz" };
    QTest::newRow("posix dot file") << false << "/a/.hidden" << QStringList { "", "/a/", "", ".hidden" };
    QTest::newRow("posix backslash is a character") << false << "/a/x\\y.bmp" << QStringList { "", "/a/", "x\\y", ".bmp" };
    QTest::newRow("posix Japanese name") << false << "/画像/表示.BMP" << QStringList { "", "/画像/", "表示", ".BMP" };
    QTest::newRow("windows drive") << true << "C:\\scan\\CG001.BMP" << QStringList { "C:", "\\scan\\", "CG001", ".BMP" };
    QTest::newRow("windows drive root") << true << "D:\\x.JPG" << QStringList { "D:", "\\", "x", ".JPG" };
    QTest::newRow("windows forward slashes") << true << "C:/a/b.bmp" << QStringList { "C:", "/a/", "b", ".bmp" };
    QTest::newRow("windows network path") << true << "\\\\server\\share\\dir\\f.bmp" << QStringList { "\\\\server\\share", "\\dir\\", "f", ".bmp" };
    QTest::newRow("windows name with 表") << true << "C:\\表\\ソ.bmp" << QStringList { "C:", "\\表\\", "ソ", ".bmp" };
    // clang-format on
}

void TestSource::pathSplit()
{
    QFETCH(bool, windows);
    QFETCH(QString, path);
    QFETCH(QStringList, parts);
    const PathParts split = splitPath(path, windows ? PathStyle::Windows : PathStyle::Posix);
    QCOMPARE((QStringList { split.drive, split.directory, split.name, split.extension }), parts);
    QCOMPARE(split.drive + split.directory + split.name + split.extension, path);
}

void TestSource::sequenceNameParts_data()
{
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QStringList>("parts"); // fixed part and number text; none when no number
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("zeroFilled");
    // clang-format off
    QTest::newRow("zero-filled")              << "CG001"      << QStringList { "CG", "001" }       << 1.0  << true;
    QTest::newRow("not zero-filled")          << "IMG12"      << QStringList { "IMG", "12" }       << 12.0 << false;
    QTest::newRow("only digits")              << "0"          << QStringList { "", "0" }           << 0.0  << true;
    QTest::newRow("dots before the digits")   << "a.b9"       << QStringList { "a.b", "9" }        << 9.0  << false;
    QTest::newRow("full-width digits are not digits") << "写真０１2" << QStringList { "写真０１", "2" } << 2.0  << false;
    QTest::newRow("no number")                << "photo"      << QStringList {}                    << 0.0  << false;
    QTest::newRow("empty")                    << ""           << QStringList {}                    << 0.0  << false;
    // clang-format on
}

void TestSource::sequenceNameParts()
{
    QFETCH(QString, baseName);
    QFETCH(QStringList, parts);
    QFETCH(double, number);
    QFETCH(bool, zeroFilled);
    const std::optional<SequenceName> name = parseSequenceName(baseName);
    QCOMPARE(name.has_value(), !parts.isEmpty());
    if (!name) return;
    QCOMPARE((QStringList { name->fixed, name->numberText }), parts);
    QCOMPARE(name->number, number);
    QCOMPARE(name->digits, int16_t(parts[1].size()));
    QCOMPARE(name->zeroFilled, zeroFilled);
}

// --- loading -----------------------------------------------------------------------------

void TestSource::loadsImageFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QImage>("source"); // the pattern the file was made from
    QTest::addColumn<int>("tolerance"); // largest channel difference to the pattern
    QTest::addColumn<QImage>("reference"); // for lossy files Qt's own decode, matched exactly

    const QImage gradient = gradientImage(48, 32);
    const QImage colours = paletteImage(37, 21); // odd width: rows are padded
    const QImage grey = gradient.convertToFormat(QImage::Format_Grayscale8);
    const QByteArray baseline = qtJpegFile(gradient);
    const QByteArray progressive = qtJpegFile(gradient, true);
    QVERIFY(progressive.contains(QByteArray("\xFF\xC2", 2)));
    QVERIFY(baseline.contains(QByteArray("\xFF\xC0", 2)));
    const QByteArray greyJpeg = qtJpegFile(grey);
    const QByteArray thumbnailed = withThumbnail(baseline, qtJpegFile(paletteImage(8, 8)));
    // One red pixel: a two-colour table and the pixel's index 0, written by hand since Qt
    // reads GIF but does not write it.
    static const char gifBytes[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
                                   ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    const QByteArray gif(gifBytes, sizeof gifBytes - 1);
    QImage red(1, 1, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));

    // clang-format off
    QTest::newRow("24-bit BMP") << "photo.BMP" << bmpFile(colours, 24) << colours << 0 << colours;
    QTest::newRow("24-bit BMP, lower-case name") << "photo.bmp" << bmpFile(colours, 24) << colours << 0 << colours;
    QTest::newRow("24-bit BMP, top-down") << "photo.BMP" << bmpFile(colours, 24, true) << colours << 0 << colours;
    QTest::newRow("8-bit palette BMP") << "photo.BMP" << bmpFile(colours, 8) << colours << 0 << colours;
    QTest::newRow("32-bit BMP") << "photo.BMP" << bmpFile(colours, 32) << colours << 0 << colours;
    QTest::newRow("BMP written by Qt") << "photo.BMP" << encoded(colours, "bmp") << colours << 0 << colours;
    QTest::newRow("baseline JPEG") << "photo.JPG" << baseline << gradient << 8 << qtDecoded(baseline);
    QTest::newRow("progressive JPEG") << "photo.jpg" << progressive << gradient << 8 << qtDecoded(progressive);
    QTest::newRow("grayscale JPEG") << "photo.JPG" << greyJpeg << grey.convertToFormat(QImage::Format_RGB32) << 4 << qtDecoded(greyJpeg);
    QTest::newRow("JPEG with a thumbnail") << "photo.JPG" << thumbnailed << gradient << 8 << qtDecoded(thumbnailed);
    QTest::newRow("GIF") << "photo.gif" << gif << red << 0 << red;
    QTest::newRow("PNG") << "photo.png" << encoded(colours, "png") << colours << 0 << colours;
    QTest::newRow("JPEG named .Bmp") << "photo.Bmp" << baseline << gradient << 8 << qtDecoded(baseline);
    QTest::newRow("JPEG named .BMP") << "photo.BMP" << baseline << gradient << 8 << qtDecoded(baseline);
    QTest::newRow("BMP named .JPG") << "photo.JPG" << bmpFile(colours, 24) << colours << 0 << colours;
    QTest::newRow("BMP without extension") << "photo" << bmpFile(colours, 24) << colours << 0 << colours;
    // clang-format on

    addBmpVariantRows();
    addJpegCodingRows();
    addGifVariantRows();
}

void TestSource::loadsImageFiles()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QImage, source);
    QFETCH(int, tolerance);
    QFETCH(QImage, reference);
    TestProgram program;
    writeBytes(program.path(fileName), bytes);
    program.start();
    App& app = program.app();

    app.LoadFilePath = program.path(fileName);
    LOAD_BMP(app);
    QCOMPARE(app.LoadFailed, 0);
    QVERIFY(program.dialogs().messages().isEmpty());
    QCOMPARE(app.ImageWidth, float(source.width()));
    QCOMPARE(app.ImageHeight, float(source.height()));
    const QImage loaded = sourceImage(app);
    QCOMPARE(loaded.format(), QImage::Format_RGB32);
    QCOMPARE(loaded.size(), source.size());
    QCOMPARE(loaded, reference.convertToFormat(QImage::Format_RGB32));
    QVERIFY2(largestChannelDifference(loaded, source) <= tolerance,
        qPrintable(QString::number(largestChannelDifference(loaded, source))));
    const PathParts parts = splitPath(program.path(fileName));
    QCOMPARE(app.SplitDir, parts.directory);
    QCOMPARE(app.SplitName + app.SeqExt, fileName);
    QCOMPARE(app.LoadFilePath, program.path(fileName)); // loading adopts nothing itself
    QVERIFY(app.CurrentFilePath.isEmpty());
}

void TestSource::loadFailureIsReported_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes"); // a null array: no file at all
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withPrevious"); // an image was adopted before

    const QImage gradient = gradientImage(64, 48);
    const QByteArray jpeg = qtJpegFile(gradient);
    const QByteArray bmp = bmpFile(gradient, 24);
    QByteArray hugeBmp = bmpHeader(100000, 100000, 24, 0, qint64(300000) * 100000);
    hugeBmp += QByteArray(64, '\x7F');

    // clang-format off
    const QList<LoadCase> cases = {
        { "missing file", "gone.BMP", QByteArray(), kNotFound },
        { "missing JPEG", "gone.JPG", QByteArray(), kNotFound },
        { "zero-byte BMP", "empty.BMP", QByteArray(""), kCannotShow },
        { "zero-byte JPEG", "empty.JPG", QByteArray(""), kCannotShow },
        { "truncated JPEG", "cut.JPG", jpeg.left(jpeg.size() * 2 / 3), kCannotShow },
        { "JPEG cut before its end marker", "cut.JPG", jpeg.chopped(2), kCannotShow },
        { "truncated JPEG with a thumbnail", "cut.JPG", withThumbnail(jpeg, qtJpegFile(paletteImage(8, 8))).chopped(jpeg.size() / 3), kCannotShow },
        { "JPEG cut in its header", "cut.JPG", jpeg.left(100), kCannotShow },
        { "truncated BMP", "cut.BMP", bmp.left(bmp.size() / 2), kCannotShow },
        { "BMP of header only", "cut.BMP", bmp.left(54), kCannotShow },
        { "text named .BMP", "notes.BMP", QByteArray("these are notes, not an image\r\n"), kCannotShow },
        { "text named .Bmp", "notes.Bmp", QByteArray("these are notes, not an image\r\n"), kCannotShow },
        { "BMP claiming 100000 x 100000", "huge.BMP", hugeBmp, kCannotShow },
        { "JPEG claiming 60000 x 60000", "huge.JPG", withJpegSize(jpeg, 60000, 60000), kCannotShow },
    };
    // clang-format on
    for (bool withPrevious : { false, true })
        for (const LoadCase& c : cases + damagedFiles())
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(
                QString::fromLatin1(c.name), withPrevious ? "after an image" : "first load")))
                << QString::fromLatin1(c.fileName) << c.bytes << c.text << withPrevious;
}

void TestSource::loadFailureIsReported()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, withPrevious);
    TestProgram program;
    if (!bytes.isNull()) writeBytes(program.path(fileName), bytes);
    const QImage previous = paletteImage(30, 20);
    writeBytes(program.path(QStringLiteral("previous.JPG")), bmpFile(previous, 24));
    program.start();
    App& app = program.app();
    app.EventOwner = app.MAINFORM;
    if (withPrevious) {
        app.LoadFilePath = program.path(QStringLiteral("previous.JPG"));
        LOAD_BMP(app);
        QCOMPARE(app.LoadFailed, 0);
        app.CurrentFilePath = app.LoadFilePath;
    }
    const float widthBefore = app.ImageWidth;

    program.dialogs().answerMessage();
    app.LoadFilePath = program.path(fileName);
    {
        // No refusal may need more memory than a small image: what a header claims is refused
        // before anything is allocated for it.
        AddressSpaceCap cap(256 * 1024 * 1024);
        LOAD_BMP(app);
    }
    QCOMPARE(app.LoadFailed, 1);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].owner, QStringLiteral("MAINFORM"));
    QCOMPARE(messages[0].title, fileName);
    QCOMPARE(messages[0].text, text);
    QCOMPARE(messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(messages[0].icon, MessageIcon::None);
    if (withPrevious) {
        QCOMPARE(app.LoadFilePath, app.CurrentFilePath);
        QCOMPARE(app.SplitName + app.SeqExt, QStringLiteral("previous.JPG"));
        QCOMPARE(sourceImage(app), previous);
        QCOMPARE(app.ImageWidth, 30.0f);
        QCOMPARE(app.ImageHeight, 20.0f);
    } else {
        QCOMPARE(app.bitmaps.CheckObject(app.SourceBitmap), 0);
        QVERIFY(app.CurrentFilePath.isEmpty());
        QCOMPARE(app.LoadFilePath, program.path(fileName));
        QCOMPARE(app.ImageWidth, widthBefore);
    }
}

// The image shown before was deleted meanwhile: both failures are reported, and the load ends
// with nothing shown instead of trying the missing image again and again.
void TestSource::fallBackIsTriedOnce()
{
    TestProgram program;
    writeBytes(program.path(QStringLiteral("previous.BMP")), bmpFile(paletteImage(30, 20), 24));
    program.start();
    App& app = program.app();
    app.LoadFilePath = program.path(QStringLiteral("previous.BMP"));
    LOAD_BMP(app);
    app.CurrentFilePath = app.LoadFilePath;
    QVERIFY(QFile::remove(app.CurrentFilePath));

    program.dialogs().answerMessage();
    program.dialogs().answerMessage();
    app.LoadFilePath = program.path(QStringLiteral("next.BMP"));
    LOAD_BMP(app);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].title, QStringLiteral("next.BMP"));
    QCOMPARE(messages[1].title, QStringLiteral("previous.BMP"));
    QCOMPARE(messages[1].text, kNotFound);
    QCOMPARE(app.LoadFailed, 1);
    QVERIFY(app.CurrentFilePath.isEmpty());
    QCOMPARE(app.bitmaps.CheckObject(app.SourceBitmap), 0);
    QCOMPARE(app.ImageWidth, float(kBlankImageWidth));
    QCOMPARE(app.ImageHeight, float(kBlankImageHeight));
}

void TestSource::onlyRegularFilesAreRead_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("linkTarget"); // empty: the name is a FIFO
    // clang-format off
    QTest::newRow("FIFO named .BMP")           << "scan.BMP"  << QString();
    QTest::newRow("FIFO named .JPG")           << "scan.JPG"  << QString();
    QTest::newRow("endless device named .BMP") << "zero.BMP"  << "/dev/zero";
    QTest::newRow("endless device named .JPG") << "noise.JPG" << "/dev/urandom";
    // clang-format on
}

// A name that does not stand for a regular file is refused without being read or waited on: a
// FIFO would hang the program until some writer came, a device would feed it endless bytes.
void TestSource::onlyRegularFilesAreRead()
{
    QFETCH(QString, fileName);
    QFETCH(QString, linkTarget);
    TestProgram program;
    const QString path = program.path(fileName);
    // A whole image is offered through the FIFO, so that reading it would even succeed.
    const QImage offered = paletteImage(8, 6);
    std::optional<FifoTrap> trap;
    if (linkTarget.isEmpty()) {
        trap.emplace(
            path, fileName.endsWith(QLatin1String(".BMP")) ? bmpFile(offered, 24) : qtJpegFile(offered));
        QVERIFY(trap->created());
    } else {
        QVERIFY(QFile::link(linkTarget, path));
    }
    program.start();
    App& app = program.app();

    program.dialogs().answerMessage();
    app.LoadFilePath = path;
    LOAD_BMP(app);
    QVERIFY(!trap || !trap->wasRead());
    QCOMPARE(app.LoadFailed, 1);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, fileName);
    QCOMPARE(messages[0].text, kCannotShow);
    QCOMPARE(app.bitmaps.CheckObject(app.SourceBitmap), 0);
}

void TestSource::workFileIsNeverLeft_data()
{
    QTest::addColumn<QString>("workDrive"); // under the test folder; empty: the current folder
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("staleLeft"); // a direct BMP load does not touch the work file
    // clang-format off
    QTest::newRow("JPEG, work folder") << "work/" << "photo.JPG" << true << false;
    QTest::newRow("JPEG, current folder") << "" << "photo.jpg" << true << false;
    QTest::newRow("PNG") << "work/" << "photo.png" << true << false;
    QTest::newRow("conversion fails") << "work/" << "broken.JPG" << false << false;
    QTest::newRow("BMP loads directly") << "work/" << "photo.BMP" << true << true;
    // clang-format on
}

void TestSource::workFileIsNeverLeft()
{
    QFETCH(QString, workDrive);
    QFETCH(QString, fileName);
    QFETCH(bool, valid);
    QFETCH(bool, staleLeft);
    TestProgram program;
    makeFolder(program, QStringLiteral("work"));
    const QImage image = gradientImage(20, 10);
    const QByteArray bytes = fileName.endsWith(QLatin1String(".png")) ? encoded(image, "png")
        : fileName.endsWith(QLatin1String(".BMP"))                    ? bmpFile(image, 24)
                                                                      : qtJpegFile(image);
    writeBytes(program.path(fileName), valid ? bytes : bytes.left(40));
    program.start();
    App& app = program.app();
    app.JpegWorkDrive = workDrive.isEmpty() ? QString() : program.path(workDrive);
    app.JpegTempFile = app.JpegWorkDrive + QStringLiteral("DAMMY.BMP");
    const QString workFile
        = workDrive.isEmpty() ? program.path(QStringLiteral("DAMMY.BMP")) : app.JpegTempFile;
    writeBytes(workFile, "stale");

    if (!valid) program.dialogs().answerMessage();
    app.LoadFilePath = program.path(fileName);
    LOAD_BMP(app);
    QCOMPARE(app.LoadFailed, valid ? 0 : 1);
    QCOMPARE(QFile::exists(workFile), staleLeft);

    // A second conversion with no stale file leaves none either.
    if (!staleLeft && valid) {
        LOAD_BMP(app);
        QVERIFY(!QFile::exists(workFile));
    }
}

// A square 24-bit BMP of `size` pixels, written sparsely: black pixels but a marked top and
// bottom row, to see the rows' order.
void writeScan(const QString& path, int size)
{
    const qint64 rowBytes = (qint64(size) * 3 + 3) / 4 * 4; // rows end on a 4-byte boundary
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bmpHeader(size, size, 24, 0, rowBytes * size));
    file.write(QByteArray(rowBytes, '\x40')); // the bottom row comes first
    QVERIFY(file.seek(54 + rowBytes * (size - 1)));
    file.write(QByteArray(rowBytes, '\xC0'));
}

void TestSource::imageBeyondTheDefaultAllocationLimitLoads_data()
{
    QTest::addColumn<int>("size"); // of a square 24-bit BMP
    // Qt refuses images above 128 MB by default; a scan of 6000 x 6000 needs 144 MB. Qt's own BMP
    // reader stops at 16384 x 16384 pixels; the loader reads BMP files up to its own limit of about
    // 537 megapixels: 16385 x 16385 has 268.5 megapixels and needs 1 GiB.
    // clang-format off
    QTest::newRow("beyond Qt's allocation limit") << 6000;
    QTest::newRow("beyond Qt's BMP reader")       << 16385;
    // clang-format on
}

void TestSource::imageBeyondTheDefaultAllocationLimitLoads()
{
    QFETCH(int, size);
    TestProgram program;
    writeScan(program.path(QStringLiteral("scan.BMP")), size);
    program.start();
    App& app = program.app();
    app.LoadFilePath = program.path(QStringLiteral("scan.BMP"));
    LOAD_BMP(app);
    QCOMPARE(app.LoadFailed, 0);
    QCOMPARE(app.ImageWidth, float(size));
    QCOMPARE(app.ImageHeight, float(size));
    const QImage* image = app.bitmaps.Image(app.SourceBitmap);
    QCOMPARE(image->pixel(0, 0), qRgb(0xC0, 0xC0, 0xC0));
    QCOMPARE(image->pixel(size - 1, size - 1), qRgb(0x40, 0x40, 0x40));
    QCOMPARE(image->pixel(size / 2, size / 2), qRgb(0, 0, 0));
}

// With the address space capped just above what the process uses, the 144 MB of a 6000 x 6000
// scan cannot be had: the load reports the lack of memory and the program goes on.
void TestSource::imageBeyondTheMemoryLeftIsReported()
{
    TestProgram program;
    writeScan(program.path(QStringLiteral("scan.BMP")), 6000);
    program.start();
    App& app = program.app();

    app.LoadFilePath = program.path(QStringLiteral("scan.BMP"));
    {
        AddressSpaceCap cap(64 * 1024 * 1024);
        if (!cap.active()) QSKIP("needs an address-space limit, which the address sanitizer does not bear");
        program.dialogs().answerMessage();
        LOAD_BMP(app);
    }
    QCOMPARE(app.LoadFailed, 1);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("scan.BMP"));
    QCOMPARE(messages[0].text, kNoMemory);
    QCOMPARE(app.bitmaps.CheckObject(app.SourceBitmap), 0);
}

void TestSource::folderListIsSortedByName_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    // clang-format off
    QTest::newRow("mixed case and kinds") << QStringList { "b.BMP", "A.jpg", "c.bmp" } << QStringList { "A.jpg", "b.BMP", "c.bmp" };
    QTest::newRow("two files") << QStringList { "x.BMP", "a.JPG" } << QStringList { "a.JPG", "x.BMP" };
    QTest::newRow("one file") << QStringList { "only.JpG" } << QStringList { "only.JpG" };
    QTest::newRow("other kinds and folders left out") << QStringList { "a.jpeg", "b.png", "c.BMP", "d.BMP/", "e.txt" } << QStringList { "c.BMP" };
    QTest::newRow("empty folder") << QStringList {} << QStringList {};
    // "|" marks a FIFO, "@" a link to a device: neither holds an image, and a FIFO would hang.
    QTest::newRow("only regular files") << QStringList { "a.BMP|", "b.BMP", "c.JPG@", "d.jpg|" } << QStringList { "b.BMP" };
    QTest::newRow("underscore before letters") << QStringList { "ab.BMP", "a_.BMP", "AA.BMP" } << QStringList { "a_.BMP", "AA.BMP", "ab.BMP" };
    QTest::newRow("numbers as text") << QStringList { "img10.JPG", "img9.JPG", "img1.BMP" } << QStringList { "img1.BMP", "img10.JPG", "img9.JPG" };
    // Japanese names step in code page 932 order, which is not the order of their Unicode text.
    QTest::newRow("kanji by their codes") << QStringList { "写真.BMP", "画像.BMP" } << QStringList { "画像.BMP", "写真.BMP" };
    QTest::newRow("kanji by reading") << QStringList { "一.JPG", "愛.BMP" } << QStringList { "愛.BMP", "一.JPG" };
    QTest::newRow("full-width letters before kana") << QStringList { "あ.BMP", "Ａ.BMP" } << QStringList { "Ａ.BMP", "あ.BMP" };
    QTest::newRow("full-width letters, case kept") << QStringList { "ａ.BMP", "b.jpg", "Ｚ.BMP", "A.bmp" } << QStringList { "A.bmp", "b.jpg", "Ｚ.BMP", "ａ.BMP" };
    QTest::newRow("marks, kana, kanji, half-width kana, second-level kanji") << QStringList { "漾.BMP", "ｱ.BMP", "亜.BMP", "ア.BMP", "あ.BMP", "ー.BMP" } << QStringList { "ー.BMP", "あ.BMP", "ア.BMP", "亜.BMP", "ｱ.BMP", "漾.BMP" };
    QTest::newRow("ASCII before Japanese") << QStringList { "あ.BMP", "z.BMP" } << QStringList { "z.BMP", "あ.BMP" };
    // "ア" is 0x83 0x41 and "ヂ" 0x83 0x61: folding the second byte would make them equal.
    QTest::newRow("second bytes are not letters") << QStringList { "ヂ.BMP", "チ.BMP", "ア.BMP" } << QStringList { "ア.BMP", "チ.BMP", "ヂ.BMP" };
    QTest::newRow("names without a lossless code last, in folded UTF-8 order") << QStringList { "〜.BMP", "Zü.BMP", "¥.BMP", "漾.BMP", "aü.jpg", "～.jpg", "ｱ.jpg" } << QStringList { "～.jpg", "ｱ.jpg", "漾.BMP", "aü.jpg", "Zü.BMP", "¥.BMP", "〜.BMP" };
    // clang-format on
}

void TestSource::folderListIsSortedByName()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    TestProgram program;
    program.start();
    App& app = program.app();
    for (const QString& name : files) {
        if (name.endsWith(QLatin1Char('/'))) {
            QDir(program.dir()).mkdir(name.chopped(1));
            continue;
        }
        if (name.endsWith(QLatin1Char('|'))) {
            QCOMPARE(::mkfifo(QFile::encodeName(program.path(name.chopped(1))).constData(), 0600), 0);
            continue;
        }
        if (name.endsWith(QLatin1Char('@'))) {
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), program.path(name.chopped(1))));
            continue;
        }
        touch(program.path(name));
    }
    app.ListFolder = program.dir() + QLatin1Char('/');
    QStringList names;
    ファイル名取得_SUB2(app, names);
    QCOMPARE(names, listed);
}

// The sort alone, from a given listing order: names whose keys are equal keep that order.
void TestSource::sortStartsFromTheListingOrder_data()
{
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("sorted");
    // clang-format off
    QTest::newRow("ASCII case only, lower first") << QStringList { "写真a.BMP", "X.bmp", "写真A.BMP" } << QStringList { "X.bmp", "写真a.BMP", "写真A.BMP" };
    QTest::newRow("ASCII case only, upper first") << QStringList { "写真A.BMP", "X.bmp", "写真a.BMP" } << QStringList { "X.bmp", "写真A.BMP", "写真a.BMP" };
    QTest::newRow("full-width case is not folded") << QStringList { "ａ.BMP", "Ａ.BMP" } << QStringList { "Ａ.BMP", "ａ.BMP" };
    QTest::newRow("second byte in the letter range") << QStringList { "ヂ.BMP", "ア.BMP" } << QStringList { "ア.BMP", "ヂ.BMP" };
    QTest::newRow("ASCII case only, without a lossless code") << QStringList { "Zü.BMP", "〜.BMP", "zü.bmp" } << QStringList { "Zü.BMP", "zü.bmp", "〜.BMP" };
    // clang-format on
}

void TestSource::sortStartsFromTheListingOrder()
{
    QFETCH(QStringList, listed);
    QFETCH(QStringList, sorted);
    float last = float(listed.size() - 1);
    ソート_SUB(last, listed);
    QCOMPARE(listed, sorted);
}

// Names equal but for letter case keep their order; the shown file is found in the list.
void TestSource::listingRequestFindsTheShownFile()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (const char* name : { "c.BMP", "a.JPG", "b.bmp", "B.jpg" })
        touch(program.path(QString::fromLatin1(name)));
    for (const QStringList& sameName :
        { QStringList { "b.BMP", "z.BMP", "B.bmp" }, QStringList { "B.bmp", "b.BMP" } }) {
        QStringList sorted = sameName;
        float last = float(sorted.size() - 1);
        ソート_SUB(last, sorted);
        sorted.removeAll(QStringLiteral("z.BMP"));
        QCOMPARE(sorted, QStringList(sameName).filter(QStringLiteral("b."), Qt::CaseInsensitive));
    }

    app.ListFolder = program.dir() + QLatin1Char('/');
    app.CurrentFileName = QStringLiteral("b.bmp");
    app.RequestActions[PendingAction::ListFolder](app);
    QCOMPARE(app.SrcCount, 4);
    QCOMPARE(app.SrcList.size(), 4);
    QCOMPARE(app.SrcList[0], QStringLiteral("a.JPG"));
    QCOMPARE(app.SrcIndex, 1);
    app.CurrentFileName = QStringLiteral("gone.BMP");
    app.RequestActions[PendingAction::ListFolder](app);
    QCOMPARE(app.SrcIndex, -1);
}

// --- load setup: the source buttons of the registration window -------------------------

// Base name -> fields of the sequence. A name of no characters (".BMP") holds no number and is
// loaded directly, like "cover"; so is a name that ends in full-width digits.
void TestSource::sequenceReference_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("direct");
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("fill"); // COMBO3: 0 "無", 1 "0"
    QTest::addColumn<LoadMode>("loadMode");
    // clang-format off
    QTest::newRow("IMG0012") << "IMG0012.BMP" << false << "IMG" << "12" << "4" << 1 << LoadMode::Sequence;
    QTest::newRow("IMG12") << "IMG12.BMP" << false << "IMG" << "12" << "2" << 0 << LoadMode::Sequence;
    QTest::newRow("scan_2020_001") << "scan_2020_001.jpg" << false << "scan_2020_" << "1" << "3" << 1 << LoadMode::Sequence;
    QTest::newRow("写真007") << "写真007.BMP" << false << "写真" << "7" << "3" << 1 << LoadMode::Sequence;
    QTest::newRow("0042") << "0042.BMP" << false << "" << "42" << "4" << 1 << LoadMode::Sequence;
    QTest::newRow("cover") << "cover.BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    QTest::newRow("full-width digits") << "写真０１２.BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    QTest::newRow("empty base name") << ".BMP" << true << "" << "" << "" << 0 << LoadMode::SingleFile;
    // clang-format on
}

void TestSource::sequenceReference()
{
    QFETCH(QString, fileName);
    QFETCH(bool, direct);
    QFETCH(QString, fixed);
    QFETCH(QString, number);
    QFETCH(QString, digits);
    QFETCH(int, fill);
    QFETCH(LoadMode, loadMode);

    TestProgram program;
    program.start();
    App& app = program.app();
    const QString path = program.path(fileName);
    writeImage(path, 3, 24, 16);
    click(program, "BUTTON5");
    const QString before = text(program, app.EDIT2);

    program.dialogs().clearCalls();
    program.dialogs().answerOpenFile(path);
    if (direct) program.dialogs().answerMessage();
    click(program, "BUTTON7");

    const ScriptedDialogs::Call& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングを開始する画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QCOMPARE(dialog.flag, 0);
    QCOMPARE(dialog.owner, QStringLiteral("FORM2"));
    QCOMPARE(text(program, app.EDIT1), path);
    QCOMPARE(app.LoadMode, loadMode);
    QCOMPARE(app.LoadPath, program.dir() + QDir::separator());
    if (direct) {
        QCOMPARE(messageLines(program.dialogs()),
            QStringList { QStringLiteral("|連番部分がありませんので、直接ロードします|2") });
        QCOMPARE(app.CurrentFilePath, path);
        QCOMPARE(app.ImageWidth, 24.0f);
        QVERIFY(text(program, app.MAINFORM).contains(fileName));
        QCOMPARE(text(program, app.EDIT2), before); // the sequence fields are left alone
        return;
    }
    QCOMPARE(program.dialogs().messages().size(), 0);
    QCOMPARE(text(program, app.EDIT2), fixed);
    QCOMPARE(text(program, app.EDIT3), number);
    QCOMPARE(text(program, app.EDIT4), digits);
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), fill);
    QVERIFY(app.CurrentFilePath.isEmpty()); // nothing is loaded before "登録終了"
}

void TestSource::cancelledDialogsLeaveTheLoadMode()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");

    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON6");
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.LoadFilePath, dialogCancelled());

    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON7");
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(text(program, app.EDIT2), QStringLiteral("CG"));
    QCOMPARE(program.dialogs().messages().size(), 0);
    QVERIFY(app.CurrentFilePath.isEmpty());
}

void TestSource::directFileIsShownAtOnce()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QString path = makeFolder(program, QStringLiteral("scans")) + QStringLiteral("page7.BMP");
    writeImage(path, 5, 30, 20);
    click(program, "BUTTON5");
    program.dialogs().answerOpenFile(path);
    click(program, "BUTTON6");

    const ScriptedDialogs::Call& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングする画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QCOMPARE(app.LoadMode, LoadMode::SingleFile);
    QCOMPARE(app.LoadPath, program.dir() + QStringLiteral("/scans/"));
    QCOMPARE(app.CurrentFileName, QStringLiteral("page7.BMP"));
    QCOMPARE(app.ImageWidth, 30.0f);

    // A file that cannot be read leaves no source chosen; the image on show stays.
    const QString broken = program.path(QStringLiteral("broken.BMP"));
    writeBytes(broken, "not an image");
    program.dialogs().answerOpenFile(broken);
    program.dialogs().answerMessage();
    click(program, "BUTTON6");
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.CurrentFilePath, path);
}

// "全画像" cancelled: folder-list mode and the cancel mark stay, nothing is listed.
void TestSource::allImagesCancelled()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON15");
    QCOMPARE(app.LoadMode, LoadMode::Folder);
    QCOMPARE(app.LoadFilePath, dialogCancelled());
    QCOMPARE(app.SrcCount, 0);
    QCOMPARE(app.PendingAction, PendingAction::None);
    QCOMPARE(program.dialogs().calls().size(), 1);
    const auto& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.title, QStringLiteral("トリミングする画像ファイルは？"));
    QCOMPARE(dialog.filter, QStringLiteral("(*.BMP,*.JPG);(*.*)"));
    QVERIFY(shown(program, "FORM2"));
}

QTEST_MAIN(TestSource)
#include "tst_source.moc"
