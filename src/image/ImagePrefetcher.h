#pragma once

#include "image/ImageFiles.h"
#include "platform/FileSystem.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Decodes the image the user is likely to open next on a worker thread, so that opening it
// takes no decode. At most one image is held or decoded ahead at a time, and none larger than
// kPrefetchLimitPixels (1 GiB as RGB32): the largest scans are decoded when opened, so that
// two of them never need memory at once. A decoded image is handed over only while its file is
// provably the one decoded (see FileIdentity); a failure is never kept, so the opening reads the
// file itself and reports it as usual. An opening of any other file first stops the decode
// under way and lets go of what is held, so that besides the image on show only one full image,
// the one decoded ahead or the one being opened, is ever in memory.
//
// The pieces of content on the image are found ahead too, so that framing them takes no search.
//
// When the image will be shown shrunk, the shrunk view is built ahead as well, by the rule for
// the view's size last given (setViewSize): a new rule that asks for another view has the image
// held shrunk again. The view is never larger than the image, so the memory held ahead stays
// within twice the limit.
class ImagePrefetcher
{
public:
    static constexpr qint64 kPrefetchLimitPixels = qint64(1) << 28;

    // The inside size of the shrunk view that an image of the given size will be shown in; an
    // empty size when it will not be shown shrunk.
    using ShrunkViewSize = std::function<QSize(QSize image)>;
    struct Decoded
    {
        FramedImage framed;
        QImage view; // the shrunk view, inside a white margin as wide as the image's; or null
        std::optional<QList<QRect>> content; // the pieces of content found on it (findContent)
    };

    // How an image is decoded ahead: into a buffer with `margin` pixels of room around it, or
    // nothing when it cannot be read. Once `abandoned` is set, nobody wants the image any more,
    // and the decoder should give up soon. Tests give one that waits on them.
    using Decoder = std::function<std::optional<Decoded>(
        const QString& path, int margin, const std::atomic<bool>& abandoned)>;

    explicit ImagePrefetcher(Decoder decoder = decodeFile);
    ~ImagePrefetcher();
    ImagePrefetcher(const ImagePrefetcher&) = delete;
    ImagePrefetcher& operator=(const ImagePrefetcher&) = delete;

    // Decodes `path` ahead, with `margin` pixels of room around it (see readFramedImageFile),
    // dropping whatever else was held or asked for. An empty path only drops.
    void prefetch(const QString& path, int margin);
    // How large the shrunk view of an image decoded ahead is to be, from now on.
    void setViewSize(ShrunkViewSize viewSize);
    // Drops what is held, asked for or being decoded (its result is thrown away).
    void drop();
    // The decoded image of `path`, when it was decoded ahead and its file is unchanged since;
    // waits for a decode of `path` that is under way, never for one that was not started, was
    // dropped or has failed. Anything else is stopped (waiting only until the worker lets go of
    // it, so that the caller may read `path` itself with that memory), and whatever is held goes.
    std::optional<Decoded> take(const QString& path);
    // Decodes with `decoder` from now on; for tests.
    void useDecoder(Decoder decoder);
    // Waits until nothing is being decoded; for tests. True when an image is held for `path`.
    bool waitUntilIdle(const QString& path);

private:
    void work();
    void decodeWanted(std::unique_lock<std::mutex>& lock);
    void reshrinkHeld(std::unique_lock<std::mutex>& lock);
    void holdWithView(
        std::unique_lock<std::mutex>& lock, const QString& path, FileIdentity identity, Decoded image);
    void forgetJob();
    void abandonDecode();
    void dropHeld();
    bool reviewHeldView();
    static std::optional<Decoded> decodeFile(
        const QString& path, int margin, const std::atomic<bool>& abandoned);
    static QSize viewInside(const ShrunkViewSize& viewSize, const FramedImage& framed);
    bool heldViewFits() const;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Decoder m_decoder;
    // Asked for, not yet started. Empty (not an empty path) when nothing is.
    std::optional<QString> m_wanted;
    int m_wantedMargin = 0;
    ShrunkViewSize m_viewSize;
    // Under way; emptied when dropped, so that its result is thrown away and nobody waits for it.
    std::optional<QString> m_decoding;
    // The worker decodes or shrinks, and may hold an image that is not m_held.
    bool m_working = false;
    // Set when what the worker does is no longer wanted; the reading stops on it.
    std::atomic<bool> m_abandoned { false };
    QString m_heldPath;
    FileIdentity m_heldIdentity;
    Decoded m_held;
    bool m_reshrink = false; // the image held waits to be shrunk anew
    bool m_stopping = false;
    std::thread m_worker; // last: it starts once everything above exists
};
