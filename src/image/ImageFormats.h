#pragma once

// The readers of the image formats the loader takes, and the BMP writer. Every reader refuses,
// before it allocates anything for the image, a claimed size above kMaxImagePixels or above what
// the file's bytes can encode, and it refuses a file whose data ends early or is corrupt, rather
// than show the pixels that were never there as black or grey.

#include "image/ImageFiles.h"

#include <QByteArray>
#include <QImage>

class DecodeProgress;
class ReadOnlyFile;

inline constexpr LoadError kUnreadable = LoadError::Unreadable;

// A number of `size` bytes stored least significant byte first, as BMP and GIF store them.
inline quint32 littleEndian(const uchar* bytes, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// A claimed size the reader may allocate: positive, at most kMaxImagePixels pixels and at most
// the target's limit.
bool isAllowedSize(const DecodeTarget& target, qint64 width, qint64 height);

// A new RGB32 image in a buffer of the target, its pixels not yet written; or the lack of memory
// for it.
DecodedImage allocateImage(const DecodeTarget& target, qint64 width, qint64 height);

// A file that starts with "BM". Uncompressed pixels are read straight from the file, a row block
// at a time; run-length codes are read whole.
DecodedImage readBmp(const ReadOnlyFile& file, const DecodeTarget& target);

// Where the rows of a JPEG go instead of a buffer of their own: into `image`, which has the size
// the file decodes to, each band of rows told to `progress` once written.
struct JpegRowsInto
{
    const QImage* image;
    DecodeProgress* progress;
};

// A JPEG file, read a block at a time as the decoder needs it.
DecodedImage readJpeg(const ReadOnlyFile& file, const DecodeTarget& target, const JpegRowsInto* into = nullptr);
// The size a JPEG file's header claims; an empty size where the header alone refuses it.
QSize readJpegSize(const ReadOnlyFile& file);

// Whole GIF and PNG files.
DecodedImage readGif(const QByteArray& bytes, const DecodeTarget& target);
DecodedImage readPng(const QByteArray& bytes, const DecodeTarget& target);

// Writes the image as an uncompressed 24-bit BMP file to the open file `fd`, byte for byte as
// Qt's own BMP writer does. On failure `error` holds the system's error number.
bool writeBmp(int fd, const QImage& image, int& error);
