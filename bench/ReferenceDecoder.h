#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

#include <jpeglib.h>

// libjpeg-turbo's own decode of a JPEG into a buffer that is in use already: the least a load
// can cost, the reference of the benchmarks that open or search an image.
struct ReferenceDecoder
{
    std::vector<unsigned char> pixels;

    // The file read whole, then decoded.
    void decode(const QString& path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        decode(file.readAll());
    }

    void decode(const QByteArray& bytes)
    {
        jpeg_decompress_struct info {};
        jpeg_error_mgr errors {};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
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
