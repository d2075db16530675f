#include "image/ImageFormats.h"

#include "image/DecodeProgress.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, whose configuration decides which messages exist.
#include <jerror.h>

namespace {

// libjpeg reports errors and warnings here. An error ends the decoding with a jump back to where
// it started; so does a warning that pixels are missing or made up: data that ends inside a scan
// ("premature end of data segment"), a file that ends before its end marker, codes that no table
// holds, restart markers out of order, scans out of order. Other warnings leave the pixels as
// they are meant to be (stray bytes before a marker, an unknown JFIF version or Adobe transform,
// a damaged ICC profile), so the image loads.
struct ErrorManager
{
    jpeg_error_mgr base {};
    std::jmp_buf jump {};
    bool outOfMemory = false;
};

bool losesPixels(int warning)
{
    switch (warning) {
    case JWRN_HIT_MARKER:
    case JWRN_JPEG_EOF:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION: return true;
    default: return false;
    }
}

extern "C" void jumpBack(j_common_ptr info)
{
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->outOfMemory = errors->base.msg_code == JERR_OUT_OF_MEMORY;
    std::longjmp(errors->jump, 1);
}

// Level -1 is a warning; higher levels are traces, which are not wanted.
extern "C" void hearMessage(j_common_ptr info, int level)
{
    if (level < 0 && losesPixels(info->err->msg_code)) jumpBack(info);
}

extern "C" void keepQuiet(j_common_ptr) { }

qint64 blocksOf(const jpeg_decompress_struct& info)
{
    qint64 blocks = 0;
    for (int i = 0; i < info.num_components; ++i)
        blocks += qint64(info.comp_info[i].width_in_blocks) * info.comp_info[i].height_in_blocks;
    return blocks;
}

// Each component is coded in a first scan that codes every 8 x 8 block of it with one decision
// at least. A Huffman code is one bit at the shortest, so the file holds at least a bit for each
// block. The arithmetic coder of JPEG halves its interval, and so puts out a bit, at least once
// in 2^15 decisions: a flat picture that coder writes in a few bytes, so its bound is that low.
bool isEncodable(const jpeg_decompress_struct& info, qint64 fileBytes)
{
    const qint64 blocksPerByte = info.arith_code ? 8 << 15 : 8;
    return blocksOf(info) <= fileBytes * blocksPerByte;
}

// Qt's decoder turns CMYK into RGB so, reading the channels as Adobe's programs write them.
void cmykToRgb(const uchar* in, QRgb* out, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4)
        out[x] = qRgb(in[3] * in[0] / 255, in[3] * in[1] / 255, in[3] * in[2] / 255);
}

// A JPEG of three channels that names no colour space is taken as RGB, as Qt takes it.
void rgbToRgb(const uchar* in, QRgb* out, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 3)
        out[x] = qRgb(in[0], in[1], in[2]);
}

// libjpeg writes grey, YCbCr and RGB pictures as blue, green, red and a filler byte of 255: the
// RGB32 layout, so rows go straight into the image. CMYK and unnamed pictures come row by row.
bool chooseOutput(jpeg_decompress_struct& info)
{
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB: info.out_color_space = JCS_EXT_BGRX; return true;
    case JCS_CMYK:
    case JCS_YCCK: info.out_color_space = JCS_CMYK; return true;
    default: return info.jpeg_color_space == JCS_UNKNOWN && info.num_components == 3;
    }
}

// The row's pixels, written through a pointer: the image may be a window shared with a reader on
// another thread, which a write through QImage's own accessors would detach from.
QRgb* rowOf(const QImage& image, JDIMENSION y)
{
    return reinterpret_cast<QRgb*>(const_cast<uchar*>(image.constScanLine(int(y))));
}

// Rows are counted as written in bands, so that a reader waiting for them is not woken per row.
void tell(DecodeProgress* progress, const jpeg_decompress_struct& info)
{
    constexpr JDIMENSION kBand = 16;
    if (progress && (info.output_scanline % kBand == 0 || info.output_scanline == info.output_height))
        progress->rowsWritten(int(info.output_scanline));
}

