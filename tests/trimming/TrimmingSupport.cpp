#include "trimming/TrimmingSupport.h"

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

QSet<QPoint> linePixels(int x1, int y1, int x2, int y2)
{
    QSet<QPoint> points;
    for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
        for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x)
            points.insert(QPoint(x, y));
    return points;
}

QSet<QPoint> xorOf(const QList<QSet<QPoint>>& lines)
{
    QSet<QPoint> result;
    for (const QSet<QPoint>& line : lines)
        for (const QPoint& p : line) {
            if (result.contains(p))
                result.remove(p);
            else
                result.insert(p);
        }
    return result;
}
