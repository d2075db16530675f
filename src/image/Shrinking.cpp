#include "image/Shrinking.h"

#include "image/ImageFiles.h"
#include "image/Parallel.h"
#include "platform/Drawing.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Weights in fixed point: the weights of one target pixel add up to exactly kOne = 256. The
// channels are summed in 16 bits, one array per channel, which the compiler turns into wide
// vector operations: a weighted sum of one target pixel is at most 255 * 256.
constexpr int kWeightBits = 8;
constexpr uint32_t kOne = 1u << kWeightBits;

inline uint16_t roundedDown(uint32_t sum)
{
    return uint16_t((sum + kOne / 2) >> kWeightBits);
}

// Which source pixels one target pixel covers along one direction, and by how much.
struct Spans
{
    std::vector<int> first, count, offset;
    std::vector<uint32_t> weights;
};

Spans spansFor(int sourceSide, int targetSide)
{
    Spans spans;
    const double scale = double(sourceSide) / targetSide;
    for (int t = 0; t < targetSide; ++t) {
        const double from = t * scale, to = (t + 1) * scale;
        const int first = int(std::floor(from));
        const int last = std::min(int(std::ceil(to)) - 1, sourceSide - 1);
        spans.first.push_back(first);
        spans.count.push_back(last - first + 1);
        spans.offset.push_back(int(spans.weights.size()));
        uint32_t total = 0, heaviest = 0;
        size_t heaviestAt = spans.weights.size();
        for (int s = first; s <= last; ++s) {
            const double covered = std::min<double>(s + 1, to) - std::max<double>(s, from);
            const auto weight = uint32_t(std::lround(covered / scale * kOne));
            if (weight >= heaviest) {
                heaviest = weight;
                heaviestAt = spans.weights.size();
            }
            spans.weights.push_back(weight);
            total += weight;
        }
        // Rounding may leave the sum a little off; the heaviest weight takes the difference.
        spans.weights[heaviestAt] += kOne - total;
    }
    return spans;
}

// The channels of one source row, each in an array of its own.
struct Planes
{
    std::vector<uint16_t> red, green, blue;
    explicit Planes(size_t width)
        : red(width)
        , green(width)
        , blue(width)
    {
    }
    void clear()
    {
        std::fill(red.begin(), red.end(), 0);
        std::fill(green.begin(), green.end(), 0);
        std::fill(blue.begin(), blue.end(), 0);
    }
};

// Adds a source row, weighted, to the column sums of the target row.
void addRow(Planes& sums, const QRgb* line, uint16_t weight)
{
    const size_t width = sums.red.size();
    uint16_t* red = sums.red.data();
    uint16_t* green = sums.green.data();
    uint16_t* blue = sums.blue.data();
    for (size_t x = 0; x < width; ++x) {
        const QRgb pixel = line[x];
        red[x] = uint16_t(red[x] + weight * uint16_t((pixel >> 16) & 0xFF));
        green[x] = uint16_t(green[x] + weight * uint16_t((pixel >> 8) & 0xFF));
        blue[x] = uint16_t(blue[x] + weight * uint16_t(pixel & 0xFF));
    }
}

// The target's rows, taken from its bits once: QImage::scanLine detaches the image on every call,
// which several threads must not do at once.
struct TargetRows
{
    uchar* bits;
    qsizetype bytesPerLine;
    int width;

    explicit TargetRows(QImage& target)
        : bits(target.bits())
        , bytesPerLine(target.bytesPerLine())
        , width(target.width())
    {
    }
    uchar* row(int y) const { return bits + y * bytesPerLine; }
};

void shrinkRows(const TargetRows& target, const QRect& area, const QImage& source, const Spans& columns,
    const Spans& rows, int firstRow, int endRow)
{
    Planes sums(static_cast<size_t>(source.width()));
    for (int t = firstRow; t < endRow; ++t) {
        sums.clear();
        for (int k = 0; k < rows.count[t]; ++k)
            addRow(sums, reinterpret_cast<const QRgb*>(source.constScanLine(rows.first[t] + k)),
                uint16_t(rows.weights[size_t(rows.offset[t] + k)]));
        for (std::vector<uint16_t>* plane : { &sums.red, &sums.green, &sums.blue })
            for (uint16_t& value : *plane)
                value = roundedDown(value);
        auto* out = reinterpret_cast<QRgb*>(target.row(area.top() + t)) + area.left();
        for (int c = 0; c < area.width(); ++c) {
            const int first = columns.first[c];
            const uint32_t* weights = columns.weights.data() + columns.offset[c];
            uint32_t red = 0, green = 0, blue = 0;
            for (int k = 0; k < columns.count[c]; ++k) {
                red += weights[k] * sums.red[size_t(first + k)];
                green += weights[k] * sums.green[size_t(first + k)];
                blue += weights[k] * sums.blue[size_t(first + k)];
            }
            out[c] = qRgb(roundedDown(red), roundedDown(green), roundedDown(blue));
        }
    }
}

// Down to half the size, each target pixel interpolated from the four source pixels nearest
// its centre, which then lie within one pixel of it: nothing of the source is skipped. The
// target rows are painted in parallel, each part through its own painter on its own window
// into the target, with the same transformation, so the parts join seamlessly.
void interpolateInto(const TargetRows& target, const QRect& area, const QImage& source)
{
    inParallel(area.height(), [&](int first, int end) {
        QImage part(target.row(area.top() + first), target.width, end - first, target.bytesPerLine,
            QImage::Format_RGB32);
        QPainter painter(&part);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setClipRect(QRect(area.left(), 0, area.width(), end - first));
        painter.translate(0, -area.top() - first);
        painter.drawImage(area, source);
    });
}

} // namespace

void shrinkInto(QImage& target, const QRect& area, const QImage& source)
{
    if (area.isEmpty() || source.isNull()) return;
    const TargetRows into(target);
    if (area.width() * 2 >= source.width() && area.height() * 2 >= source.height()) {
        interpolateInto(into, area, source);
        return;
    }
    const Spans columns = spansFor(source.width(), area.width());
    const Spans rows = spansFor(source.height(), area.height());
    inParallel(area.height(),
        [&](int first, int end) { shrinkRows(into, area, source, columns, rows, first, end); });
}

QImage shrunkViewOf(const QImage& source, QSize inside, int margin)
{
    if (inside.isEmpty()) return {};
    QImage view = unwrittenImage(inside.width() + 2 * margin, inside.height() + 2 * margin);
    if (view.isNull()) return {};
    whitenMargin(view, margin);
    shrinkInto(view, QRect(QPoint(margin, margin), inside), source);
    return view;
}
