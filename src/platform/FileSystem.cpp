#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString currentDirectory()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString pathSeparator()
{
    return QString(QDir::separator());
}

QString currentFolder()
{
    return withTrailingSeparator(currentDirectory());
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isExistingFile(const QString& path)
{
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool deleteFile(const QString& path)
{
    return QFile::remove(path) || !isExistingFile(path);
}

namespace {

// A name pattern, read once for a whole folder: "*.EXT" as the name's ending ".EXT", compared
// without letter case; any other pattern through wildcard matching, also without letter case.
class NamePattern
{
public:
    explicit NamePattern(const QString& pattern)
    {
        if (pattern.startsWith(QLatin1String("*.")) && pattern.count(QLatin1Char('*')) == 1
            && !pattern.contains(QLatin1Char('?')))
            m_ending = pattern.mid(1);
        else
            m_wildcard = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
    }
    bool matches(const QString& name) const
    {
        return m_ending.isEmpty() ? m_wildcard.match(name).hasMatch()
                                  : name.endsWith(m_ending, Qt::CaseInsensitive);
    }

private:
    QString m_ending;
    QRegularExpression m_wildcard;
};

// A regular file, or a link to one. The entry's type spares most names a call to stat.
bool isRegularEntry(int folder, const dirent& entry)
{
    if (entry.d_type == DT_REG) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat info = {};
    return ::fstatat(folder, entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

} // namespace

QStringList listFolder(const QString& folder, const QString& pattern)
{
    return listFolder(folder, QStringList { pattern });
}

QStringList listFolder(const QString& folder, const QStringList& patterns)
{
    if (folder.isEmpty()) return {};
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) return {};
    const std::vector<NamePattern> wanted(patterns.begin(), patterns.end());
    QStringList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (std::any_of(wanted.begin(), wanted.end(), [&](const NamePattern& p) { return p.matches(name); })
            && isRegularEntry(::dirfd(dir), *entry))
            names << name;
    }
    ::closedir(dir);
    return names;
}

bool isExistingFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool isRootFolder(const QString& folder)
{
    return !folder.isEmpty() && QDir(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())).isRoot();
}

QString withTrailingSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(pathSeparator()) || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + pathSeparator();
}

QString folderOfFile(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat info = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto nanoseconds
        = [](const timespec& time) { return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec; };
    return FileIdentity { quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
        nanoseconds(info.st_mtim), nanoseconds(info.st_ctim) };
}

namespace {

ReadOnlyFile::Status statusOf(const struct stat& info)
{
    if (S_ISREG(info.st_mode)) return ReadOnlyFile::Status::Open;
    return S_ISDIR(info.st_mode) ? ReadOnlyFile::Status::Folder : ReadOnlyFile::Status::NotRegular;
}

ReadOnlyFile::Status statusOfError(int error)
{
    return error == ENOENT || error == ENOTDIR ? ReadOnlyFile::Status::Missing : ReadOnlyFile::Status::Failed;
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const QString& path, const std::atomic<bool>* abandoned)
    : m_abandoned(abandoned)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    // Only a regular file is opened at all: opening a device may already act on it.
    if (path.isEmpty() || ::stat(name.constData(), &info) != 0) {
        m_status = path.isEmpty() ? Status::Missing : statusOfError(errno);
        return;
    }
    if ((m_status = statusOf(info)) != Status::Open) return;
    // Should a FIFO take the file's place meanwhile, opening it does not wait for a writer, and
    // the second look refuses it.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_status = statusOfError(errno);
        return;
    }
    if (::fstat(m_fd, &info) != 0) {
        m_status = Status::Failed;
        return;
    }
    m_status = statusOf(info);
    m_size = info.st_size;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0) ::close(m_fd);
}

qint64 ReadOnlyFile::readUpTo(qint64 offset, char* into, qint64 count) const
{
    if (m_status != Status::Open || offset < 0 || count < 0) return 0;
    qint64 got = 0;
    while (got < count && !(m_abandoned && m_abandoned->load(std::memory_order_relaxed))) {
        const ssize_t now = ::pread(m_fd, into + got, size_t(count - got), off_t(offset + got));
        if (now < 0 && errno == EINTR) continue;
        if (now <= 0) break;
        got += now;
    }
    return got;
}

bool ReadOnlyFile::read(qint64 offset, void* into, qint64 count) const
{
    return readUpTo(offset, static_cast<char*>(into), count) == count;
}

QByteArray ReadOnlyFile::read(qint64 offset, qint64 count) const
{
    QByteArray bytes(std::clamp<qint64>(std::min(count, m_size - offset), 0, m_size), Qt::Uninitialized);
    bytes.truncate(readUpTo(offset, bytes.data(), bytes.size()));
    return bytes;
}
