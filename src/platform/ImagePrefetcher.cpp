#include "platform/ImagePrefetcher.h"

#include "platform/Drawing.h"
#include "platform/ImageFiles.h"
#include "platform/Shrinking.h"

#include <QFileInfo>

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
        if (m_decoding == path || (m_heldPath == path && !m_held.framed.image.isNull())) return;
        m_wanted = path;
        m_wantedMargin = margin;
        m_decoding.clear();
        m_heldPath.clear();
        m_held = {};
    }
    m_changed.notify_all();
}

void ImagePrefetcher::setViewSize(ShrunkViewSize viewSize)
{
    {
        const std::lock_guard lock(m_mutex);
        m_viewSize = std::move(viewSize);
        if (m_held.framed.image.isNull() || heldViewFits()) return;
        if (viewInside(m_viewSize, m_held.framed).isEmpty()) {
            m_held.view = QImage(); // shown unshrunk now: the image is all that is needed
            return;
        }
        // Shrinking the image held here would race with its handing over; it is read again.
        m_wanted = std::exchange(m_heldPath, QString());
        m_wantedMargin = m_held.framed.margin;
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

// Only images within the limit are decoded ahead: the reader refuses a larger one from its
// header, before allocating anything, and it never waits on anything but a regular file.
std::optional<ImagePrefetcher::Decoded> ImagePrefetcher::decode(const QString& path, int margin) const
{
    Decoded decoded;
    if (!readFramedImageFile(path, margin, decoded.framed, kPrefetchLimitPixels).ok()) return std::nullopt;
    return decoded;
}

// The inside of the view the rule asks for; empty where the image is not shown shrunk.
QSize ImagePrefetcher::viewInside(const ShrunkViewSize& viewSize, const FramedImage& framed)
{
    const QSize image = framed.image.size();
    const QSize inside = viewSize ? viewSize(image) : QSize();
    if (inside.isEmpty() || inside.width() > image.width() || inside.height() > image.height()) return {};
    return inside;
}

QImage ImagePrefetcher::shrunkView(const FramedImage& framed, QSize inside)
{
    if (inside.isEmpty()) return {};
    const int margin = framed.margin;
    QImage view = unwrittenImage(inside.width() + 2 * margin, inside.height() + 2 * margin);
    if (view.isNull()) return {};
    whitenMargin(view, margin);
    shrinkInto(view, QRect(QPoint(margin, margin), inside), framed.image);
    return view;
}

bool ImagePrefetcher::heldViewFits() const
{
    const int margin = m_held.framed.margin;
    const QSize held = m_held.view.isNull() ? QSize() : m_held.view.size() - QSize(2 * margin, 2 * margin);
    return held == viewInside(m_viewSize, m_held.framed);
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
        std::optional<Decoded> image = decode(path, margin);
        lock.lock();
        // The view follows the rule as it is once the image is decoded.
        if (image && m_decoding == path) {
            const QSize inside = viewInside(m_viewSize, image->framed);
            lock.unlock();
            image->view = shrunkView(image->framed, inside);
            lock.lock();
        }
        if (m_decoding == path && image) {
            m_heldPath = path;
            m_heldStamp = stamp;
            m_held = std::move(*image);
        }
        m_decoding.clear();
        m_changed.notify_all();
    }
}
