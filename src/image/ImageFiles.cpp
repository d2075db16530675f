#include "image/ImageFiles.h"

#include "image/DecodeProgress.h"
#include "image/ImageFormats.h"
#include "platform/Drawing.h"
#include "platform/DurableFiles.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

bool startsWith(const QByteArray& bytes, const char* signature, qsizetype size)
{
    return bytes.startsWith(QByteArrayView(signature, size));
}

// The formats are told apart by their first bytes, whatever the file is named. Only formats whose
// completeness and claimed size are checked are read at all.
DecodedImage readContent(const ReadOnlyFile& file, const DecodeTarget& target)
{
    const QByteArray start = file.read(0, 8);
    if (startsWith(start, "BM", 2)) return readBmp(file, target);
    if (startsWith(start, "\xFF\xD8", 2)) return readJpeg(file, target);
    using Reader = DecodedImage (*)(const QByteArray&, const DecodeTarget&);
    Reader reader = nullptr;
    if (startsWith(start, "GIF87a", 6) || startsWith(start, "GIF89a", 6))
        reader = readGif;
    else if (startsWith(start, "\x89PNG\r\n\x1A\n", 8))
        reader = readPng;
    if (!reader) return kUnreadable;
    // These formats are compressed; each is read whole.
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) return kUnreadable;
    return reader(bytes, target);
}

DecodedImage readOpenedFile(const ReadOnlyFile& file, const DecodeTarget& target)
{
    switch (file.status()) {
    case ReadOnlyFile::Status::Open: break;
    case ReadOnlyFile::Status::Missing:
    case ReadOnlyFile::Status::Folder: return LoadError::NotFound;
    case ReadOnlyFile::Status::NotRegular:
    case ReadOnlyFile::Status::Failed: return kUnreadable;
    }
    try {
        DecodedImage decoded = readContent(file, target);
        if (!decoded.ok()) return decoded.error; // nothing half-decoded is kept
        return decoded;
    } catch (const std::bad_alloc&) {
        return LoadError::OutOfMemory;
    }
}

} // namespace

QImage windowInto(const std::shared_ptr<QImage>& pixels, int margin, int width, int height)
{
    // Every copy of the window shares this reference, so the buffer lives as long as any of them.
    auto* keeper = new std::shared_ptr<QImage>(pixels);
    return QImage(
        pixels->bits() + margin * pixels->bytesPerLine() + margin * 4, width, height, pixels->bytesPerLine(),
        QImage::Format_RGB32, [](void* held) { delete static_cast<std::shared_ptr<QImage>*>(held); }, keeper);
}

bool isAllowedSize(const DecodeTarget& target, qint64 width, qint64 height)
{
    const qint64 limit = std::min(kMaxImagePixels, target.pixelLimit);
    // Each side is checked alone first, so that the product cannot overflow.
    return width > 0 && height > 0 && width <= limit && height <= limit && width * height <= limit;
}

bool isWindowInto(const QImage& image, const QImage& pixels, int margin)
{
    return !image.isNull()
        && image.constBits() == pixels.constBits() + margin * pixels.bytesPerLine() + margin * 4;
}

FramedImage framedCopyOf(const QImage& image, int margin)
{
    FramedImage framed;
    framed.margin = margin;
    auto pixels
        = std::make_shared<QImage>(unwrittenImage(image.width() + 2 * margin, image.height() + 2 * margin));
    if (pixels->isNull()) return framed;
    framed.image = windowInto(pixels, margin, image.width(), image.height());
    copyBlock(framed.image, 0, 0, image.width(), image.height(), image, 0, 0);
    framed.pixels = std::move(pixels);
    return framed;
}

QImage unwrittenImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
#ifdef MADV_HUGEPAGE
    constexpr qsizetype kLarge = qsizetype(8) << 20;
    if (!image.isNull() && image.sizeInBytes() >= kLarge) {
        const auto page = quintptr(sysconf(_SC_PAGESIZE));
        const quintptr start = (quintptr(image.bits()) + page - 1) & ~(page - 1);
        const quintptr end = (quintptr(image.bits()) + quintptr(image.sizeInBytes())) & ~(page - 1);
        if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#endif
    return image;
}

