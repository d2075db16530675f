#include "platform/ImageFiles.h"

#include "platform/BmpFiles.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Decoders may allocate up to 8 bytes a pixel (16-bit channels) for the largest image.
constexpr int kAllocationLimitMegabytes = int(kMaxImagePixels * 8 / (1024 * 1024));

constexpr LoadResult kUnreadable { LoadError::Unreadable };
constexpr LoadResult kOutOfMemory { LoadError::OutOfMemory };

quint32 littleEndian32(const uchar* bytes)
{
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 | quint32(bytes[3]) << 24;
}

quint16 littleEndian16(const uchar* bytes)
{
    return quint16(bytes[0] | bytes[1] << 8);
}

// An uncompressed BMP must hold every row its header announces. Compressed variants end
// where their codes say, which their decoders check themselves.
bool bmpDataComplete(const uchar* data, qint64 headerBytes, qint64 size)
{
    constexpr qint64 kFileHeader = 14;
    if (headerBytes < kFileHeader + 4) return false;
    const qint64 offset = littleEndian32(data + 10);
    const qint64 infoSize = littleEndian32(data + kFileHeader);
    qint64 width = 0, height = 0, bitCount = 0, compression = 0;
    if (infoSize == 12) { // the old OS/2 header
        if (headerBytes < kFileHeader + 12) return false;
        width = littleEndian16(data + 18);
        height = littleEndian16(data + 20);
        bitCount = littleEndian16(data + 24);
    } else {
        if (headerBytes < kFileHeader + 40) return false;
        width = qint32(littleEndian32(data + 18));
        height = qint32(littleEndian32(data + 22));
        bitCount = littleEndian16(data + 28);
        compression = littleEndian32(data + 30);
    }
    constexpr qint64 kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) return true;
    const qint64 rowBytes = (std::abs(width) * bitCount + 31) / 32 * 4;
    const qint64 pixelStart = std::max(offset, kFileHeader + infoSize);
    return size >= pixelStart + rowBytes * std::abs(height);
}

// A JPEG is complete when its end-of-image marker follows the last scan. The marker segments
// are walked by their lengths, so markers inside embedded thumbnails are not mistaken for it.
bool jpegDataComplete(const uchar* data, qint64 size)
{
    qint64 at = 2; // after the start-of-image marker
    while (at + 1 < size) {
        if (data[at] != 0xFF) return false;
        while (at < size && data[at] == 0xFF)
            ++at; // fill bytes
        if (at >= size) return false;
        const uchar marker = data[at++];
        if (marker == 0xD9) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue; // no length
        if (at + 2 > size) return false;
        at += (qint64(data[at]) << 8 | data[at + 1]);
        if (marker != 0xDA) continue;
        // Entropy-coded data: an 0xFF there is followed by 0x00 or a restart marker.
        while (true) {
            const void* found = at < size ? std::memchr(data + at, 0xFF, size_t(size - at)) : nullptr;
            if (!found) return false;
            at = static_cast<const uchar*>(found) - data;
            if (at + 1 >= size) return false;
            const uchar next = data[at + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                at += next == 0xFF ? 1 : 2;
                continue;
            }
            break; // the next marker
        }
    }
    return false;
}

// The whole of a JPEG is walked; a BMP needs only its headers and the file's size.
LoadResult checkComplete(const QByteArray& bytes, const QByteArray& format)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qint64 size = bytes.size();
    if (size == 0) return kUnreadable;
    if (format == "bmp") return bmpDataComplete(data, size, size) ? LoadResult {} : kUnreadable;
    if (format == "jpeg" || format == "jpg")
        return jpegDataComplete(data, size) ? LoadResult {} : kUnreadable;
    return {};
}

LoadResult decode(const QByteArray& bytes, QImage& image)
{
    QImageReader::setAllocationLimit(kAllocationLimitMegabytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty()) return kUnreadable;

    // The header's size is checked before the decoder allocates anything for it. A top-down
    // BMP reports a negative height.
    const QSize claimed = reader.size();
    const bool sizeKnown = claimed.width() > 0 && claimed.height() != 0;
    const qint64 pixels = sizeKnown ? qint64(claimed.width()) * std::abs(claimed.height()) : 0;
    if (pixels > kMaxImagePixels) return kUnreadable;
    if (LoadResult complete = checkComplete(bytes, format); !complete.ok()) return complete;

    QImage read = reader.read();
    if (read.isNull()) {
        // A decoder reports a failed allocation like any other failure; try the allocation
        // once to tell the two apart.
        if (pixels > 0 && QImage(claimed.width(), std::abs(claimed.height()), QImage::Format_RGB32).isNull())
            return kOutOfMemory;
        return kUnreadable;
    }
    image = read.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return kOutOfMemory;
    return {};
}

} // namespace

