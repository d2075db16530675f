#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// File-system services of the program, in native path form.

// The process's current directory, without a trailing separator.
QString currentDirectory();

// The separator that ends a folder path: "/" on POSIX, "\" on Windows.
QString pathSeparator();

// The current directory as folders are kept: with the separator that ends it, which the root
// already has.
QString currentFolder();

// True when the path names an existing file; a folder of that name does not count.
bool isExistingFile(const QString& path);

// Deletes a file; true when no file of that name is left.
bool deleteFile(const QString& path);

// Names of the regular files in `folder` (or links to them) that match `pattern`, such as
// "*.BMP", in the order the file system lists them. The pattern ignores letter case, so "*.BMP"
// also lists "a.bmp", as on the platforms the patterns come from. Folders, FIFOs, devices and
// sockets are left out: none of them holds an image, and reading a FIFO would wait for a writer.
QStringList listFolder(const QString& folder, const QString& pattern);
// The same for several patterns in one read of the folder: the names any of them matches.
QStringList listFolder(const QString& folder, const QStringList& patterns);

// True when the path names an existing folder.
bool isExistingFolder(const QString& path);

// True when the folder is the root of the file system ("/" on POSIX, a drive root on Windows).
bool isRootFolder(const QString& folder);

// The folder with the separator that ends it; an empty folder (the current one) stays empty.
QString withTrailingSeparator(const QString& folder);

// The folder a file of this path is in, absolute and without a trailing separator: what the path
// says up to its last separator, whatever the text before the file name meant to name.
QString folderOfFile(const QString& path);

// The system's text for an error number.
QString systemErrorText(int error);

// Which version of a file a path names: a file replaced or written to since has another device,
// inode, size or status-change time, even when its modification time was set back as it was
// (a copy that keeps times, an archive unpacked over it). Times are in nanoseconds.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modified = 0;
    qint64 changed = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`; none when there is no such file.
std::optional<FileIdentity> identityOf(const QString& path);

// A regular file opened to be read. Anything else of that name (a folder, a FIFO, a device, a
// socket) is refused without being opened, so a name that does not stand for a file of bytes can
// neither hold the program up nor feed it endless data.
class ReadOnlyFile
{
public:
    enum class Status { Open, Missing, Folder, NotRegular, Failed };

    // Once `abandoned` is set, the reads find nothing more, so whoever reads it soon gives up
    // as on a file that ends early.
    explicit ReadOnlyFile(const QString& path, const std::atomic<bool>* abandoned = nullptr);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    Status status() const { return m_status; }
    // The size the file had when it was opened.
    qint64 size() const { return m_size; }
    // Reads exactly `count` bytes from `offset`; false when the file holds fewer there.
    bool read(qint64 offset, void* into, qint64 count) const;
    // The bytes from `offset` on, at most `count`; fewer where the file ends.
    QByteArray read(qint64 offset, qint64 count) const;
    QByteArray readAll() const { return read(0, m_size); }
    // Reads up to `count` bytes from `offset`: how many it read, fewer where the file ends or fails.
    qint64 readUpTo(qint64 offset, char* into, qint64 count) const;

private:
    int m_fd = -1;
    const std::atomic<bool>* m_abandoned = nullptr;
    Status m_status = Status::Failed;
    qint64 m_size = 0;
};
