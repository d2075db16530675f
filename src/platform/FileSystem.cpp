#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString currentDirectory()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString pathSeparator()
{
    return QString(QDir::separator());
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

QStringList listFolder(const QString& folder, const QString& pattern)
{
    if (folder.isEmpty()) return {};
    const QDir dir(folder, pattern, QDir::Unsorted, QDir::Files | QDir::Hidden | QDir::System);
    return dir.entryList();
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
