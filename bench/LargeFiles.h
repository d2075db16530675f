#pragma once

#include <QByteArray>
#include <QFile>
#include <QRgb>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>

// Image files too large to hold twice, written row by row: the whole image is never in memory.

// Fills row `y` (from the top) of an image, `width` pixels of RGB32.
using RowFiller = std::function<void(int y, QRgb* row)>;

inline void putLittleEndian(QByteArray& bytes, int offset, qint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

// The 54-byte header of a bottom-up 24-bit BMP.
inline QByteArray bmpHeader(int width, int height)
{
    const qint64 pixelBytes = (qint64(width) * 3 + 3) / 4 * 4 * height;
    QByteArray header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    putLittleEndian(header, 2, 54 + pixelBytes, 4);
    putLittleEndian(header, 10, 54, 4);
    putLittleEndian(header, 14, 40, 4);
    putLittleEndian(header, 18, width, 4);
    putLittleEndian(header, 22, height, 4);
    putLittleEndian(header, 26, 1, 2);
    putLittleEndian(header, 28, 24, 2);
    putLittleEndian(header, 34, pixelBytes, 4);
    return header;
}

// A 24-bit BMP, its rows stored bottom-up as usual: the file is written from its last row on.
inline bool writeBmp(const QString& path, int width, int height, const RowFiller& fill)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bmpHeader(width, height)) != 54) return false;
    std::vector<QRgb> pixels(static_cast<size_t>(width));
    QByteArray row(int((qint64(width) * 3 + 3) / 4 * 4), '\0');
    for (int y = height - 1; y >= 0; --y) {
        fill(y, pixels.data());
        for (int x = 0; x < width; ++x) {
            row[3 * x] = char(qBlue(pixels[size_t(x)]));
            row[3 * x + 1] = char(qGreen(pixels[size_t(x)]));
            row[3 * x + 2] = char(qRed(pixels[size_t(x)]));
        }
        if (file.write(row) != row.size()) return false;
    }
    return true;
}

// A baseline JPEG as libjpeg writes it at quality 90, with its default sampling (the chroma at
// half size both ways).
inline bool writeJpeg(const QString& path, int width, int height, const RowFiller& fill)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file) return false;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX; // QRgb in memory
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<QRgb> pixels(static_cast<size_t>(width));
    auto* row = reinterpret_cast<JSAMPROW>(pixels.data());
    for (int y = 0; y < height; ++y) {
        fill(y, pixels.data());
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}
