// Loads whatever a file holds through the program's own load path. Any file either loads as an
// RGB32 image within the size limit or is refused, leaving no image.

#include "FuzzSupport.h"

#include "image/ImageFiles.h"

#include <QCoreApplication>

namespace {

QString inputPath;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv); // never destroyed, like the program's own
    inputPath = scratchFolder() + QStringLiteral("/input");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString& path = inputPath;
    writeInput(path, data, size);
    QImage image;
    const LoadResult result = readImageFile(path, image);
    if (!result.ok()) {
        require(image.isNull(), "a refused file leaves no image");
        return 0;
    }
    require(image.format() == QImage::Format_RGB32, "a loaded image is RGB32");
    require(qint64(image.width()) * image.height() <= kMaxImagePixels, "a loaded image is within the limit");
    return 0;
}
