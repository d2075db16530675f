#include "platform/FileSystem.h"

#include <QDir>

QString currentDirectory()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString pathSeparator()
{
    return QString(QDir::separator());
}
