#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

#include <jpeglib.h>

// Reads a file's bytes into `buffer`, which keeps its memory from one call to the next: after the
// first call, the least a load of an uncompressed image can cost.
inline void readBytesInto(const QString& path, std::vector<char>& buffer)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    buffer.resize(size_t(file.size()));
    file.read(buffer.data(), file.size());
}

// libjpeg-turbo's own decode of a JPEG into a buffer that is in use already: the least a load
// can cost, the reference of the benchmarks that open or search an image.
struct ReferenceDecoder
{
    std::vector<unsigned char> pixels;
    std::vector<char> bytes;

    // The file read whole into a buffer in use, then decoded.
    void decode(const QString& path)
    {
        readBytesInto(path, bytes);
        decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }

    void decode(const QByteArray& encoded)
    {
        decode(reinterpret_cast<const unsigned char*>(encoded.constData()), size_t(encoded.size()));
    }

    void decode(const unsigned char* encoded, size_t size)
    {
        jpeg_decompress_struct info {};
        jpeg_error_mgr errors {};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, encoded, size);
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&info);
        const size_t stride = size_t(info.output_width) * 4;
        if (pixels.size() < stride * info.output_height) pixels.assign(stride * info.output_height, 1);
        std::vector<JSAMPROW> rows(info.output_height);
        for (JDIMENSION y = 0; y < info.output_height; ++y)
            rows[y] = pixels.data() + y * stride;
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(
                &info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
    }
};

// The same decode, the file read as the decoder asks and one row held at a time, each handed to
// `row` (top first, blue, green, red, filler): for images too large to hold twice.
inline bool decodeRows(const QString& path, const std::function<void(int y, const unsigned char* bgrx)>& row)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) return false;
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    std::vector<unsigned char> pixels(size_t(info.output_width) * 4);
    JSAMPROW line = pixels.data();
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, &line, 1);
        row(int(info.output_scanline) - 1, pixels.data());
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}
