#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// What a benchmark reports of the machine and of its own process beside its figures.

// The load average of the last minute: how many other jobs the figures had to share the cores
// with.
inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

// The high-water mark of this process's resident memory, in bytes.
inline double residentPeak()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
    return 0;
}