void readRows(jpeg_decompress_struct& info, const QImage& image, DecodeProgress* progress)
{
    if (info.out_color_space == JCS_EXT_BGRX) {
        while (info.output_scanline < info.output_height) {
            auto row = reinterpret_cast<JSAMPROW>(rowOf(image, info.output_scanline));
            jpeg_read_scanlines(&info, &row, 1);
            tell(progress, info);
        }
        return;
    }
    // Taken from libjpeg's own pool, so that nothing leaks when an error jumps out.
    JSAMPARRAY row = (info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
        info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height) {
        QRgb* out = rowOf(image, info.output_scanline);
        jpeg_read_scanlines(&info, row, 1);
        (info.out_color_space == JCS_CMYK ? cmykToRgb : rgbToRgb)(row[0], out, info.output_width);
        tell(progress, info);
    }
}

// The file is read a block at a time as the decoder asks, so a large scan's compressed bytes are
// never all in memory beside its pixels. Where the file ends, the source gives libjpeg an end
// marker and its "premature end of file" warning, which refuses the image (see losesPixels).
//
// What it hands over of a block stops before each marker, so that it knows when the decoder of
// an arithmetic-coded scan has used up the scan's data (see giveZero).
struct FileSource
{
    static constexpr qint64 kBlockBytes = 1 << 20;

    jpeg_source_mgr base {};
    const ReadOnlyFile* file = nullptr;
    qint64 blockOffset = 0; // where in the file the block starts
    qint64 blockSize = 0; // the bytes it holds
    qint64 handedOver = 0; // of them
    std::vector<JOCTET> block = std::vector<JOCTET>(size_t(kBlockBytes));
    // Where the first marker after what was handed over starts, once looked for (see markerAt).
    qint64 marker = -1;
    bool undecided = false;
    int paddedScan = 0; // the scan given zeros for its end (input_scan_number); 0: none yet
    qint64 zerosGiven = 0;
    qint64 zerosAllowed = 0;
};

extern "C" void startReading(j_decompress_ptr) { }
extern "C" void stopReading(j_decompress_ptr) { }

// The first marker at or after `from` in the block: a 0xFF byte, or a run of them, followed by
// a byte that is neither the 0 that makes it a data byte nor a restart marker's. The block's size
// when there is none; `undecided` when a run of 0xFF bytes reaches the end of the block.
qint64 markerAt(const FileSource& source, qint64 from, bool& undecided)
{
    undecided = false;
    for (qint64 at = from; at < source.blockSize; ++at) {
        // Entropy-coded data holds few 0xFF bytes; memchr passes over the rest at memory speed.
        const auto* found = static_cast<const JOCTET*>(
            std::memchr(source.block.data() + at, 0xFF, size_t(source.blockSize - at)));
        if (!found) break;
        at = found - source.block.data();
        qint64 code = at + 1;
        while (code < source.blockSize && source.block[size_t(code)] == 0xFF)
            ++code;
        if (code == source.blockSize) {
            undecided = true;
            return at;
        }
        const int marker = source.block[size_t(code)];
        if (marker != 0 && (marker < JPEG_RST0 || marker > JPEG_RST0 + 7)) return at;
        at = code;
    }
    return source.blockSize;
}

bool loadBlock(FileSource& source, qint64 offset)
{
    const qint64 read = source.file->readUpTo(
        offset, reinterpret_cast<char*>(source.block.data()), FileSource::kBlockBytes);
    source.blockOffset = offset;
    source.blockSize = std::max<qint64>(read, 0);
    source.handedOver = 0;
    source.marker = -1;
    return read > 0;
}

// The blocks of the scan under way from the start of the row of coding units being decoded.
qint64 blocksLeft(const jpeg_decompress_struct& info)
{
    const qint64 perRow = info.comps_in_scan == 1
        ? qint64(info.MCUs_per_row) * info.cur_comp_info[0]->v_samp_factor
        : qint64(info.MCUs_per_row) * info.blocks_in_MCU;
    return perRow * (info.total_iMCU_rows - info.input_iMCU_row);
}

