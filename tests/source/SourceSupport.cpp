#include "source/SourceSupport.h"

#include "fixture/EncodedImages.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTest>

QImage gradientImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                qRgb(40 + x * 160 / width, 60 + y * 140 / height, 200 - (x + y) * 80 / (width + height)));
    return image;
}

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

QByteArray encoded(const QImage& image, const char* format, bool progressive)
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

QByteArray qtJpegFile(const QImage& image, bool progressive)
{
    return encoded(image, "jpeg", progressive);
}

QByteArray withThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail)
{
    QByteArray segment("\xFF\xE4", 2);
    segment += char((thumbnail.size() + 2) >> 8);
    segment += char((thumbnail.size() + 2) & 0xFF);
    segment += thumbnail;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

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
