#include "platform/DurableFiles.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString kTemporaryStart = QStringLiteral(".velmora-");
const QString kTemporaryEnd = QStringLiteral(".tmp");

QString kindName(TemporaryKind kind)
{
    switch (kind) {
    case TemporaryKind::Piece: return QStringLiteral("piece");
    case TemporaryKind::Settings: return QStringLiteral("settings");
    }
    return {};
}

// The host is in the name so that a folder shared between machines never has one machine take
// another's process for ended.
QString hostPart()
{
    return QSysInfo::machineHostName() + QLatin1Char('-');
}

// The process that wrote a temporary of this host, from its name; 0 when it is none of ours.
qint64 writerOf(const QString& name)
{
    if (!name.endsWith(kTemporaryEnd)) return 0;
    for (const TemporaryKind kind : { TemporaryKind::Piece, TemporaryKind::Settings }) {
        const QString start = kTemporaryStart + kindName(kind) + QLatin1Char('-') + hostPart();
        if (!name.startsWith(start)) continue;
        bool isNumber = false;
        const qint64 processId = name.mid(start.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
        return isNumber && processId > 0 ? processId : 0;
    }
    return 0;
}

// A process that still runs may be about to name its file; so may one that this user is not
// allowed to signal.
bool hasEnded(qint64 processId)
{
    return ::kill(pid_t(processId), 0) != 0 && errno == ESRCH;
}

} // namespace

bool writeAll(int fd, QByteArrayView bytes, int& error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error = written < 0 ? errno : ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

QString temporaryPrefix(TemporaryKind kind, qint64 processId)
{
    return kTemporaryStart + kindName(kind) + QLatin1Char('-') + hostPart() + QString::number(processId)
        + QLatin1Char('-');
}

int createTemporary(const QString& folder, TemporaryKind kind, QByteArray& name, int& error)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const QString prefix = withTrailingSeparator(folder) + temporaryPrefix(kind, ::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString unique;
        for (int i = 0; i < 6; ++i)
            unique += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        name = QFile::encodeName(prefix + unique + kTemporaryEnd);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if ((error = errno) != EEXIST) return -1;
    }
    return -1;
}

void removeAbandonedTemporaries(const QString& folder)
{
    for (const QString& name : listFolder(folder, QStringLiteral("*") + kTemporaryEnd)) {
        const qint64 writer = writerOf(name);
        if (writer > 0 && hasEnded(writer)) QFile::remove(withTrailingSeparator(folder) + name);
    }
}

bool copyRest(int from, int to, int& error)
{
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const ssize_t count = ::read(from, buffer.data(), size_t(buffer.size()));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            error = errno;
            return false;
        }
        if (count == 0) return true;
        if (!writeAll(to, QByteArrayView(buffer).first(count), error)) return false;
    }
}

bool syncAndClose(int fd, bool written, int& error)
{
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

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool replaceFileDurably(const QString& path, const QByteArray& bytes, TemporaryKind kind, QString& reason)
{
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray temporary;
    int error = 0;
    const int fd = createTemporary(folder, kind, temporary, error);
    if (fd < 0) {
        reason = systemErrorText(error);
        return false;
    }
    bool written = syncAndClose(fd, writeAll(fd, bytes, error), error);
    if (written && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        error = errno;
        written = false;
    }
    if (!written) {
        ::unlink(temporary.constData());
        reason = systemErrorText(error);
        return false;
    }
    syncFolder(folder);
    return true;
}

bool canCreateFilesIn(const QString& folder, QString& reason)
{
    QByteArray temporary;
    int error = 0;
    const int fd = createTemporary(folder, TemporaryKind::Settings, temporary, error);
    if (fd < 0) {
        reason = systemErrorText(error);
        return false;
    }
    ::close(fd);
    ::unlink(temporary.constData());
    return true;
}