LoadResult readImageFile(const QString& path, QImage& image)
{
    const ReadOnlyFile file(path);
    switch (file.status()) {
    case ReadOnlyFile::Status::Open: break;
    case ReadOnlyFile::Status::Missing:
    case ReadOnlyFile::Status::Folder: return { LoadError::NotFound };
    case ReadOnlyFile::Status::NotRegular:
    case ReadOnlyFile::Status::Failed: return kUnreadable;
    }
    try {
        return decode(file.readAll(), image);
    } catch (const std::bad_alloc&) {
        image = QImage();
        return kOutOfMemory;
    }
}

namespace {

const QString kTemporaryStart = QStringLiteral(".velmora-piece-");

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The start of the temporary names of this host's processes. The host is in the name so that a
// folder shared between machines never has one machine take another's process for ended.
QString hostTemporaryStart()
{
    return kTemporaryStart + QSysInfo::machineHostName() + QLatin1Char('-');
}

// Creates the piece's temporary file in `folder` with a fresh name. The permissions are those of
// any file the user creates, since the file becomes the piece.
int createTemporary(const QString& folder, QByteArray& name, int& error)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString unique;
        for (int i = 0; i < 6; ++i)
            unique += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        name = QFile::encodeName(
            folder + QLatin1Char('/') + pieceTemporaryPrefix(::getpid()) + unique + QStringLiteral(".tmp"));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if ((error = errno) != EEXIST) return -1;
    }
    return -1;
}

// Writes the piece and makes its bytes durable; a piece whose bytes may still be lost must not
// get its name.
bool writeDurably(int fd, const QImage& image, int& error)
{
    bool written = writeBmp(fd, image, error);
    if (written && ::fsync(fd) != 0) {
        error = errno;
        written = false;
    }
    // A network file system may tell of a failed write only when the file is closed.
    if (::close(fd) != 0 && written) {
        error = errno;
        written = false;
    }
    return written;
}

// Gives the temporary file its final name unless a file already has that name. Where the file
// system cannot rename without replacing, a hard link does the same.
SaveOutcome claimName(const QByteArray& temporary, const QByteArray& target, int& error)
{
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return SaveOutcome::Written;
    error = errno;
    if (error == EEXIST) return SaveOutcome::NameTaken;
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP) return SaveOutcome::Failed;
    if (::link(temporary.constData(), target.constData()) == 0) {
        ::unlink(temporary.constData());
        return SaveOutcome::Written;
    }
    error = errno;
    return error == EEXIST ? SaveOutcome::NameTaken : SaveOutcome::Failed;
}

// Makes the new name durable. Some file systems cannot sync a folder; the piece is whole and
// named all the same, so that is no failure of the save.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

SaveResult writeNewBmpFile(const QImage& image, const QString& path)
{
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    QByteArray temporary;
    int error = 0;
    const int fd = createTemporary(folder, temporary, error);
    if (fd < 0) return { SaveOutcome::Failed, reasonOf(error) };
    const SaveOutcome outcome = writeDurably(fd, image, error)
        ? claimName(temporary, QFile::encodeName(target.absoluteFilePath()), error)
        : SaveOutcome::Failed;
    if (outcome != SaveOutcome::Written) {
        ::unlink(temporary.constData());
        return { outcome, reasonOf(error) };
    }
    syncFolder(folder);
    return {};
}

QString pieceTemporaryPrefix(qint64 processId)
{
    return hostTemporaryStart() + QString::number(processId) + QLatin1Char('-');
}

void removeAbandonedTemporaries(const QString& folder)
{
    const QString start = hostTemporaryStart();
    const QDir dir(
        folder, kTemporaryStart + QStringLiteral("*.tmp"), QDir::Unsorted, QDir::Files | QDir::Hidden);
    for (const QString& name : dir.entryList()) {
        if (!name.startsWith(start)) continue;
        bool isNumber = false;
        const qint64 processId = name.mid(start.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
        // A process that still runs may be about to name its file; so may one that this user
        // is not allowed to signal.
        if (!isNumber || processId <= 0 || ::kill(pid_t(processId), 0) == 0 || errno != ESRCH) continue;
        QFile::remove(dir.filePath(name));
    }
}