DecodedImage allocateImage(const DecodeTarget& target, qint64 width, qint64 height)
{
    const int margin = std::max(target.margin, 0);
    if (margin == 0) {
        QImage image = unwrittenImage(int(width), int(height));
        if (image.isNull()) return LoadError::OutOfMemory;
        return FramedImage { {}, std::move(image), 0 };
    }
    auto pixels = std::make_shared<QImage>(unwrittenImage(int(width) + 2 * margin, int(height) + 2 * margin));
    if (pixels->isNull()) return LoadError::OutOfMemory;
    QImage window = windowInto(pixels, margin, int(width), int(height));
    return FramedImage { std::move(pixels), std::move(window), margin };
}

void populateRows(const QImage& image, int fromRow, const std::atomic<bool>& stop)
{
#ifdef MADV_POPULATE_WRITE
    if (image.isNull()) return;
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    constexpr qsizetype kBand = qsizetype(16) << 20;
    const auto* start = image.constScanLine(std::clamp(fromRow, 0, image.height() - 1));
    const auto* end = image.constScanLine(image.height() - 1) + image.bytesPerLine();
    for (auto at = quintptr(start) & ~(page - 1); at < quintptr(end) && !stop; at += kBand) {
        const size_t length = std::min<size_t>(size_t(kBand), size_t(quintptr(end) - at));
        if (madvise(reinterpret_cast<void*>(at), length, MADV_POPULATE_WRITE) != 0) return;
    }
#else
    Q_UNUSED(image);
    Q_UNUSED(fromRow);
    Q_UNUSED(stop);
#endif
}

namespace {

// A JPEG decoded into a buffer allocated first, whose pages another thread gives it meanwhile;
// nothing for a file that is no JPEG.
std::optional<DecodedImage> readPopulatedJpeg(const ReadOnlyFile& file, const DecodeTarget& target)
{
    if (file.status() != ReadOnlyFile::Status::Open || !file.read(0, 2).startsWith("\xFF\xD8")) return {};
    const QSize size = readJpegSize(file);
    if (size.isEmpty() || target.reduction > 1 || !isAllowedSize(target, size.width(), size.height()))
        return {};
    DecodedImage decoded = allocateImage(target, size.width(), size.height());
    if (!decoded.ok()) return decoded;
    std::atomic<bool> decodeEnded { false };
    std::thread populating([&] { populateRows(decoded.framed.image, 0, decodeEnded); });
    const JpegRowsInto into { &decoded.framed.image, nullptr };
    LoadError error = LoadError::OutOfMemory;
    try {
        error = readJpeg(file, target, &into).error;
    } catch (const std::bad_alloc&) {
    }
    decodeEnded = true;
    populating.join();
    if (error != LoadError::None) return DecodedImage(error);
    return decoded;
}

} // namespace

DecodedImage readFramedImageFile(
    const QString& path, const DecodeTarget& target, const std::atomic<bool>* abandoned)
{
    const ReadOnlyFile file(path, abandoned);
    if (target.populateAhead) {
        if (std::optional<DecodedImage> populated = readPopulatedJpeg(file, target)) return std::move(*populated);
    }
    DecodedImage decoded = readOpenedFile(file, target);
    const int margin = std::max(target.margin, 0);
    if (!decoded.ok() || decoded.framed.margin == margin) return decoded;
    // A decoder that made its own image is copied into a buffer with the margin.
    FramedImage framed = framedCopyOf(decoded.framed.image, margin);
    if (framed.image.isNull()) return LoadError::OutOfMemory;
    return framed;
}

QSize jpegFileSize(const QString& path)
{
    const ReadOnlyFile file(path);
    if (file.status() != ReadOnlyFile::Status::Open || !file.read(0, 2).startsWith("\xFF\xD8")) return {};
    return readJpegSize(file);
}

LoadError decodeJpegInto(const QString& path, const QImage& image, DecodeProgress& progress)
{
    const ReadOnlyFile file(path, &progress.abandoned());
    if (file.status() != ReadOnlyFile::Status::Open) return readOpenedFile(file, {}).error;
    const JpegRowsInto into { &image, &progress };
    try {
        return readJpeg(file, {}, &into).error;
    } catch (const std::bad_alloc&) {
        return LoadError::OutOfMemory;
    }
}

