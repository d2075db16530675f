#include "platform/Drawing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr QRgb kOpaque = 0xFF000000u;

struct Span
{
    int from;
    int to; // inclusive
};

// Fills or exclusive-ors the pixels from..to (inclusive) of one row, clipped to the image.
void paintSpan(QImage& image, int y, Span span, DrawMode mode, QRgb colour)
{
    if (y < 0 || y >= image.height()) return;
    const int from = std::max(span.from, 0);
    const int to = std::min(span.to, image.width() - 1);
    if (from > to) return;
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    if (mode == DrawMode::Xor) {
        const QRgb mask = colour & 0x00FFFFFFu;
        for (int x = from; x <= to; ++x)
            row[x] ^= mask;
    } else {
        std::fill(row + from, row + to + 1, kOpaque | colour);
    }
}

// The band of `width` pixels centred on a line at `centre`.
Span band(int centre, int width)
{
    return { centre - (width - 1) / 2, centre + width / 2 };
}

void paintRows(QImage& image, Span rows, Span columns, DrawMode mode, QRgb colour)
{
    for (int y = std::max(rows.from, 0); y <= std::min(rows.to, image.height() - 1); ++y)
        paintSpan(image, y, columns, mode, colour);
}

// A box outline is painted row by row as disjoint spans, so no pixel is touched twice even
// where the sides meet or the box is thinner than its pen.
void paintBox(QImage& image, int left, int top, int right, int bottom, DrawMode mode, int width, QRgb colour)
{
    const Span leftBand = band(left, width), rightBand = band(right, width);
    const Span topBand = band(top, width), bottomBand = band(bottom, width);
    const Span outer { leftBand.from, rightBand.to };
    for (int y = std::max(topBand.from, 0); y <= std::min(bottomBand.to, image.height() - 1); ++y) {
        const bool fullRow = y <= topBand.to || y >= bottomBand.from;
        if (fullRow || leftBand.to + 1 >= rightBand.from) {
            paintSpan(image, y, outer, mode, colour);
        } else {
            paintSpan(image, y, leftBand, mode, colour);
            paintSpan(image, y, rightBand, mode, colour);
        }
    }
}

void paintSlantedLine(QImage& image, int x1, int y1, int x2, int y2, DrawMode mode, QRgb colour)
{
    const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    const int stepX = x1 < x2 ? 1 : -1, stepY = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        paintSpan(image, y1, { x1, x1 }, mode, colour);
        if (x1 == x2 && y1 == y2) break;
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x1 += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            y1 += stepY;
        }
    }
}

} // namespace

QRgb penColour(int pen, DrawMode mode)
{
    // Exclusive-or masks: the default pen moves every channel by half its range, so it shows on
    // any pixel (plain inversion nearly vanishes on mid-grey); the second pen moves green alike
    // (the channel the eye weighs most) and leaves red and blue, so the two never look alike.
    if (mode == DrawMode::Xor) return pen == Pen::Second ? 0x00008000u : 0x00808080u;
    return pen == Pen::Second ? 0x000000FFu : 0x00000000u;
}

void drawFigure(
    QImage& image, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure, QRgb colour)
{
    if (image.isNull()) return;
    width = std::max(width, 1);
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (figure == Figure::Box) {
        paintBox(image, left, top, right, bottom, mode, width, colour);
    } else if (y1 == y2) {
        paintRows(image, band(y1, width), { left, right }, mode, colour);
    } else if (x1 == x2) {
        paintRows(image, { top, bottom }, band(x1, width), mode, colour);
    } else {
        paintSlantedLine(image, x1, y1, x2, y2, mode, colour);
    }
}

void copyBlock(QImage& target, int x, int y, int w, int h, const QImage& source, int sx, int sy)
{
    if (target.isNull() || source.isNull()) return;
    // Clip against the source, then against the target, moving both origins together.
    auto clip = [&](int& start, int& other, int& length, int limit) {
        if (start < 0) {
            other -= start;
            length += start;
            start = 0;
        }
        length = std::min(length, limit - start);
    };
    clip(sx, x, w, source.width());
    clip(sy, y, h, source.height());
    clip(x, sx, w, target.width());
    clip(y, sy, h, target.height());
    if (w <= 0 || h <= 0) return;
    const QImage sourceRgb
        = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(sourceRgb.constScanLine(sy + row)) + sx;
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(y + row)) + x;
        std::memcpy(to, from, size_t(w) * sizeof(QRgb));
    }
}

namespace {

void fillBand(QImage& image, const QRect& band, QRgb colour)
{
    for (int y = band.top(); y <= band.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)) + band.left(), band.width(), colour);
}

} // namespace

void whitenMargin(QImage& image, int margin)
{
    const int width = image.width(), height = image.height();
    const QRgb white = 0xFFFFFFFFu;
    fillBand(image, QRect(0, 0, width, margin) & image.rect(), white);
    fillBand(image, QRect(0, height - margin, width, margin) & image.rect(), white);
    fillBand(image, QRect(0, margin, margin, height - 2 * margin) & image.rect(), white);
    fillBand(image, QRect(width - margin, margin, margin, height - 2 * margin) & image.rect(), white);
}
