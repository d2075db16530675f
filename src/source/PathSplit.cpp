#include "source/PathSplit.h"

namespace {

bool isSeparator(QChar c, PathStyle style)
{
    return c == QLatin1Char('/') || (style == PathStyle::Windows && c == QLatin1Char('\\'));
}

// Length of the drive prefix: a letter and a colon, or the server and share of a network path.
qsizetype driveLength(const QString& path, PathStyle style)
{
    if (style != PathStyle::Windows) return 0;
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) return 2;
    if (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style)) {
        qsizetype end = 2;
        for (int part = 0; part < 2; ++part) {
            if (part == 1) ++end; // the separator between server and share
            while (end < path.size() && !isSeparator(path[end], style))
                ++end;
            if (end >= path.size()) return path.size();
        }
        return end;
    }
    return 0;
}

} // namespace

PathStyle nativePathStyle()
{
#ifdef Q_OS_WIN
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

PathParts splitPath(const QString& path, PathStyle style)
{
    PathParts parts;
    const qsizetype driveEnd = driveLength(path, style);
    parts.drive = path.left(driveEnd);

    qsizetype nameStart = driveEnd;
    for (qsizetype i = driveEnd; i < path.size(); ++i)
        if (isSeparator(path[i], style)) nameStart = i + 1;
    parts.directory = path.mid(driveEnd, nameStart - driveEnd);

    const QString finalComponent = path.mid(nameStart);
    const qsizetype dot = finalComponent.lastIndexOf(QLatin1Char('.'));
    parts.name = dot < 0 ? finalComponent : finalComponent.left(dot);
    parts.extension = dot < 0 ? QString() : finalComponent.mid(dot);
    return parts;
}
