#pragma once

#include "platform/Drawing.h"
#include "platform/Handles.h"
#include "platform/ImageFiles.h"
#include "platform/ImagePrefetcher.h"

#include <QImage>
#include <QString>

#include <memory>
#include <vector>

// The off-screen bitmaps of the program and what it does with them: create and delete, read
// from and write to files, copy blocks, stretch and draw lines. Bitmaps are handles over
// Format_RGB32 images; nothing here needs a window.
class BitmapStore
{
public:
    bool CreateBitmap(Bitmap& bitmap, int width, int height);
    void DeleteObject(Bitmap& bitmap);
    int CheckObject(Bitmap bitmap) const;
    LoadResult LoadBitmapFile(Bitmap& bitmap, const QString& path);
    // Writes a 24-bit BMP file under a name that no file has yet; it never replaces a file.
    SaveResult SaveFile(Bitmap bitmap, const QString& path);
    float GetBitmapWidth(Bitmap bitmap) const;
    float GetBitmapHeight(Bitmap bitmap) const;
    const QImage* Image(Bitmap bitmap) const;
    QImage* Image(Bitmap bitmap);
    void SetMapMode(Bitmap, int) { } // coordinates are always pixels

    // The image likely to be loaded next is decoded ahead on a worker thread; LoadBitmapFile
    // takes it instead of reading the file when the file is unchanged.
    void Prefetch(const QString& path) { m_prefetcher.prefetch(path); }
    void DropPrefetch() { m_prefetcher.drop(); }
    bool WaitForPrefetch(const QString& path) { return m_prefetcher.waitUntilIdle(path); }
    int LoadsTakenAhead() const { return m_loadsTakenAhead; }

    void BitBlt(Bitmap target, int x, int y, int width, int height, Bitmap source, int sx, int sy);
    void StretchBitmap(Bitmap target, Bitmap source, int x, int y, int width, int height);
    void DrawLine(Bitmap target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure,
        int pen = Pen::Default);

private:
    ImagePrefetcher m_prefetcher;
    int m_loadsTakenAhead = 0;
    std::vector<std::unique_ptr<QImage>> m_bitmaps = std::vector<std::unique_ptr<QImage>>(1); // 0: unbound
};