bool isDecodingArithmeticScan(const jpeg_decompress_struct& info)
{
    return info.arith_code && info.input_iMCU_row < info.total_iMCU_rows;
}

// The decoder of an arithmetic-coded scan that reaches the marker after the scan's data goes on
// with zero bytes, as the coder that finished the scan left out the zero bytes at its end. So a
// file cut inside such a scan and closed with an end marker decodes without a word, the rest of
// the scan made up from zeros; and as any bits followed by zeros code some picture, nothing in the
// bits tells the two apart. How many zeros the rest takes mostly does. A finished coder leaves
// out up to three bytes of its register, and the zeros that uniform or repeating parts of a
// picture cost it: in many thousands of files that libjpeg wrote, of every quality, sampling and
// progression, never more than 7 bits a block. Picture data made up from zeros mostly costs more.
// The source gives the zeros itself, counting them, and refuses a scan that takes more than a
// margin over that bound. A cut in a uniform part of a picture, or just before the end of a scan,
// goes unseen.
void giveZero(j_decompress_ptr info, FileSource& source)
{
    static const JOCTET kZero[] = { 0 };
    constexpr qint64 kStartBytes = 64, kBitsPerBlock = 16;
    if (source.paddedScan != info->input_scan_number) {
        source.paddedScan = info->input_scan_number;
        source.zerosGiven = 0;
        source.zerosAllowed = kStartBytes + blocksLeft(*info) * kBitsPerBlock / 8;
    }
    if (++source.zerosGiven > source.zerosAllowed) WARNMS(info, JWRN_HIT_MARKER);
    source.base.next_input_byte = kZero;
    source.base.bytes_in_buffer = sizeof kZero;
}

// The end marker in place of what is missing, with the warning that refuses the image.
boolean giveEndOfFile(j_decompress_ptr info, FileSource& source)
{
    static const JOCTET kEndMarker[] = { 0xFF, JPEG_EOI };
    WARNMS(info, JWRN_JPEG_EOF);
    source.base.next_input_byte = kEndMarker;
    source.base.bytes_in_buffer = sizeof kEndMarker;
    return TRUE;
}

// The first marker from what was handed over on, looked for once: a long run of 0xFF bytes is not
// gone through again for each zero given at its end.
qint64 nextMarker(FileSource& source)
{
    if (source.marker < source.handedOver)
        source.marker = markerAt(source, source.handedOver, source.undecided);
    return source.marker;
}

boolean handOverUpTo(FileSource& source, qint64 end)
{
    source.base.next_input_byte = source.block.data() + source.handedOver;
    source.base.bytes_in_buffer = size_t(end - source.handedOver);
    source.handedOver = end;
    return TRUE;
}

// Hands over the marker that starts what is left of the block, with what follows it up to the next.
boolean handOverMarker(FileSource& source)
{
    qint64 code = source.handedOver;
    while (code < source.blockSize && source.block[size_t(code)] == 0xFF)
        ++code;
    source.marker = code < source.blockSize ? markerAt(source, code + 1, source.undecided) : source.blockSize;
    return handOverUpTo(source, source.marker);
}

extern "C" boolean readNextBlock(j_decompress_ptr info)
{
    auto& source = *reinterpret_cast<FileSource*>(info->src);
    if (source.handedOver == source.blockSize && !loadBlock(source, source.blockOffset + source.blockSize))
        return giveEndOfFile(info, source);
    if (nextMarker(source) == source.handedOver && source.undecided && source.handedOver > 0) {
        // A run of 0xFF bytes reaches the end of the block: read on, from where it starts.
        if (!loadBlock(source, source.blockOffset + source.handedOver)) return giveEndOfFile(info, source);
        nextMarker(source);
    }
    if (source.marker > source.handedOver) return handOverUpTo(source, source.marker);
    if (!source.undecided && isDecodingArithmeticScan(*info)) {
        giveZero(info, source);
        return TRUE;
    }
    return handOverMarker(source);
}

