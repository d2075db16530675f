#include "fixture/EncodedImages.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/ResourceCaps.h"
#include "fixture/TestProgram.h"
#include "source/ImageLoading.h"
#include "source/SourceSupport.h"

#include <QFile>
#include <QTest>

namespace {

const QString kNoMemory = QStringLiteral("ロードする為のメモリが足りません");
const QString kNotFound = QStringLiteral("このファイルは存在しません");
const QString kCannotShow = QStringLiteral("このファイルは表示できません");

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

} // namespace

// A file that cannot be shown is refused with its message, and the image before stays: missing,
// damaged, claiming a size its bytes cannot hold, no regular file, or too large for the memory left.
class TestLoadFailures : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void loadFailureIsReported_data();
    void loadFailureIsReported();
    void fallBackIsTriedOnce();
    void onlyRegularFilesAreRead_data();
    void onlyRegularFilesAreRead();
    void imageBeyondTheMemoryLeftIsReported();
};

void TestLoadFailures::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestLoadFailures::loadFailureIsReported_data()
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

void TestLoadFailures::loadFailureIsReported()
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
void TestLoadFailures::fallBackIsTriedOnce()
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

void TestLoadFailures::onlyRegularFilesAreRead_data()
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
void TestLoadFailures::onlyRegularFilesAreRead()
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

// With the address space capped just above what the process uses, the 144 MB of a 6000 x 6000
// scan cannot be had: the load reports the lack of memory and the program goes on.
void TestLoadFailures::imageBeyondTheMemoryLeftIsReported()
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

QTEST_MAIN(TestLoadFailures)
#include "tst_load_failures.moc"
