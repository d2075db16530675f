#include "image/ImageFormats.h"

#include <QBuffer>
#include <QImageReader>

#include <array>
#include <optional>

namespace {

// Decoders may allocate up to 8 bytes a pixel (16-bit channels) for the largest image.
constexpr int kAllocationLimitMegabytes = int(kMaxImagePixels * 8 / (1024 * 1024));

quint32 littleEndian16(const QByteArray& bytes, qsizetype at)
{
    return littleEndian(reinterpret_cast<const uchar*>(bytes.constData()) + at, 2);
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | uchar(bytes[at + i]);
    return value;
}

// Qt's own decoder, once the file has been checked and found to hold an image of `size`.
DecodedImage decodeWithQt(const QByteArray& bytes, const char* format, QSize size, const DecodeTarget& target)
{
    // Qt's limit is one setting for the whole process; it is set once, whichever thread reads first.
    static const bool limited = (QImageReader::setAllocationLimit(kAllocationLimitMegabytes), true);
    Q_UNUSED(limited);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage read = reader.read();
    if (read.isNull()) {
        // A decoder reports a failed allocation like any other failure; try the allocation
        // once to tell the two apart.
        if (!allocateImage(target, size.width(), size.height()).ok()) return LoadError::OutOfMemory;
        return kUnreadable;
    }
    QImage image = read.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return LoadError::OutOfMemory;
    return FramedImage { {}, std::move(image), 0 };
}

// Skips data sub-blocks, each a length byte and that many bytes, to the empty one that ends them.
// Returns where the next block starts, or -1 when the file ends first.
qsizetype skipSubBlocks(const QByteArray& bytes, qsizetype at)
{
    while (at < bytes.size()) {
        const int length = uchar(bytes[at]);
        at += 1 + length;
        if (length == 0) return at;
    }
    return -1;
}

qsizetype colourTableBytes(int flags)
{
    return flags & 0x80 ? 3 * (qsizetype(2) << (flags & 7)) : 0;
}

// The LZW codes of an image, read from its data sub-blocks least significant bit first.
class LzwCodes
{
public:
    // `at` is the length byte of the first sub-block.
    LzwCodes(const QByteArray& bytes, qsizetype at)
        : m_bytes(bytes)
        , m_at(at)
        , m_blockEnd(at)
    {
    }

    // The next code of `width` bits; -1 where the sub-blocks, or the file, end first.
    int next(int width)
    {
        while (m_bitCount < width) {
            if (m_at == m_blockEnd && !startBlock()) return -1;
            m_bits |= quint32(uchar(m_bytes[m_at++])) << m_bitCount;
            m_bitCount += 8;
        }
        const int code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_bitCount -= width;
        return code;
    }

    // Where the block after the data starts, or -1. Bytes after the end code are skipped, as
    // decoders skip them.
    qsizetype end() const { return skipSubBlocks(m_bytes, m_blockEnd); }

private:
    bool startBlock()
    {
        if (m_at >= m_bytes.size() || m_bytes[m_at] == 0) return false;
        m_blockEnd = m_at + 1 + uchar(m_bytes[m_at]);
        ++m_at;
        return m_blockEnd <= m_bytes.size();
    }

