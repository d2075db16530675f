#include "platform/BmpFiles.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

void putLittleEndian(char* at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        at[i] = char(value >> (8 * i));
}

qint64 rowBytesOf(qint64 width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

QByteArray header24(const QImage& image)
{
    const quint32 pixelBytes = quint32(rowBytesOf(image.width(), 24) * image.height());
    QByteArray header(kFileHeaderSize + kInfoHeaderSize, '\0');
    char* at = header.data();
    at[0] = 'B';
    at[1] = 'M';
    putLittleEndian(at + 2, kFileHeaderSize + kInfoHeaderSize + pixelBytes, 4);
    putLittleEndian(at + 10, kFileHeaderSize + kInfoHeaderSize, 4);
    putLittleEndian(at + 14, kInfoHeaderSize, 4);
    putLittleEndian(at + 18, quint32(image.width()), 4);
    putLittleEndian(at + 22, quint32(image.height()), 4);
    putLittleEndian(at + 26, 1, 2);
    putLittleEndian(at + 28, 24, 2);
    putLittleEndian(at + 34, pixelBytes, 4);
    // Qt writes 72 dots per inch for an image that has no resolution of its own.
    putLittleEndian(at + 38, quint32(image.dotsPerMeterX() ? image.dotsPerMeterX() : 2834), 4);
    putLittleEndian(at + 42, quint32(image.dotsPerMeterY() ? image.dotsPerMeterY() : 2834), 4);
    return header;
}

bool writeAll(int fd, const char* data, qint64 size, int& error)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Blue, green, red of each pixel; the padding at the end of the row stays zero.
void toBgrRow(const QRgb* pixels, int width, char* row)
{
    for (int x = 0; x < width; ++x, row += 3) {
        row[0] = char(qBlue(pixels[x]));
        row[1] = char(qGreen(pixels[x]));
        row[2] = char(qRed(pixels[x]));
    }
}

} // namespace

bool writeBmp(int fd, const QImage& image, int& error)
{
    const QImage rgb
        = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const QByteArray header = header24(rgb);
    if (!writeAll(fd, header.constData(), header.size(), error)) return false;
    // Rows go out bottom row first, many at a time.
    const qint64 rowBytes = rowBytesOf(rgb.width(), 24);
    const int rowsAtOnce = int(std::clamp<qint64>((1 << 20) / rowBytes, 1, rgb.height()));
    QByteArray buffer(rowBytes * rowsAtOnce, '\0');
    for (int y = rgb.height() - 1; y >= 0;) {
        const int rows = std::min(rowsAtOnce, y + 1);
        for (int i = 0; i < rows; ++i)
            toBgrRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y - i)), rgb.width(),
                buffer.data() + i * rowBytes);
        if (!writeAll(fd, buffer.constData(), rows * rowBytes, error)) return false;
        y -= rows;
    }
    return true;
}
