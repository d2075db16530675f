#pragma once

#include "image/DecodeProgress.h"
#include "image/ImageFiles.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// A large JPEG put on show before it is decoded. Its full image is decoded into its buffer on a
// thread of its own, rows top to bottom, while the program goes on: at actual size the picture
// shows the rows written so far (a reader waits for the rows it needs, see DecodeProgress); where
// it is shown shrunk, the picture shows a view built from a reduced decode, which is a fraction
// of the work, until the view of the full image, built on the same thread, replaces it.
class BackgroundDecode
{
public:
    // Decodes the file into an image of the size its header claims (see decodeJpegInto).
    using Decoder = std::function<LoadError(const QString& path, const QImage& image, DecodeProgress& progress)>;
    // Images from this many pixels on are opened early; smaller ones decode about as fast as
    // they would be handed over.
    static constexpr qint64 kFromPixels = qint64(1) << 23;

    struct Options
    {
        int margin = 0; // of the buffer the full image is decoded into (see FramedImage)
        // The inside of the view an image of a given size is shown in when shrunk; an empty size
        // when it is shown at actual size.
        std::function<QSize(QSize image)> viewSize;
        Decoder decoder;
        qint64 fromPixels = kFromPixels;
        std::function<void()> ended; // called on the decoding thread once the work is done
    };
    // What opening a file early gave: its full image being decoded, and, where it is shown
    // shrunk, the view of the reduced decode; or why it cannot be opened.
    struct Opened
    {
        LoadError error = LoadError::None;
        std::shared_ptr<BackgroundDecode> decode;
        QImage preview; // the view of the reduced decode, inside the margin; null at actual size
    };
    // Opens `path` early if it is a JPEG of at least `fromPixels` pixels, shown at actual size or
    // shrunk to half its size or less; nothing for any other file, which is read as usual.
    static std::optional<Opened> open(const QString& path, const Options& options);

    BackgroundDecode(const QString& path, FramedImage framed, QSize viewInside, const Options& options);
    ~BackgroundDecode(); // stops the decode soon where it is not done
    BackgroundDecode(const BackgroundDecode&) = delete;
    BackgroundDecode& operator=(const BackgroundDecode&) = delete;

    const FramedImage& framed() const { return m_framed; }
    DecodeProgress& progress() { return m_progress; }
    // Decoded, and the view of the full image built where one is wanted.
    bool done() const { return m_done; }
    // Once done: the view of the full image, of the preview's size; null at actual size.
    const QImage& finalView() const { return m_finalView; }

private:
    void run(const Options& options);
    void startPopulating();

    const QString m_path;
    FramedImage m_framed;
    const QSize m_viewInside;
    DecodeProgress m_progress;
    QImage m_finalView;
    std::atomic<bool> m_done { false };
    std::thread m_populating;
    std::thread m_thread; // last: it starts once everything above exists
};