    const QByteArray& m_bytes;
    qsizetype m_at;
    qsizetype m_blockEnd; // of the sub-block being read
    quint32 m_bits = 0; // read but not yet taken, at most 19
    int m_bitCount = 0;
};

// Follows the codes as a decoder does, keeping of each string in the table only its length: the
// codes must give exactly `pixels` pixels and then the end code. A code that the table does not
// hold yet, one past the last pixel, and data that ends before the end code mean the data is
// damaged or cut, where a decoder would draw what it had or what the damage made of it.
bool givesExactly(LzwCodes& codes, int rootBits, qint64 pixels)
{
    constexpr int kWidest = 12, kTableSize = 1 << kWidest;
    const int clear = 1 << rootBits, end = clear + 1;
    std::array<quint16, kTableSize> lengths;
    lengths.fill(1); // the roots
    int width = rootBits + 1, nextFree = clear + 2, previous = -1;
    qint64 drawn = 0;
    for (int code = codes.next(width); code >= 0; code = codes.next(width)) {
        if (code == clear) {
            width = rootBits + 1;
            nextFree = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) return drawn == pixels;
        if (code > (previous < 0 ? clear : nextFree)) return false;
        if (previous >= 0) {
            const int grown = lengths[size_t(previous)] + 1; // the previous string and one more
            if (code == nextFree) lengths[size_t(code)] = quint16(grown);
            // Once the table is full it stays as it is until the next clear code.
            if (nextFree < kTableSize) lengths[size_t(nextFree++)] = quint16(grown);
            if (nextFree >= 1 << width && width < kWidest) ++width;
        }
        drawn += lengths[size_t(code)];
        if (drawn > pixels) return false;
        previous = code;
    }
    return false;
}

// Where the block after an image's data starts, the data being its LZW code size at `at` and the
// sub-blocks after it; -1 when the data is damaged or cut (see givesExactly). A code size above
// 8 would stand for more colours than a table holds.
qsizetype endOfImageData(const QByteArray& bytes, qsizetype at, qint64 pixels)
{
    if (at >= bytes.size()) return -1;
    const int rootBits = uchar(bytes[at]);
    if (rootBits < 1 || rootBits > 8) return -1;
    LzwCodes codes(bytes, at + 1);
    return givesExactly(codes, rootBits, pixels) ? codes.end() : -1;
}

// The picture a GIF's decoder draws: its logical screen, widened to hold the first frame (the one
// that is read) should that reach beyond it. Nothing when the blocks do not lead, through a
// frame, to the trailer, the file being cut short, or when the data of a frame is damaged.
std::optional<QSize> gifCanvas(const QByteArray& bytes)
{
    constexpr qsizetype kScreenEnd = 13;
    if (bytes.size() < kScreenEnd) return std::nullopt;
    QSize canvas(int(littleEndian16(bytes, 6)), int(littleEndian16(bytes, 8)));
    bool framed = false;
    qsizetype at = kScreenEnd + colourTableBytes(uchar(bytes[10]));
    while (at >= 0 && at < bytes.size()) {
        const char block = bytes[at];
        if (block == ';') return framed ? std::optional(canvas) : std::nullopt;
        if (block == '!' && at + 1 < bytes.size()) {
            at = skipSubBlocks(bytes, at + 2); // after the label
        } else if (block == ',' && at + 10 < bytes.size()) {
            const QSize frame(int(littleEndian16(bytes, at + 5)), int(littleEndian16(bytes, at + 7)));
            if (!framed)
                canvas = canvas.expandedTo(QSize(int(littleEndian16(bytes, at + 1)) + frame.width(),
                    int(littleEndian16(bytes, at + 3)) + frame.height()));
            framed = true;
            at = endOfImageData(bytes, at + 10 + colourTableBytes(uchar(bytes[at + 9])),
                qint64(frame.width()) * frame.height());
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

int pngChannels(int colourType)
{
    switch (colourType) {
    case 0: return 1; // grey
    case 2: return 3; // RGB
    case 3: return 1; // palette
    case 4: return 2; // grey and alpha
    case 6: return 4; // RGB and alpha
    }
    return 0;
}

} // namespace

// An LZW code stands for at most 4096 pixels and takes 2 bits at the least, so each byte of the
// file yields 16384 pixels at most. A picture larger than that is mostly background that no
// frame covers, and is refused.
DecodedImage readGif(const QByteArray& bytes, const DecodeTarget& target)
{
    const std::optional<QSize> canvas = gifCanvas(bytes);
    if (!canvas || !isAllowedSize(target, canvas->width(), canvas->height())) return kUnreadable;
    if (qint64(canvas->width()) * canvas->height() > bytes.size() * 16384) return kUnreadable;
    return decodeWithQt(bytes, "gif", *canvas, target);
}

// Deflate stores at most 258 bytes in a code of at least 2 bits, 1032 bytes to a byte at most,
// so the rows' bytes cannot be more than 1032 times the file's. Qt's decoder refuses a file cut
// short itself.
DecodedImage readPng(const QByteArray& bytes, const DecodeTarget& target)
{
    constexpr qsizetype kHeaderChunk = 8;
    if (bytes.size() < kHeaderChunk + 8 + 13 || bytes.mid(kHeaderChunk + 4, 4) != "IHDR") return kUnreadable;
    const qint64 width = bigEndian32(bytes, kHeaderChunk + 8), height = bigEndian32(bytes, kHeaderChunk + 12);
    const int bitsPerPixel = uchar(bytes[kHeaderChunk + 16]) * pngChannels(uchar(bytes[kHeaderChunk + 17]));
    if (!isAllowedSize(target, width, height) || bitsPerPixel == 0) return kUnreadable;
    if (height * ((width * bitsPerPixel + 7) / 8) > bytes.size() * 1032) return kUnreadable;
    return decodeWithQt(bytes, "png", QSize(int(width), int(height)), target);
}
