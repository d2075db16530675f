#pragma once

#include <QImage>
#include <QImageWriter>
#include <QString>

#include <algorithm>

// Something like a photograph for the encoders: smooth shading with grain on it, so that a
// JPEG of it decodes about as fast as one of a real scan. The rows come one after another, as
// the grain runs on from row to row, so that an image too large to hold is written row by row.
class PatternRows
{
public:
    PatternRows(int width, int height, int seed)
        : m_width(width)
        , m_height(height)
        , m_seed(seed)
        , m_noise(2463534242u + quint32(seed))
    {
    }

    // Fills `line` with the next row, from the top.
    void next(QRgb* line)
    {
        const int y = m_y++;
        for (int x = 0; x < m_width; ++x) {
            m_noise ^= m_noise << 13;
            m_noise ^= m_noise >> 17;
            m_noise ^= m_noise << 5;
            const int grain = int(m_noise & 0x3F) - 32;
            line[x] = qRgb(std::clamp(int(qint64(x) * 255 / m_width) + grain, 0, 255),
                std::clamp(y * 255 / m_height + grain, 0, 255),
                std::clamp(((x + y) / 16 + m_seed * 40) % 256 + grain, 0, 255));
        }
    }

private:
    int m_width, m_height, m_seed;
    quint32 m_noise;
    int m_y = 0;
};

inline QImage pattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    PatternRows rows(width, height, seed);
    for (int y = 0; y < height; ++y)
        rows.next(reinterpret_cast<QRgb*>(image.scanLine(y)));
    return image;
}

inline bool writeImage(const QString& path, const QImage& image, const char* format)
{
    QImageWriter writer(path, format);
    writer.setQuality(90);
    return writer.write(image);
}