LoadResult readImageFile(const QString& path, QImage& image)
{
    const DecodedImage decoded = readOpenedFile(ReadOnlyFile(path), DecodeTarget {});
    image = decoded.framed.image;
    return decoded.result();
}

namespace {

// Writes the piece and makes its bytes durable; a piece whose bytes may still be lost must not
// get its name.
bool writeDurably(int fd, const QImage& image, int& error)
{
    const bool written = writeBmp(fd, image, error);
    return syncAndClose(fd, written, error);
}

// Errors by which a file system says it offers no rename that keeps an existing file.
bool cannotRenameWithoutReplacing(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

// Errors by which a file system says it offers no hard links.
bool cannotLink(int error)
{
    return error == EPERM || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// Creates the name, which must not exist, and copies the temporary's bytes into it, synced. A
// name created but not filled whole is removed again, so nothing is left under it.
SaveOutcome copyToNewName(const QByteArray& temporary, const QByteArray& target, int& error)
{
    const int from = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        error = errno;
        return SaveOutcome::Failed;
    }
    const int to = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (to < 0) {
        error = errno;
        ::close(from);
        return error == EEXIST ? SaveOutcome::NameTaken : SaveOutcome::Failed;
    }
    const bool copied = copyRest(from, to, error);
    ::close(from);
    if (!syncAndClose(to, copied, error)) {
        ::unlink(target.constData());
        return SaveOutcome::Failed;
    }
    ::unlink(temporary.constData());
    return SaveOutcome::Written;
}

// Gives the temporary file its final name unless a file already has that name. Where the file
// system cannot rename without replacing, a hard link does the same. Where it has neither (some
// network and FUSE file systems), the name is created exclusively and the bytes are copied into
// it: a file of that name is still never replaced, though a crash during the copy can leave the
// name with part of the piece.
SaveOutcome claimName(const QByteArray& temporary, const QByteArray& target, int& error)
{
    const PieceNamingCalls& calls = pieceNamingCalls();
    if (calls.renameNoReplace(temporary.constData(), target.constData()) == 0) return SaveOutcome::Written;
    error = errno;
    if (error == EEXIST) return SaveOutcome::NameTaken;
    if (!cannotRenameWithoutReplacing(error)) return SaveOutcome::Failed;
    if (calls.link(temporary.constData(), target.constData()) == 0) {
        ::unlink(temporary.constData());
        return SaveOutcome::Written;
    }
    error = errno;
    if (error == EEXIST) return SaveOutcome::NameTaken;
    if (!cannotLink(error)) return SaveOutcome::Failed;
    return copyToNewName(temporary, target, error);
}

int renameWithoutReplacing(const char* from, const char* to)
{
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

} // namespace

PieceNamingCalls& pieceNamingCalls()
{
    static PieceNamingCalls calls { renameWithoutReplacing, ::link };
    return calls;
}

PreparedFile::PreparedFile(const QImage& image, const QString& folder)
{
    int error = 0;
    const int fd = createTemporary(folder, TemporaryKind::Piece, m_temporary, error);
    if (fd < 0) {
        m_temporary.clear();
        m_reason = systemErrorText(error);
    } else if (!writeDurably(fd, image, error)) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
        m_reason = systemErrorText(error);
    }
}

PreparedFile::~PreparedFile()
{
    if (!m_temporary.isEmpty()) ::unlink(m_temporary.constData());
}

SaveResult PreparedFile::name(const QString& path)
{
    if (m_temporary.isEmpty()) return { SaveOutcome::Failed, m_reason };
    int error = 0;
    const SaveOutcome outcome
        = claimName(m_temporary, QFile::encodeName(QFileInfo(path).absoluteFilePath()), error);
    switch (outcome) {
    case SaveOutcome::Written: m_temporary.clear(); return {};
    case SaveOutcome::NameTaken: return { outcome, systemErrorText(error) };
    case SaveOutcome::Failed: break;
    }
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    m_reason = systemErrorText(error);
    return { SaveOutcome::Failed, m_reason };
}
