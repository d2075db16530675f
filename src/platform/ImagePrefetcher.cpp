#include "platform/ImagePrefetcher.h"

#include "platform/ImageFiles.h"

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

void ImagePrefetcher::prefetch(const QString& path, int margin)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_decoding == path || (m_heldPath == path && !m_held.image.isNull())) return;
        m_wanted = path;
        m_wantedMargin = margin;
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

std::optional<FramedImage> ImagePrefetcher::take(const QString& path)
{
    std::unique_lock lock(m_mutex);
    if (m_wanted == path) m_wanted.clear(); // not started: reading it now is as quick
    m_changed.wait(lock, [&] { return m_decoding != path; });
    std::optional<FramedImage> taken;
    if (m_heldPath == path && !m_held.image.isNull() && stampOf(path) == m_heldStamp)
        taken = std::move(m_held);
    m_heldPath.clear();
    m_held = {};
    return taken;
}

bool ImagePrefetcher::waitUntilIdle(const QString& path)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_wanted.isEmpty() && m_decoding.isEmpty(); });
    return m_heldPath == path && !m_held.image.isNull();
}

ImagePrefetcher::FileStamp ImagePrefetcher::stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile()) return {};
    return { info.size(), info.lastModified() };
}

// Only images within the limit are decoded ahead; the size comes from the header alone.
std::optional<FramedImage> ImagePrefetcher::decode(const QString& path, int margin) const
{
    // Anything but a regular file could block the reader; it is left to the opening to refuse.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QImageReader header(path);
    header.setDecideFormatFromContent(true);
    const QSize size = header.size();
    if (!size.isValid() || qint64(size.width()) * qAbs(size.height()) > kPrefetchLimitPixels)
        return std::nullopt;
    FramedImage framed;
    if (!readFramedImageFile(path, margin, framed).ok()) return std::nullopt;
    return framed;
}

void ImagePrefetcher::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_stopping || !m_wanted.isEmpty(); });
        if (m_stopping) return;
        const QString path = std::exchange(m_wanted, QString());
        const int margin = m_wantedMargin;
        m_decoding = path;
        lock.unlock();
        // The stamp is taken before reading, so a file replaced during the read is not taken.
        const FileStamp stamp = stampOf(path);
        std::optional<FramedImage> image = decode(path, margin);
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
