#include "fixture/EncodedImages.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/TestProgram.h"
#include "source/ImageLoading.h"
#include "source/PathSplit.h"
#include "source/SourceSupport.h"

#include <QFile>
#include <QTest>

namespace {

// Two colours, for a BMP of one bit a pixel.
QImage twoColourImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x / 3 + y) % 2 ? qRgb(230, 40, 10) : qRgb(20, 90, 200));
    return image;
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

// Image files of every kind and coding load as their pixels; large ones too, and a conversion leaves
// no work file.
class TestImageLoading : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void loadsImageFiles_data();
    void loadsImageFiles();
    void workFileIsNeverLeft_data();
    void workFileIsNeverLeft();
    void imageBeyondTheDefaultAllocationLimitLoads_data();
    void imageBeyondTheDefaultAllocationLimitLoads();
};

void TestImageLoading::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// --- loading -----------------------------------------------------------------------------

void TestImageLoading::loadsImageFiles_data()
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

void TestImageLoading::loadsImageFiles()
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

void TestImageLoading::workFileIsNeverLeft_data()
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

void TestImageLoading::workFileIsNeverLeft()
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

void TestImageLoading::imageBeyondTheDefaultAllocationLimitLoads_data()
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

void TestImageLoading::imageBeyondTheDefaultAllocationLimitLoads()
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

QTEST_MAIN(TestImageLoading)
#include "tst_image_loading.moc"
