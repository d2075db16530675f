#pragma once

#include <QImage>
#include <QImageWriter>
#include <QString>

#include <algorithm>

// Something like a photograph for the encoders: smooth shading with grain on it, so that a
// JPEG of it decodes about as fast as one of a real scan.
inline QImage pattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 noise = 2463534242u + quint32(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = int(noise & 0x3F) - 32;
            line[x] = qRgb(std::clamp(x * 255 / width + grain, 0, 255),
                std::clamp(y * 255 / height + grain, 0, 255),
                std::clamp(((x + y) / 16 + seed * 40) % 256 + grain, 0, 255));
        }
    }
    return image;
}

inline bool writeImage(const QString& path, const QImage& image, const char* format)
{
    QImageWriter writer(path, format);
    writer.setQuality(90);
    return writer.write(image);
}
