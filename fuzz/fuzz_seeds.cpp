// Writes the seed corpora of the fuzz targets, each into a folder of its own under the given one:
// settings/ (settings files whole, short, in UTF-8, with LF line ends), images/ (small images of
// every kind the loader reads), names/ (paths of numbered and other files).
//
//   fuzz_seeds <folder>

#include "fixture/EncodedImages.h"
#include "fixture/Images.h"
#include "settings/Cp932.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QStringList>

#include <cstdio>

namespace {

bool writeSeed(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QFile file(folder + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The records of a whole settings file: the header, then seven records a category, some valid.
QStringList settingsLines()
{
    QStringList lines = { "Copyright,Velmora Ver1.4", "ＪＰＥＧ用作業ドライブ,/tmp/", "倍率リスト, 3",
        "ＬＯＡＤモード, 1", "ロードパス,/scan/画像,2024/", "固定部分,IMG", "連番開始番号, 25", "連番桁数, 4",
        "埋め文字,1", "拡張子,BMP" };
    for (int n = 1; n <= 20; ++n)
        lines << QStringLiteral("------------------------,%1").arg(n % 3 ? " 0" : " 1")
              << QStringLiteral("分類 %1,分類 %1").arg(n) << QStringLiteral("セーブパス,/tmp/")
              << QStringLiteral("固定部分,CG%1_").arg(n, 2, 10, QLatin1Char('0'))
              << QStringLiteral("連番開始番号,%1").arg(n * 7) << QStringLiteral("連番桁数, 3")
              << QStringLiteral("埋め文字,0");
    return lines;
}

// The lines in code page 932, as the program writes them, or in UTF-8 after its mark.
QByteArray encode(const QStringList& lines, const char* lineEnd, bool utf8)
{
    QByteArray bytes = utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const QString& line : lines)
        bytes += (utf8 ? line.toUtf8() : toCp932(line).value_or(QByteArray())) + lineEnd;
    return bytes;
}

bool writeSettingsSeeds(const QString& folder)
{
    const QStringList lines = settingsLines();
    return writeSeed(folder, "whole", encode(lines, "\r\n", false))
        && writeSeed(folder, "three-records", encode(lines.mid(0, 3), "\r\n", false))
        && writeSeed(folder, "line-feeds", encode(lines, "\n", false))
        && writeSeed(folder, "utf-8", encode(lines, "\r\n", true))
        && writeSeed(folder, "cut", encode(lines, "\r\n", false).chopped(3));
}

QByteArray qtEncoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

bool writeImageSeeds(const QString& folder)
{
    const QImage pattern = patternImage(12, 9);
    QImage sixteen(12, 9, QImage::Format_RGB32);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            sixteen.setPixel(x, y, qRgb((x % 4) * 60, (y % 4) * 60, 90));
    const QList<std::pair<const char*, QByteArray>> seeds = {
        { "24.bmp", bmpFile(pattern, 24) },
        { "32-top-down.bmp", bmpFile(pattern, 32, true) },
        { "8.bmp", bmpFile(sixteen, 8) },
        { "4-rle.bmp", bmpFile(sixteen, BmpLayout { 4, BmpLayout::Rle4 }) },
        { "8-rle.bmp", bmpFile(sixteen, BmpLayout { 8, BmpLayout::Rle8 }) },
        { "16-fields.bmp",
            bmpFile(
                pattern, BmpLayout { 16, BmpLayout::BitFields, false, 40, { 0xF800, 0x07E0, 0x1F, 0 } }) },
        { "os2.bmp", bmpFile(sixteen, BmpLayout { 8, BmpLayout::None, false, 12 }) },
        { "v5.bmp",
            bmpFile(pattern,
                BmpLayout { 32, BmpLayout::BitFields, false, 124, { 0xFF0000, 0xFF00, 0xFF, 0xFF000000 } }) },
        { "baseline.jpg", jpegFile(pattern, JpegLayout {}) },
        { "progressive.jpg", jpegFile(pattern, JpegLayout { JpegLayout::YCbCr, 2, 2, true }) },
        { "arithmetic.jpg", jpegFile(pattern, JpegLayout { JpegLayout::YCbCr, 1, 1, false, true }) },
        { "arithmetic-progressive.jpg",
            jpegFile(pattern, JpegLayout { JpegLayout::YCbCr, 2, 2, true, true, 1 }) },
        { "restarts.jpg", jpegFile(pattern, JpegLayout { JpegLayout::YCbCr, 2, 2, false, false, 1 }) },
        { "grey.jpg", jpegFile(pattern, JpegLayout { JpegLayout::Grey, 1, 1 }) },
        { "cmyk.jpg", jpegFile(pattern, JpegLayout { JpegLayout::Cmyk, 1, 1 }) },
        { "sixteen.gif", gifFile(sixteen) },
        { "strings.gif", gifFile(sixteen, GifLayout { GifLayout::Strings, true, true, 2, 2 }) },
        { "pattern.png", qtEncoded(pattern, "png") },
    };
    for (const auto& [name, bytes] : seeds)
        if (!writeSeed(folder, QString::fromLatin1(name), bytes)) return false;
    return true;
}

bool writeNameSeeds(const QString& folder)
{
    const QStringList names = { "/scan/CG001.BMP", "IMG_0007.JPG", "/画像/写真012.bmp", "C:\\dir\\x99.JPG",
        "\\\\server\\share\\a\\b.jpg", "photo", "0", "/a/12345678901234567890.BMP", "a.b.c9", "/.hidden7" };
    for (int i = 0; i < names.size(); ++i)
        if (!writeSeed(folder, QString::number(i), names[i].toUtf8())) return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const char* kind : { "settings", "images", "names" })
        if (!root.mkpath(QString::fromLatin1(kind))) return 1;
    const bool written = writeSettingsSeeds(root.filePath("settings"))
        && writeImageSeeds(root.filePath("images")) && writeNameSeeds(root.filePath("names"));
    return written ? 0 : 1;
}
