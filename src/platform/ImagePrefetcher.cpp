#include "platform/ImagePrefetcher.h"

#include "platform/Drawing.h"
#include "platform/ImageFiles.h"
#include "platform/Shrinking.h"

#include <QFileInfo>
#include <QImageReader>

ImagePrefetcher::ImagePrefetcher()
    : m_worker([this] { work(); })
{
}

ImagePrefetcher::~ImagePrefetcher()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_decoding.clear();
    }
    m_changed.notify_all();
    m_worker.join();
}

void ImagePrefetcher::prefetch(const QString& path, int margin, ShrunkViewSize viewSize)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_decoding == path || (m_heldPath == path && !m_held.framed.image.isNull())) return;
        m_wanted = path;
        m_wantedMargin = margin;
        m_wantedViewSize = std::move(viewSize);
        m_decoding.clear();
        m_heldPath.clear();
        m_held = {};
    }
    m_changed.notify_all();
}

void ImagePrefetcher::drop()
{
    const std::lock_guard lock(m_mutex);
    m_wanted.clear();
    m_decoding.clear();
    m_heldPath.clear();
    m_held = {};
}

std::optional<ImagePrefetcher::Decoded> ImagePrefetcher::take(const QString& path)
{
    std::unique_lock lock(m_mutex);
    if (m_wanted == path) m_wanted.clear(); // not started: reading it now is as quick
    m_changed.wait(lock, [&] { return m_decoding != path; });
    std::optional<Decoded> taken;
    if (m_heldPath == path && !m_held.framed.image.isNull() && stampOf(path) == m_heldStamp)
        taken = std::move(m_held);
    m_heldPath.clear();
    m_held = {};
    return taken;
}

bool ImagePrefetcher::waitUntilIdle(const QString& path)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_wanted.isEmpty() && m_decoding.isEmpty(); });
    return m_heldPath == path && !m_held.framed.image.isNull();
}

ImagePrefetcher::FileStamp ImagePrefetcher::stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile()) return {};
    return { info.size(), info.lastModified() };
}

// Only images within the limit are decoded ahead; the size comes from the header alone.
std::optional<ImagePrefetcher::Decoded> ImagePrefetcher::decode(
    const QString& path, int margin, const ShrunkViewSize& viewSize) const
{
    // Anything but a regular file could block the reader; it is left to the opening to refuse.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QImageReader header(path);
    header.setDecideFormatFromContent(true);
    const QSize size = header.size();
    if (!size.isValid() || qint64(size.width()) * qAbs(size.height()) > kPrefetchLimitPixels)
        return std::nullopt;
    Decoded decoded;
    if (!readFramedImageFile(path, margin, decoded.framed).ok()) return std::nullopt;
    const QImage& image = decoded.framed.image;
    const QSize inside = viewSize ? viewSize(image.size()) : QSize();
    if (!inside.isEmpty() && inside.width() <= image.width() && inside.height() <= image.height()) {
        decoded.view = unwrittenImage(inside.width() + 2 * margin, inside.height() + 2 * margin);
        if (!decoded.view.isNull()) {
            whitenMargin(decoded.view, margin);
            shrinkInto(decoded.view, QRect(QPoint(margin, margin), inside), image);
        }
    }
    return decoded;
}

void ImagePrefetcher::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_wanted.isEmpty(); });
        if (m_stopping) return;
        const QString path = std::exchange(m_wanted, QString());
        const int margin = m_wantedMargin;
        const ShrunkViewSize viewSize = std::exchange(m_wantedViewSize, {});
        m_decoding = path;
        lock.unlock();
        // The stamp is taken before reading, so a file replaced during the read is not taken.
        const FileStamp stamp = stampOf(path);
        std::optional<Decoded> image = decode(path, margin, viewSize);
        lock.lock();
        if (m_decoding == path && image) {
            m_heldPath = path;
            m_heldStamp = stamp;
            m_held = std::move(*image);
        }
        m_decoding.clear();
        m_changed.notify_all();
    }
}