extern "C" void skipBytes(j_decompress_ptr info, long count)
{
    auto& source = *reinterpret_cast<FileSource*>(info->src);
    if (count <= 0) return;
    if (size_t(count) <= source.base.bytes_in_buffer) {
        source.base.next_input_byte += count;
        source.base.bytes_in_buffer -= size_t(count);
        return;
    }
    // On from the end of what was handed over; the block is read again from there when needed.
    source.blockOffset += source.handedOver + qint64(count) - qint64(source.base.bytes_in_buffer);
    source.blockSize = source.handedOver = 0;
    source.marker = -1;
    source.base.bytes_in_buffer = 0;
}

void readFrom(const ReadOnlyFile& file, FileSource& source, jpeg_decompress_struct& info)
{
    source.file = &file;
    source.base.init_source = startReading;
    source.base.fill_input_buffer = readNextBlock;
    source.base.skip_input_data = skipBytes;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = stopReading;
    info.src = &source.base;
}

// Everything that may end in an error's jump runs here, after setjmp. The frames the jump skips
// (libjpeg's, and our row reader and source and message callbacks) hold only trivially
// destructible locals, so nothing is left undone.
// The image goes to `decoded`, which lives in the caller's frame so that a jump skips no
// destructor of it; into the caller's image instead where `into` gives one.
void decode(jpeg_decompress_struct& info, ErrorManager& errors, const ReadOnlyFile& file, FileSource& source,
    const DecodeTarget& target, DecodedImage& decoded, const JpegRowsInto* into)
{
    if (setjmp(errors.jump)) {
        decoded = errors.outOfMemory ? LoadError::OutOfMemory : LoadError::Unreadable;
        return;
    }
    jpeg_create_decompress(&info);
    readFrom(file, source, info);
    jpeg_read_header(&info, TRUE);
    if (!isAllowedSize(target, info.image_width, info.image_height) || !isEncodable(info, file.size())
        || !chooseOutput(info)) {
        decoded = kUnreadable;
        return;
    }
    info.scale_num = 1;
    info.scale_denom = JDIMENSION(std::max(target.reduction, 1));
    jpeg_calc_output_dimensions(&info);
    if (into) {
        if (into->image->size() != QSize(int(info.output_width), int(info.output_height))) {
            decoded = kUnreadable;
            return;
        }
        decoded = FramedImage { {}, *into->image, 0 };
    } else {
        decoded = allocateImage(target, info.output_width, info.output_height);
    }
    if (!decoded.ok()) return;
    jpeg_start_decompress(&info);
    readRows(info, into ? *into->image : decoded.framed.image, into ? into->progress : nullptr);
    jpeg_finish_decompress(&info);
}

// Only the header, for the size it claims; none where the header alone refuses the file.
void decodeHeader(jpeg_decompress_struct& info, ErrorManager& errors, const ReadOnlyFile& file,
    FileSource& source, QSize& size)
{
    if (setjmp(errors.jump)) return;
    jpeg_create_decompress(&info);
    readFrom(file, source, info);
    jpeg_read_header(&info, TRUE);
    if (!isEncodable(info, file.size()) || !chooseOutput(info)) return;
    size = QSize(int(std::min<JDIMENSION>(info.image_width, INT_MAX)),
        int(std::min<JDIMENSION>(info.image_height, INT_MAX)));
}

void listenTo(jpeg_decompress_struct& info, ErrorManager& errors)
{
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpBack;
    errors.base.emit_message = hearMessage;
    errors.base.output_message = keepQuiet;
}

} // namespace

DecodedImage readJpeg(const ReadOnlyFile& file, const DecodeTarget& target, const JpegRowsInto* into)
{
    jpeg_decompress_struct info {};
    ErrorManager errors;
    listenTo(info, errors);
    FileSource source;
    DecodedImage decoded;
    decode(info, errors, file, source, target, decoded, into);
    jpeg_destroy_decompress(&info);
    return decoded;
}

QSize readJpegSize(const ReadOnlyFile& file)
{
    jpeg_decompress_struct info {};
    ErrorManager errors;
    listenTo(info, errors);
    FileSource source;
    QSize size;
    decodeHeader(info, errors, file, source, size);
    jpeg_destroy_decompress(&info);
    return size;
}
