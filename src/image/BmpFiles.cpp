#include "image/ImageFormats.h"

#include "image/Parallel.h"
#include "platform/DurableFiles.h"
#include "platform/FileSystem.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kInfoHeaderSize = 40;
constexpr int kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

qint64 rowBytesOf(qint64 width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// --- the headers ---------------------------------------------------------------------------

// What the headers say about the pixels, and where they are.
struct BmpHeader
{
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
    int bitCount = 0;
    int compression = kRgb;
    int paletteEntrySize = 4;
    int colours = 0; // entries of the palette
    qint64 paletteStart = 0;
    qint64 pixelStart = 0;
    std::array<quint32, 3> masks { 0x00FF0000, 0x0000FF00, 0x000000FF }; // red, green, blue
};

bool isKnownLayout(int bitCount, int compression)
{
    switch (compression) {
    case kRgb:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24
            || bitCount == 32;
    case kRle8: return bitCount == 8;
    case kRle4: return bitCount == 4;
    case kBitFields: return bitCount == 16 || bitCount == 32;
    }
    return false;
}

// The old OS/2 header, the common one, the two with the masks in them, OS/2 2, and the two with
// a colour space.
bool isKnownHeaderSize(qint64 size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

// The fields of the old OS/2 header (16-bit sizes, no compression, a whole palette of 3-byte
// entries) or of the newer headers, which all start alike.
void readInfoFields(const uchar* info, qint64 infoSize, BmpHeader& header, int& planes)
{
    if (infoSize == 12) {
        header.width = littleEndian(info + 4, 2);
        header.height = littleEndian(info + 6, 2);
        planes = int(littleEndian(info + 8, 2));
        header.bitCount = int(littleEndian(info + 10, 2));
        header.paletteEntrySize = 3;
        header.colours = header.bitCount <= 8 ? 1 << header.bitCount : 0;
        return;
    }
    header.width = qint32(littleEndian(info + 4, 4));
    const qint64 height = qint32(littleEndian(info + 8, 4));
    header.topDown = height < 0;
    header.height = std::abs(height);
    planes = int(littleEndian(info + 12, 2));
    header.bitCount = int(littleEndian(info + 14, 2));
    header.compression = int(littleEndian(info + 16, 4));
    const qint64 used = littleEndian(info + 32, 4);
    if (header.bitCount <= 8) header.colours = int(std::min<qint64>(used ? used : 1 << header.bitCount, 257));
}

// The headers of a BMP, or nothing when they are not those of an image this reader knows.
// `start` holds the first bytes of the file: enough for the largest header and the masks after.
std::optional<BmpHeader> parseHeader(const QByteArray& start)
{
    const auto* bytes = reinterpret_cast<const uchar*>(start.constData());
    if (start.size() < kFileHeaderSize + 4) return std::nullopt;
    const qint64 infoSize = littleEndian(bytes + kFileHeaderSize, 4);
    if (!isKnownHeaderSize(infoSize) || start.size() < kFileHeaderSize + infoSize) return std::nullopt;
    BmpHeader header;
    int planes = 0;
    readInfoFields(bytes + kFileHeaderSize, infoSize, header, planes);
    // Compression 3 of OS/2 2 is Huffman coding, not bit fields.
    if (planes != 1 || !isKnownLayout(header.bitCount, header.compression)
        || (infoSize == 64 && header.compression == kBitFields))
        return std::nullopt;
    if (header.bitCount <= 8 && (header.colours < 1 || header.colours > 256)) return std::nullopt;
    const bool masksAfterHeader = infoSize == kInfoHeaderSize && header.compression == kBitFields;
    if (start.size() < kFileHeaderSize + infoSize + (masksAfterHeader ? 12 : 0)) return std::nullopt;
    // The masks follow the 40-byte header, or are part of a larger one, in the same place.
    if (header.compression == kBitFields)
        for (int i = 0; i < 3; ++i)
            header.masks[size_t(i)] = littleEndian(bytes + kFileHeaderSize + kInfoHeaderSize + 4 * i, 4);
    else if (header.bitCount == 16)
        header.masks = { 0x7C00, 0x03E0, 0x001F };
    header.paletteStart = kFileHeaderSize + infoSize + (masksAfterHeader ? 12 : 0);
    // An offset that points into the headers or the palette is not believed.
    header.pixelStart = std::max<qint64>(
        littleEndian(bytes + 10, 4), header.paletteStart + qint64(header.colours) * header.paletteEntrySize);
    return header;
}

// --- the pixels ----------------------------------------------------------------------------

using Palette = std::array<QRgb, 256>;

// All 256 indices: those beyond the palette are black, as Qt shows them, but for an image of one
// bit with a single colour, whose second index Qt shows white.
std::optional<Palette> readPalette(const ReadOnlyFile& file, const BmpHeader& header)
{
    Palette palette;
    palette.fill(qRgb(0, 0, 0));
    if (header.colours == 0) return palette;
    QByteArray entries(qsizetype(header.colours) * header.paletteEntrySize, Qt::Uninitialized);
    if (!file.read(header.paletteStart, entries.data(), entries.size())) return std::nullopt;
    for (int i = 0; i < header.colours; ++i) {
        const auto* entry = reinterpret_cast<const uchar*>(entries.constData()) + i * header.paletteEntrySize;
        palette[size_t(i)] = qRgb(entry[2], entry[1], entry[0]);
    }
    if (header.bitCount == 1 && header.colours == 1) palette[1] = qRgb(255, 255, 255);
    return palette;
}

// A colour channel under its mask, scaled as Qt 6.4 scales it: the bits shifted down to the
// lowest, times 256 / (their largest value + 1). Qt scales a mask wider than 8 bits by 0, to
// black; here such a channel keeps its highest 8 bits.
struct Channel
{
    quint32 mask = 0;
    int shift = 0;
    int drop = 0;
    quint32 scale = 1;

    explicit Channel(quint32 bits)
        : mask(bits)
        , shift(bits ? std::countr_zero(bits) : 0)
    {
        const quint32 span = bits >> shift;
        if (span < 256)
            scale = 256 / (span + 1);
        else
            drop = std::bit_width(span) - 8;
    }
    quint32 operator()(quint32 pixel) const { return ((pixel & mask) >> shift >> drop) * scale; }
};

struct PixelFormat
{
    const BmpHeader& header;
    Palette palette;
    Channel red { header.masks[0] };
    Channel green { header.masks[1] };
    Channel blue { header.masks[2] };
};

void convertPaletteRow(const uchar* in, QRgb* out, qint64 width, const PixelFormat& format)
{
    const Palette& palette = format.palette;
    switch (format.header.bitCount) {
    case 1:
        for (qint64 x = 0; x < width; ++x)
            out[x] = palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (qint64 x = 0; x < width; ++x)
            out[x] = palette[(in[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
        break;
    default:
        for (qint64 x = 0; x < width; ++x)
            out[x] = palette[in[x]];
        break;
    }
}

// Blue, green, red bytes to pixels. On a little-endian machine four pixels are taken from
// three 32-bit words at a time (b0 g0 r0 b1 | g1 r1 b2 g2 | r2 b3 g3 r3), each word already
// in the 0x00RRGGBB order of a pixel.
void convertBgrRow(const uchar* in, QRgb* out, qint64 width)
{
    qint64 x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 4 <= width; x += 4, in += 12) {
            quint32 w[3];
            std::memcpy(w, in, sizeof w);
            out[x] = 0xFF000000u | (w[0] & 0xFFFFFFu);
            out[x + 1] = 0xFF000000u | w[0] >> 24 | (w[1] & 0xFFFFu) << 8;
            out[x + 2] = 0xFF000000u | w[1] >> 16 | (w[2] & 0xFFu) << 16;
            out[x + 3] = 0xFF000000u | w[2] >> 8;
        }
    }
    for (; x < width; ++x, in += 3)
        out[x] = 0xFF000000u | quint32(in[2]) << 16 | quint32(in[1]) << 8 | in[0];
}

// 24-bit rows, and 32-bit rows with the usual masks, take the bytes as they stand.
void convertRow(const uchar* in, QRgb* out, qint64 width, const PixelFormat& format)
{
    const int bitCount = format.header.bitCount;
    const bool usualMasks = format.header.masks == std::array<quint32, 3> { 0xFF0000, 0xFF00, 0xFF };
    if (bitCount <= 8) {
        convertPaletteRow(in, out, width, format);
    } else if (bitCount == 24) {
        convertBgrRow(in, out, width);
    } else if (bitCount == 32 && usualMasks) {
        for (qint64 x = 0; x < width; ++x, in += 4)
            out[x] = 0xFF000000u | quint32(in[2]) << 16 | quint32(in[1]) << 8 | in[0];
    } else {
        const int bytes = bitCount / 8;
        for (qint64 x = 0; x < width; ++x, in += bytes) {
            const quint32 pixel = littleEndian(in, bytes);
            out[x] = qRgb(int(format.red(pixel)), int(format.green(pixel)), int(format.blue(pixel)));
        }
    }
}

// Where a row of the file goes in the image whose pixels start at `bits`: a bottom-up file
// starts with the image's last row. (Taken from the bits, as scanLine would detach the image
// again for each row, which several threads must not do at once.)
QRgb* rowOf(uchar* bits, qsizetype bytesPerLine, const BmpHeader& header, qint64 fileRow)
{
    const qint64 y = header.topDown ? fileRow : header.height - 1 - fileRow;
    return reinterpret_cast<QRgb*>(bits + y * bytesPerLine);
}

// Every row must be in the file. The cores share the rows out, each reading its rows a block
// at a time and converting them.
DecodedImage readUncompressed(const ReadOnlyFile& file, const PixelFormat& format, const DecodeTarget& target)
{
    const BmpHeader& header = format.header;
    const qint64 rowBytes = rowBytesOf(header.width, header.bitCount);
    if (file.size() < header.pixelStart + rowBytes * header.height) return kUnreadable;
    DecodedImage decoded = allocateImage(target, header.width, header.height);
    if (!decoded.ok()) return decoded;
    QImage& image = decoded.framed.image;
    uchar* const bits = image.bits();
    std::atomic<bool> failed { false };
    inParallel(int(header.height), [&](qint64 firstRow, qint64 endRow) {
        const qint64 rowsAtOnce = std::clamp<qint64>((4 << 20) / rowBytes, 1, endRow - firstRow);
        QByteArray block(rowsAtOnce * rowBytes, Qt::Uninitialized);
        for (qint64 first = firstRow; first < endRow && !failed; first += rowsAtOnce) {
            const qint64 rows = std::min(rowsAtOnce, endRow - first);
            if (!file.read(header.pixelStart + first * rowBytes, block.data(), rows * rowBytes)) {
                failed = true;
                return;
            }
            const auto* in = reinterpret_cast<const uchar*>(block.constData());
            for (qint64 row = 0; row < rows; ++row)
                convertRow(in + row * rowBytes, rowOf(bits, image.bytesPerLine(), header, first + row),
                    header.width, format);
        }
    });
    if (failed) return kUnreadable;
    return decoded;
}

// Follows run-length codes from their start to the end of the bitmap, setting the pixels on the
// way when given an image. Codes that leave the bitmap (a run past the end of its row, a jump
// outside the image) are corrupt; codes that end before the end-of-bitmap code, or before the
// end of the last row, are cut short. Pixels the codes jump over take the first colour.
class RunLengthCodes
{
public:
    RunLengthCodes(const QByteArray& codes, const PixelFormat& format, QImage* image)
        : m_codes(reinterpret_cast<const uchar*>(codes.constData()))
        , m_size(codes.size())
        , m_format(format)
        , m_image(image)
        , m_fourBits(format.header.compression == kRle4)
    {
    }

    bool followToTheEnd()
    {
        while (m_y < m_format.header.height) {
            if (m_at + 2 > m_size) return false;
            const int first = m_codes[m_at], second = m_codes[m_at + 1];
            m_at += 2;
            if (first > 0) {
                if (!encodedRun(first, uchar(second))) return false;
                continue;
            }
            switch (second) {
            case 0: // end of the line
                m_x = 0;
                ++m_y;
                break;
            case 1: return true; // end of the bitmap
            case 2:
                if (!jump()) return false;
                break;
            default:
                if (!absoluteRun(second)) return false;
                break;
            }
        }
        return true;
    }

private:
    void put(qint64 x, int index)
    {
        if (!m_image) return;
        if (m_rowY != m_y) {
            m_row = rowOf(m_image->bits(), m_image->bytesPerLine(), m_format.header, m_y);
            m_rowY = m_y;
        }
        m_row[x] = m_format.palette[size_t(index)];
    }

    bool encodedRun(int count, uchar value)
    {
        if (m_x + count > m_format.header.width) return false;
        for (int i = 0; i < count; ++i)
            put(m_x + i, !m_fourBits ? value : i % 2 ? value & 15 : value >> 4);
        m_x += count;
        return true;
    }

    // The pixels themselves, padded to an even number of bytes.
    bool absoluteRun(int count)
    {
        const qint64 bytes = m_fourBits ? (count + 1) / 2 : count;
        if (m_x + count > m_format.header.width || m_at + bytes + (bytes & 1) > m_size) return false;
        for (int i = 0; i < count; ++i)
            put(m_x + i, m_fourBits ? (m_codes[m_at + i / 2] >> (i % 2 ? 0 : 4)) & 15 : m_codes[m_at + i]);
        m_at += bytes + (bytes & 1);
        m_x += count;
        return true;
    }

    bool jump()
    {
        if (m_at + 2 > m_size) return false;
        m_x += m_codes[m_at];
        m_y += m_codes[m_at + 1];
        m_at += 2;
        return m_x <= m_format.header.width && m_y < m_format.header.height;
    }

    const uchar* m_codes;
    qint64 m_size;
    const PixelFormat& m_format;
    QImage* m_image;
    bool m_fourBits;
    qint64 m_at = 0;
    qint64 m_x = 0;
    qint64 m_y = 0;
    QRgb* m_row = nullptr;
    qint64 m_rowY = -1;
};

// A code of two bytes sets at most 255 pixels of one row, so a bitmap whose every pixel is coded
// takes at least 2 bytes for each 255 pixels of each row. A file shorter than that would leave
// most of its pixels to jumps, which give them no colour of their own; it is refused before
// anything is allocated, as are codes that are cut short or corrupt.
DecodedImage readRunLength(const ReadOnlyFile& file, const PixelFormat& format, const DecodeTarget& target)
{
    const BmpHeader& header = format.header;
    const qint64 codeBytes = file.size() - header.pixelStart;
    if (codeBytes < 2 * header.height * ((header.width + 254) / 255)) return kUnreadable;
    const QByteArray codes = file.read(header.pixelStart, codeBytes);
    if (codes.size() != codeBytes || !RunLengthCodes(codes, format, nullptr).followToTheEnd())
        return kUnreadable;
    DecodedImage decoded = allocateImage(target, header.width, header.height);
    if (!decoded.ok()) return decoded;
    decoded.framed.image.fill(format.palette[0]);
    RunLengthCodes(codes, format, &decoded.framed.image).followToTheEnd();
    return decoded;
}

// --- writing -------------------------------------------------------------------------------

void putLittleEndian(char* at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        at[i] = char(value >> (8 * i));
}

QByteArray header24(const QImage& image)
{
    const quint32 pixelBytes = quint32(rowBytesOf(image.width(), 24) * image.height());
    QByteArray header(kFileHeaderSize + kInfoHeaderSize, '\0');
    char* at = header.data();
    at[0] = 'B';
    at[1] = 'M';
    putLittleEndian(at + 2, quint32(kFileHeaderSize + kInfoHeaderSize) + pixelBytes, 4);
    putLittleEndian(at + 10, quint32(kFileHeaderSize + kInfoHeaderSize), 4);
    putLittleEndian(at + 14, quint32(kInfoHeaderSize), 4);
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

DecodedImage readBmp(const ReadOnlyFile& file, const DecodeTarget& target)
{
    const std::optional<BmpHeader> header = parseHeader(file.read(0, kFileHeaderSize + 124 + 12));
    if (!header || !isAllowedSize(target, header->width, header->height)) return kUnreadable;
    const std::optional<Palette> palette = readPalette(file, *header);
    if (!palette) return kUnreadable;
    const PixelFormat format { *header, *palette };
    if (header->compression == kRle4 || header->compression == kRle8)
        return readRunLength(file, format, target);
    return readUncompressed(file, format, target);
}

bool writeBmp(int fd, const QImage& image, int& error)
{
    const QImage rgb
        = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    // No image: the block could not be cut out (memory), or there was nothing to cut from.
    if (rgb.isNull()) {
        error = ENOMEM;
        return false;
    }
    const QByteArray header = header24(rgb);
    if (!writeAll(fd, header, error)) return false;
    // Rows go out bottom row first, many at a time.
    const qint64 rowBytes = rowBytesOf(rgb.width(), 24);
    const int rowsAtOnce = int(std::clamp<qint64>((1 << 20) / rowBytes, 1, rgb.height()));
    QByteArray buffer(rowBytes * rowsAtOnce, '\0');
    for (int y = rgb.height() - 1; y >= 0;) {
        const int rows = std::min(rowsAtOnce, y + 1);
        for (int i = 0; i < rows; ++i)
            toBgrRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y - i)), rgb.width(),
                buffer.data() + i * rowBytes);
        if (!writeAll(fd, QByteArrayView(buffer.constData(), rows * rowBytes), error)) return false;
        y -= rows;
    }
    return true;
}
