#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

QString scratchFolder()
{
    const QString base
        = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    // Lives until the process ends.
    static QTemporaryDir scratch(base + QStringLiteral("/velmora-fuzz-XXXXXX"));
    require(scratch.isValid(), "a scratch folder");
    return scratch.path();
}

void writeInput(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
    require(written, "the input written to a file");
}

void require(bool holds, const char* what)
{
    if (holds) return;
    // On standard output: the fuzz runs close the targets' standard error, where the libraries
    // the loader uses tell of every broken file they meet.
    std::printf("property does not hold: %s\n", what);
    std::fflush(stdout);
    std::abort();
}
