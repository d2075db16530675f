#include "platform/BitmapStore.h"

#include <algorithm>

bool BitmapStore::CreateBitmap(Bitmap& bitmap, int width, int height)
{
    DeleteObject(bitmap);
    auto image = std::make_unique<QImage>(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (image->isNull()) return false;
    image->fill(0xFFFFFFFFu);
    if (bitmap.id <= 0) {
        bitmap.id = int(m_bitmaps.size());
        m_bitmaps.push_back(std::move(image));
    } else {
        m_bitmaps[size_t(bitmap.id)] = std::move(image);
    }
    return true;
}

void BitmapStore::DeleteObject(Bitmap& bitmap)
{
    if (bitmap.id > 0 && size_t(bitmap.id) < m_bitmaps.size()) m_bitmaps[size_t(bitmap.id)].reset();
}

int BitmapStore::CheckObject(Bitmap bitmap) const
{
    return Image(bitmap) ? 1 : 0;
}

const QImage* BitmapStore::Image(Bitmap bitmap) const
{
    if (bitmap.id <= 0 || size_t(bitmap.id) >= m_bitmaps.size()) return nullptr;
    return m_bitmaps[size_t(bitmap.id)].get();
}

QImage* BitmapStore::Image(Bitmap bitmap)
{
    return const_cast<QImage*>(static_cast<const BitmapStore*>(this)->Image(bitmap));
}

LoadResult BitmapStore::LoadBitmapFile(Bitmap& bitmap, const QString& path)
{
    QImage image;
    if (std::optional<QImage> ahead = m_prefetcher.take(path)) {
        image = std::move(*ahead);
        ++m_loadsTakenAhead;
    } else if (const LoadResult read = readImageFile(path, image); !read.ok()) {
        return read;
    }
    if (!CreateBitmap(bitmap, 1, 1)) return { LoadError::OutOfMemory };
    *Image(bitmap) = std::move(image);
    return {};
}

SaveResult BitmapStore::SaveFile(Bitmap bitmap, const QString& path)
{
    const QImage* image = Image(bitmap);
    if (!image) return { SaveOutcome::Failed, QStringLiteral("no bitmap") };
    return writeNewBmpFile(*image, path);
}

float BitmapStore::GetBitmapWidth(Bitmap bitmap) const
{
    return Image(bitmap) ? float(Image(bitmap)->width()) : 0;
}

float BitmapStore::GetBitmapHeight(Bitmap bitmap) const
{
    return Image(bitmap) ? float(Image(bitmap)->height()) : 0;
}

void BitmapStore::BitBlt(Bitmap target, int x, int y, int width, int height, Bitmap source, int sx, int sy)
{
    QImage* to = Image(target);
    const QImage* from = Image(source);
    if (to && from) copyBlock(*to, x, y, width, height, *from, sx, sy);
}

void BitmapStore::StretchBitmap(Bitmap target, Bitmap source, int x, int y, int width, int height)
{
    QImage* to = Image(target);
    const QImage* from = Image(source);
    if (!to || !from || width <= 0 || height <= 0) return;
    // Smooth scaling of an RGB32 image averages the whole source area under each target pixel
    // when it shrinks, so a line one pixel wide still shows at a tenth of the size.
    const QImage scaled = from->scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    copyBlock(*to, x, y, width, height, scaled, 0, 0);
}

void BitmapStore::DrawLine(
    Bitmap target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure, int pen)
{
    if (QImage* image = Image(target))
        drawFigure(*image, x1, y1, x2, y2, mode, width, figure, penColour(pen, mode));
}
