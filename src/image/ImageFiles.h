#pragma once

#include <QImage>
#include <QString>

#include <atomic>
#include <memory>

// How an image file failed to load.
enum class LoadError { None, NotFound, OutOfMemory, Unreadable };

struct LoadResult
{
    LoadError error = LoadError::None;
    bool ok() const { return error == LoadError::None; }
};

// How writing an image file ended: written, refused because a file of that name exists, or
// failed for the reason given. A file that was not written leaves nothing behind.
enum class SaveOutcome { Written, NameTaken, Failed };

struct SaveResult
{
    SaveOutcome outcome = SaveOutcome::Written;
    QString reason;
    bool ok() const { return outcome == SaveOutcome::Written; }
};

// The largest image the program loads: 2^29 pixels (about 537 megapixels, 2 GiB at 32 bits
// per pixel). A file that claims more is refused before anything is allocated for it.
inline constexpr qint64 kMaxImagePixels = qint64(1) << 29;

// A Format_RGB32 image whose pixels are not yet written. Large buffers ask for huge pages, so
// that writing them first costs a few page faults instead of one every 4 KiB.
QImage unwrittenImage(int width, int height);

// A decoded image that lies inside a larger buffer, `margin` pixels of room on every side.
struct FramedImage
{
    std::shared_ptr<QImage> pixels; // the whole buffer; the image is a window into it
    QImage image;
    int margin = 0;
};

// The `width` × `height` window `margin` pixels inside `pixels`. The window and every copy of it
// hold the buffer, so it outlives the FramedImage it came from while any of them is left.
QImage windowInto(const std::shared_ptr<QImage>& pixels, int margin, int width, int height);

// Whether `image` is the window `margin` pixels inside `pixels` that a FramedImage holds.
bool isWindowInto(const QImage& image, const QImage& pixels, int margin);

// `image` copied into a new buffer with `margin` pixels of room around it; a null image when
// there is no memory for it.
FramedImage framedCopyOf(const QImage& image, int margin);

// What a reader decodes into: a buffer with `margin` pixels of room on every side of the image.
// An image of more than `pixelLimit` pixels is refused as unreadable, before anything is
// allocated for it.
struct DecodeTarget
{
    int margin = 0;
    qint64 pixelLimit = kMaxImagePixels;
    // A JPEG is decoded at 1/2, 1/4 or 1/8 of its size where this is 2, 4 or 8 (libjpeg's scaled
    // decoding, much quicker than a full decode); other formats are always read whole.
    int reduction = 1;
    // A JPEG's buffer gets its pages from another thread ahead of the decoder (see populateRows),
    // for a reader that has a core to spare.
    bool populateAhead = false;
};

// Gives the image's memory from row `fromRow` on its pages now rather than at their first write,
// which for a large buffer costs the kernel a tenth of a decode or more in zeroing them. The
// bytes are left as they are, so a decoder may write the rows meanwhile. Stops once `stop` is set.
void populateRows(const QImage& image, int fromRow, const std::atomic<bool>& stop);

// What a reader gives back: the image in its buffer, or why there is none. With a margin of 0
// the image is a buffer of its own; a reader whose decoder makes its own image may give it
// without the margin asked for, and readFramedImageFile then copies it into one.
struct DecodedImage
{
    DecodedImage(LoadError failure = LoadError::None)
        : error(failure)
    {
    }
    DecodedImage(FramedImage image)
        : framed(std::move(image))
    {
    }
    LoadError error = LoadError::None;
    FramedImage framed;
    bool ok() const { return error == LoadError::None; }
    LoadResult result() const { return { error }; }
};

// Reads an image file as readImageFile does, decoding it straight into a buffer of the target
// (for formats whose decoders write into a given buffer; the others are copied into one). Once
// `abandoned` is set, the reading stops soon and fails.
DecodedImage readFramedImageFile(
    const QString& path, const DecodeTarget& target, const std::atomic<bool>* abandoned = nullptr);

// The size a JPEG file's header claims; an empty size for a file that is no JPEG or whose header
// cannot be read.
QSize jpegFileSize(const QString& path);

class DecodeProgress;
// Decodes the JPEG file into `image`, which has the size its header claims, telling `progress` of
// the rows as they are written; the decode stops soon, and fails, once `progress` is abandoned.
// A failure is refused as readImageFile refuses it.
LoadError decodeJpegInto(const QString& path, const QImage& image, DecodeProgress& progress);

// Reads an image file into `image` (Format_RGB32): BMP, JPEG, PNG or GIF. The format is taken
// from the content, not from the name, so a JPEG named ".BMP" reads as well. Only a regular file
// is read. Refused as unreadable, before anything is allocated for the image: a claimed size above
// kMaxImagePixels or above what the file's length can encode. Refused as well, rather than shown
// with black or grey where data is missing: a file that ends early or whose data is corrupt.
LoadResult readImageFile(const QString& path, QImage& image);

// A piece written ahead of its name: durably into a temporary file in the folder it will be named
// in, so that only the naming is left, which never replaces a file. The temporary is removed
// unless it got a name.
class PreparedFile
{
public:
    // Writes and syncs the image as an uncompressed 24-bit BMP into a temporary file in `folder`,
    // which must be the folder of every path the piece may be named with; may run on any thread.
    PreparedFile(const QImage& image, const QString& folder);
    ~PreparedFile();
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;

    // Gives the file its name unless a file has it: Written, NameTaken (it stays ready for
    // another name), or Failed with the reason the writing or the naming failed.
    SaveResult name(const QString& path);

private:
    QByteArray m_temporary; // empty once named, or when nothing was written
    QString m_reason; // why the writing failed
};

// The two system calls that give a prepared piece its name without replacing a file: a rename
// that keeps an existing file, and a hard link. Each returns 0, or -1 with errno set. They are
// the system's; tests put in calls that fail as on file systems that offer neither.
struct PieceNamingCalls
{
    int (*renameNoReplace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
};

// The naming calls in use; change them only while no piece is being named.
PieceNamingCalls& pieceNamingCalls();
