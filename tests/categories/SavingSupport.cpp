#include "categories/SavingSupport.h"

#include "trimming/Cropping.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace {

int bmpBitsPerPixel(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray header = file.read(30);
    if (header.size() < 30 || !header.startsWith("BM")) return -1;
    return uchar(header[28]) | (uchar(header[29]) << 8);
}

void setFrame(App& app, int category, int frame, QRect rect)
{
    app.FrameLeft[frame][category] = float(rect.left());
    app.FrameTop[frame][category] = float(rect.top());
    app.FrameRight[frame][category] = float(rect.right());
    app.FrameBottom[frame][category] = float(rect.bottom());
}

} // namespace

void verifyPiece(const QString& path, const QImage& source, const QRect& block)
{
    QVERIFY2(isExistingFile(path), qPrintable(path));
    QCOMPARE(bmpBitsPerPixel(path), 24);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), source.copy(block));
}

void setFrames(App& app, int category, const QList<QRect>& frames)
{
    for (int j = 0; j < frames.size(); ++j)
        setFrame(app, category, j, frames[j]);
    app.CatFrameCount[category] = int16_t(frames.size());
}

QRect blockOf(QRect frame)
{
    return frame.translated(-10, -10);
}

QRect blockOfPlacedFrame(const App& app, int j)
{
    const CropRect crop = cropOfFrame(app.FrameLeft[j][1], app.FrameTop[j][1], app.FrameRight[j][1],
        app.FrameBottom[j][1], app.Magnification, app.ImageWidth, app.ImageHeight);
    return QRect(int(crop.left), int(crop.top), int(crop.width()), int(crop.height()));
}

QStringList temporariesUnder(const QString& folder)
{
    QStringList found;
    QDirIterator it(
        folder, { QStringLiteral("*.tmp") }, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    return found;
}
