#include "image/ImagePrefetcher.h"

#include "image/ContentFinder.h"

#include "image/ImageFiles.h"
#include "image/Shrinking.h"

ImagePrefetcher::ImagePrefetcher(Decoder decoder)
    : m_decoder(std::move(decoder))
    , m_worker([this] { work(); })
{
}

ImagePrefetcher::~ImagePrefetcher()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        abandonDecode();
    }
    m_changed.notify_all();
    m_worker.join();
}

void ImagePrefetcher::prefetch(const QString& path, int margin)
{
    if (path.isEmpty()) {
        drop();
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (m_decoding == path || (m_heldPath == path && !m_held.framed.image.isNull())) return;
        m_wanted = path;
        m_wantedMargin = margin;
        abandonDecode();
        dropHeld();
    }
    m_changed.notify_all();
}

void ImagePrefetcher::setViewSize(ShrunkViewSize viewSize)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        m_viewSize = std::move(viewSize);
        wake = reviewHeldView();
    }
    if (wake) m_changed.notify_all();
}

// Makes the view held fit the rule: dropped where the image will be shown unshrunk, left to the
// worker to shrink anew where another size is wanted (then true). Called with the lock held.
bool ImagePrefetcher::reviewHeldView()
{
    if (m_held.framed.image.isNull() || heldViewFits()) return false;
    if (viewInside(m_viewSize, m_held.framed).isEmpty()) {
        m_held.view = QImage();
        return false;
    }
    m_reshrink = true;
    return true;
}

void ImagePrefetcher::drop()
{
    const std::lock_guard lock(m_mutex);
    m_wanted.reset();
    abandonDecode();
    dropHeld();
}

// What the worker does is thrown away when it ends, and the reading stops soon. Called with the
// lock held.
void ImagePrefetcher::abandonDecode()
{
    m_decoding.reset();
    m_abandoned = true;
}

void ImagePrefetcher::dropHeld()
{
    m_heldPath.clear();
    m_held = {};
    m_reshrink = false;
}

std::optional<ImagePrefetcher::Decoded> ImagePrefetcher::take(const QString& path)
{
    std::unique_lock lock(m_mutex);
    // Not started: reading it now is as quick. Another file is not decoded beside this one.
    m_wanted.reset();
    if (m_decoding != path) abandonDecode();
    m_changed.wait(lock, [&] { return !m_working; });
    std::optional<Decoded> taken;
    if (m_heldPath == path && !m_held.framed.image.isNull() && identityOf(path) == m_heldIdentity)
        taken = std::move(m_held);
    dropHeld();
    return taken;
}

void ImagePrefetcher::useDecoder(Decoder decoder)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_working; });
    m_decoder = std::move(decoder);
}

bool ImagePrefetcher::waitUntilIdle(const QString& path)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_wanted && !m_working && !m_reshrink; });
    return m_heldPath == path && !m_held.framed.image.isNull();
}

// Only images within the limit are decoded ahead: the reader refuses a larger one from its
// header, before allocating anything, and it never waits on anything but a regular file.
std::optional<ImagePrefetcher::Decoded> ImagePrefetcher::decodeFile(
    const QString& path, int margin, const std::atomic<bool>& abandoned)
{
    // The user looks at the image on show meanwhile: a core is free to give the buffer its pages.
    DecodeTarget target { margin, kPrefetchLimitPixels };
    target.populateAhead = true;
    DecodedImage read = readFramedImageFile(path, target, &abandoned);
    if (!read.ok()) return std::nullopt;
    return Decoded { std::move(read.framed), {}, std::nullopt };
}

// The inside of the view the rule asks for; empty where the image is not shown shrunk.
QSize ImagePrefetcher::viewInside(const ShrunkViewSize& viewSize, const FramedImage& framed)
{
    const QSize image = framed.image.size();
    const QSize inside = viewSize ? viewSize(image) : QSize();
    if (inside.isEmpty() || inside.width() > image.width() || inside.height() > image.height()) return {};
    return inside;
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
        m_changed.wait(lock, [&] { return m_stopping || m_wanted || m_reshrink; });
        if (m_stopping) return;
        m_working = true;
        m_abandoned = false;
        try {
            if (m_reshrink)
                reshrinkHeld(lock);
            else
                decodeWanted(lock);
        } catch (...) {
            // A failure here, even for want of memory, leaves nothing held: the opening then reads
            // the file itself and reports what it finds, a lack of memory included.
            if (!lock.owns_lock()) lock.lock();
            forgetJob();
        }
        m_working = false;
        m_changed.notify_all();
    }
}

// Called with the lock held.
void ImagePrefetcher::forgetJob()
{
    m_decoding.reset();
    dropHeld();
}

void ImagePrefetcher::decodeWanted(std::unique_lock<std::mutex>& lock)
{
    const QString path = *std::exchange(m_wanted, std::nullopt);
    const int margin = m_wantedMargin;
    m_decoding = path;
    const Decoder decoder = m_decoder;
    lock.unlock();
    // The identity is taken before reading, so a file replaced during the read is not taken.
    const std::optional<FileIdentity> identity = identityOf(path);
    std::optional<Decoded> image = identity ? decoder(path, margin, m_abandoned) : std::nullopt;
    lock.lock();
    if (image)
        holdWithView(lock, path, *identity, std::move(*image));
    else
        m_decoding.reset();
}

// The image held gets the view the rule now asks for; taking it waits meanwhile.
void ImagePrefetcher::reshrinkHeld(std::unique_lock<std::mutex>& lock)
{
    m_reshrink = false;
    const QString path = std::exchange(m_heldPath, QString());
    Decoded held = std::exchange(m_held, {});
    if (held.framed.image.isNull()) return;
    m_decoding = path;
    holdWithView(lock, path, m_heldIdentity, std::move(held));
}

// Shrinks the view of an image decoded ahead by the rule as it is now, then holds the image
// unless it was dropped meanwhile; a rule changed during the shrink is taken up again.
void ImagePrefetcher::holdWithView(
    std::unique_lock<std::mutex>& lock, const QString& path, FileIdentity identity, Decoded image)
{
    const QSize inside = viewInside(m_viewSize, image.framed);
    lock.unlock();
    if (!m_abandoned) image.view = shrunkViewOf(image.framed.image, inside, image.framed.margin);
    if (!m_abandoned && !image.content) image.content = findContent(image.framed.image);
    lock.lock();
    if (m_decoding == path) {
        m_heldPath = path;
        m_heldIdentity = identity;
        m_held = std::move(image);
        reviewHeldView();
    }
    m_decoding.reset();
}
