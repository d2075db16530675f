#include "image/BackgroundDecode.h"

#include "image/ImageFormats.h"
#include "image/Shrinking.h"

#include <cstring>
#include <new>

namespace {

// The largest reduction whose image is still at least `inside` in both directions, so that the
// view shrunk from it loses no more than one shrunk from the full image would; 1 where the view
// is larger than half the image.
int reductionFor(QSize image, QSize inside)
{
    for (const int reduction : { 8, 4, 2 }) {
        if ((image.width() + reduction - 1) / reduction >= inside.width()
            && (image.height() + reduction - 1) / reduction >= inside.height())
            return reduction;
    }
    return 1;
}

// Rows a failed decode did not write are made white rather than shown as whatever the memory held.
void whitenRowsFrom(const QImage& image, int row)
{
    for (int y = row; y < image.height(); ++y)
        std::memset(const_cast<uchar*>(image.constScanLine(y)), 0xFF, size_t(image.width()) * 4);
}

BackgroundDecode::Opened failed(LoadError error)
{
    BackgroundDecode::Opened opened;
    opened.error = error;
    return opened;
}

} // namespace

std::optional<BackgroundDecode::Opened> BackgroundDecode::open(const QString& path, const Options& options)
{
    const QSize size = jpegFileSize(path);
    if (size.isEmpty() || !isAllowedSize({}, size.width(), size.height())
        || qint64(size.width()) * size.height() < options.fromPixels)
        return std::nullopt;
    const QSize inside = options.viewSize ? options.viewSize(size) : QSize();
    const bool shrunk = !inside.isEmpty();
    const int reduction = shrunk ? reductionFor(size, inside) : 1;
    if (shrunk && reduction == 1) return std::nullopt;

    DecodedImage full = allocateImage({ options.margin }, size.width(), size.height());
    if (!full.ok()) return failed(full.error);
    // The full decode starts first; the reduced one runs beside it, on this thread.
    Opened opened;
    opened.decode = std::make_shared<BackgroundDecode>(path, std::move(full.framed), inside, options);
    if (!shrunk) {
        opened.decode->startPopulating();
        return opened;
    }
    const DecodedImage reduced = readFramedImageFile(path, { 0, kMaxImagePixels, reduction });
    // The reduced decode reads every byte the full one does, so a file it refuses is refused whole.
    if (!reduced.ok()) return failed(reduced.error);
    opened.preview = shrunkViewOf(reduced.framed.image, inside, options.margin);
    if (opened.preview.isNull()) return failed(LoadError::OutOfMemory);
    opened.decode->startPopulating(); // the core of the reduced decode is free now
    return opened;
}

BackgroundDecode::BackgroundDecode(const QString& path, FramedImage framed, QSize viewInside, const Options& options)
    : m_path(path)
    , m_framed(std::move(framed))
    , m_viewInside(viewInside)
    , m_progress(m_framed.image.height())
    , m_thread([this, options] { run(options); })
{
}

BackgroundDecode::~BackgroundDecode()
{
    m_progress.abandon();
    m_thread.join();
    if (m_populating.joinable()) m_populating.join();
}

// The kernel gives a fresh buffer its pages as they are first written, zeroing each one: for a
// large scan a tenth of the decode or more. Another core takes that on, ahead of the decoder.
void BackgroundDecode::startPopulating()
{
    m_populating = std::thread(
        [this, from = m_progress.written()] { populateRows(m_framed.image, from, m_progress.abandoned()); });
}

void BackgroundDecode::run(const Options& options)
{
    LoadError error = LoadError::OutOfMemory;
    try {
        error = options.decoder ? options.decoder(m_path, m_framed.image, m_progress)
                                : decodeJpegInto(m_path, m_framed.image, m_progress);
    } catch (const std::bad_alloc&) {
    }
    const bool abandoned = m_progress.abandoned();
    if (error != LoadError::None && !abandoned) whitenRowsFrom(m_framed.image, m_progress.written());
    m_progress.finish(error);
    if (error == LoadError::None && !abandoned) {
        try {
            m_finalView = shrunkViewOf(m_framed.image, m_viewInside, m_framed.margin);
        } catch (const std::bad_alloc&) {
        }
    }
    m_done = true;
    if (options.ended && !abandoned) options.ended();
}
