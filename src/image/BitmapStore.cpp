#include "image/BitmapStore.h"

#include "image/ContentFinder.h"
#include "image/Parallel.h"
#include "image/Shrinking.h"
#include "platform/Drawing.h"
#include "platform/DurableFiles.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <utility>

BitmapStore::Slot* BitmapStore::slot(Bitmap bitmap) const
{
    if (bitmap.id <= 0 || size_t(bitmap.id) >= m_bitmaps.size()) return nullptr;
    return m_bitmaps[size_t(bitmap.id)].get();
}

// An empty slot for the bitmap, after whatever it held was deleted.
BitmapStore::Slot& BitmapStore::fresh(Bitmap& bitmap)
{
    DeleteObject(bitmap);
    if (bitmap.id <= 0) {
        bitmap.id = int(m_bitmaps.size());
        m_bitmaps.push_back(nullptr);
    }
    auto& held = m_bitmaps[size_t(bitmap.id)];
    held = std::make_unique<Slot>();
    held->serial = ++m_lastSerial;
    return *held;
}

bool BitmapStore::CreateBitmap(Bitmap& bitmap, int width, int height, int whiteMargin)
{
    const QSize size(std::max(width, 1), std::max(height, 1));
    // A bitmap of the same size that shares no pixels is drawn over instead of reallocated.
    Slot* old = slot(bitmap);
    QImage image;
    if (old && !old->pixels && old->image.size() == size && old->image.isDetached()) {
        image = std::move(old->image);
    } else {
        image = unwrittenImage(size.width(), size.height());
    }
    if (image.isNull()) {
        DeleteObject(bitmap);
        return false;
    }
    if (whiteMargin >= 0)
        whitenMargin(image, whiteMargin);
    else
        image.fill(0xFFFFFFFFu);
    fresh(bitmap).image = std::move(image);
    return true;
}

void BitmapStore::takeBackXorFigures(Slot& slot)
{
    for (const XorFigure& figure : slot.xorDrawn) {
        const auto& [x1, y1, x2, y2, width, shape, colour] = figure;
        drawFigure(slot.image, x1, y1, x2, y2, DrawMode::Xor, width, shape, colour);
    }
    slot.xorDrawn.clear();
}

void BitmapStore::DeleteObject(Bitmap& bitmap)
{
    Slot* held = slot(bitmap);
    if (!held) return;
    // Nobody wants the rest of a loaded image that goes; a view sharing its pixels goes soon.
    if (held->decoding && held->ownsDecode) held->decoding->progress().abandon();
    takeBackXorFigures(*held);
    m_bitmaps[size_t(bitmap.id)].reset();
}

std::pair<quint64, quint64> BitmapStore::Revision(Bitmap bitmap) const
{
    const Slot* held = slot(bitmap);
    return held ? std::pair { held->serial, held->writes } : std::pair<quint64, quint64> {};
}

int BitmapStore::CheckObject(Bitmap bitmap) const
{
    return slot(bitmap) ? 1 : 0;
}

// A view from a reduced decode has all its pixels already; the loaded image and a view sharing
// its pixels have them once the decode has passed them.
void BitmapStore::awaitRows(const Slot& held, int bottom) const
{
    if (held.decoding && held.preview.isNull())
        held.decoding->progress().waitForRows(bottom + 1 - held.decodedRowsFrom);
}

// A figure drawn into the image while it is decoded needs the rows it draws on; a box only those
// of its sides, so that a border in the margin around the image needs none.
void BitmapStore::awaitFigure(const Slot& held, const QRect& bounds, int width, Figure figure) const
{
    if (!held.decoding) return;
    const QSize decoded = held.decoding->framed().image.size();
    const QRect image(QPoint(held.decodedRowsFrom, held.decodedRowsFrom), decoded);
    const int pen = std::max(width, 1);
    auto side = [&](QPoint from, QPoint to) { return QRect(from, to).adjusted(-pen, -pen, pen, pen) & image; };
    QList<QRect> touched { side(bounds.topLeft(), bounds.bottomRight()) };
    if (figure == Figure::Box)
        touched = { side(bounds.topLeft(), bounds.topRight()), side(bounds.bottomLeft(), bounds.bottomRight()),
            side(bounds.topLeft(), bounds.bottomLeft()), side(bounds.topRight(), bounds.bottomRight()) };
    int bottom = -1;
    for (const QRect& part : touched)
        if (!part.isEmpty()) bottom = std::max(bottom, part.bottom());
    if (bottom >= 0) awaitRows(held, bottom);
}

LoadError BitmapStore::awaitWhole(const Slot& held) const
{
    if (!held.decoding || !held.preview.isNull()) return LoadError::None;
    return held.decoding->progress().waitForEnd();
}

const QImage* BitmapStore::Image(Bitmap bitmap) const
{
    Slot* held = slot(bitmap);
    if (!held) return nullptr;
    awaitWhole(*held);
    return &held->image;
}

QImage* BitmapStore::Image(Bitmap bitmap)
{
    Slot* held = slot(bitmap);
    if (!held) return nullptr;
    awaitWhole(*held);
    return &held->image;
}

const QImage* BitmapStore::ImageRows(Bitmap bitmap, int bottom) const
{
    Slot* held = slot(bitmap);
    if (!held) return nullptr;
    awaitRows(*held, bottom);
    return &held->image;
}

bool BitmapStore::SetImage(Bitmap& bitmap, const QImage& image)
{
    FramedImage framed = image.isNull() ? FramedImage {} : framedCopyOf(image, m_loadMargin);
    if (framed.image.isNull()) {
        DeleteObject(bitmap);
        return false;
    }
    adopt(bitmap, std::move(framed));
    return true;
}

bool BitmapStore::ViewSource(Bitmap& view, Bitmap source, int margin)
{
    Slot* from = slot(source);
    if (!from || !from->pixels || margin <= 0 || from->margin != margin) return false;
    const std::shared_ptr<QImage> pixels = from->pixels;
    // The source's image must still be the window into those pixels it was set as.
    if (!isWindowInto(from->image, *pixels, margin)) return false;
    const std::shared_ptr<BackgroundDecode> decoding = from->decoding;
    Slot& held = fresh(view);
    held.pixels = pixels;
    held.image = windowInto(pixels, 0, pixels->width(), pixels->height());
    held.decoding = decoding;
    held.decodedRowsFrom = margin;
    whitenMargin(held.image, margin);
    return true;
}

bool BitmapStore::TakeShrunkViewAhead(Bitmap& view, Bitmap source, int width, int height, int margin)
{
    Slot* from = slot(source);
    if (!from || from->shrunkViewAhead.isNull() || from->margin != margin
        || from->shrunkViewAhead.size() != QSize(width + 2 * margin, height + 2 * margin))
        return false;
    QImage shrunk = std::move(from->shrunkViewAhead);
    from->shrunkViewAhead = QImage();
    const bool preview = std::exchange(from->viewAheadIsPreview, false);
    const std::shared_ptr<BackgroundDecode> decoding = from->decoding;
    Slot& held = fresh(view);
    held.image = std::move(shrunk);
    if (preview && decoding) {
        // Kept as it was made (drawing into the view copies it), to be told apart from what is
        // drawn into the view when the view of the full image replaces it.
        held.preview = held.image;
        held.decoding = decoding;
    }
    if (!preview) ++m_takenAhead.views;
    return true;
}

// A decoded image becomes the bitmap's content as it is, in the buffer it was decoded into.
void BitmapStore::adopt(Bitmap& bitmap, FramedImage framed)
{
    Slot& held = fresh(bitmap);
    held.image = std::move(framed.image);
    held.pixels = std::move(framed.pixels);
    held.margin = held.pixels ? framed.margin : 0;
}

LoadResult BitmapStore::LoadBitmapFile(Bitmap& bitmap, const QString& path)
{
    if (std::optional<ImagePrefetcher::Decoded> ahead = m_prefetcher.take(path)) {
        adopt(bitmap, std::move(ahead->framed));
        slot(bitmap)->shrunkViewAhead = std::move(ahead->view);
        slot(bitmap)->content = std::move(ahead->content);
        slot(bitmap)->contentFoundAhead = slot(bitmap)->content.has_value();
        ++m_takenAhead.images;
        return {};
    }
    m_deferredPrefetch.reset();
    if (LoadResult early; openEarly(bitmap, path, early)) return early;
    DecodedImage read = readFramedImageFile(path, { m_loadMargin });
    if (!read.ok()) return read.result();
    adopt(bitmap, std::move(read.framed));
    return {};
}

// A large JPEG that nobody decoded ahead is put on show early (see BackgroundDecode); false for
// any other file.
bool BitmapStore::openEarly(Bitmap& bitmap, const QString& path, LoadResult& result)
{
    std::optional<BackgroundDecode::Opened> opened = BackgroundDecode::open(
        path, { m_loadMargin, m_viewSize, m_backgroundDecoder, m_backgroundFrom, m_decodeNotice });
    if (!opened) return false;
    result = { opened->error };
    if (!result.ok()) return true;
    adopt(bitmap, opened->decode->framed());
    Slot& held = *slot(bitmap);
    held.decoding = opened->decode;
    held.ownsDecode = true;
    held.shrunkViewAhead = std::move(opened->preview);
    held.viewAheadIsPreview = !held.shrunkViewAhead.isNull();
    return true;
}

// A decode in the background that has not ended, held by the bitmap it writes or by a view.
bool BitmapStore::decodeUnderWay() const
{
    return std::any_of(m_bitmaps.begin(), m_bitmaps.end(),
        [](const auto& held) { return held && held->decoding && !held->decoding->done(); });
}

bool BitmapStore::DecodingInBackground() const
{
    return std::any_of(m_bitmaps.begin(), m_bitmaps.end(), [](const auto& held) { return held && held->decoding; });
}

void BitmapStore::Prefetch(const QString& path)
{
    if (decodeUnderWay()) {
        m_deferredPrefetch = path;
        return;
    }
    m_prefetcher.prefetch(path, m_loadMargin);
}

void BitmapStore::DropPrefetch()
{
    m_deferredPrefetch.reset();
    m_prefetcher.drop();
}

namespace {

// What was drawn into a view since it was made from `before` is drawn into `after` instead: the
// drawing is exclusive-or, so it is the difference between the view and `before`.
void replaceUnderDrawing(QImage& view, const QImage& before, const QImage& after)
{
    for (int y = 0; y < view.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(view.scanLine(y));
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* now = reinterpret_cast<const QRgb*>(after.constScanLine(y));
        for (int x = 0; x < view.width(); ++x)
            out[x] ^= was[x] ^ now[x];
    }
}

} // namespace

// Takes up a decode that has ended, for the bitmap it writes or was shown through: true once so.
bool BitmapStore::takeUpEnd(Slot& held, DecodeEnd& end)
{
    if (!held.decoding || !held.decoding->done()) return false;
    const BackgroundDecode& decode = *held.decoding;
    if (held.ownsDecode) {
        end.ended = true;
        end.result = { held.decoding->progress().waitForEnd() };
    }
    const QImage& full = decode.finalView();
    if (!held.preview.isNull() && full.size() == held.image.size() && held.image.size() == held.preview.size()) {
        replaceUnderDrawing(held.image, held.preview, full);
        end.viewsChanged = true;
    }
    held.preview = QImage();
    held.decoding.reset();
    return true;
}

BitmapStore::DecodeEnd BitmapStore::FinishBackgroundDecodes()
{
    DecodeEnd end;
    for (const std::unique_ptr<Slot>& held : m_bitmaps)
        if (held) takeUpEnd(*held, end);
    if (m_deferredPrefetch && !decodeUnderWay())
        m_prefetcher.prefetch(*std::exchange(m_deferredPrefetch, std::nullopt), m_loadMargin);
    return end;
}

QList<QRect> BitmapStore::ContentOf(Bitmap bitmap)
{
    Slot* held = slot(bitmap);
    if (!held) return {};
    awaitWhole(*held);
    if (held->content && held->contentWrites == held->writes) {
        if (std::exchange(held->contentFoundAhead, false)) ++m_takenAhead.contents;
        return *held->content;
    }
    held->contentFoundAhead = false;
    held->content = findContent(held->image);
    held->contentWrites = held->writes;
    return *held->content;
}

namespace {

// The block's pixels where they are, for reading while the image stays as it is: a piece is
// written from the source itself, without a copy in fresh memory.
QImage readOnlyBlock(const QImage& image, const QRect& block)
{
    const QRect inside = block & image.rect();
    if (inside.isEmpty()) return {};
    return QImage(image.constScanLine(inside.top()) + qsizetype(inside.left()) * image.depth() / 8,
        inside.width(), inside.height(), image.bytesPerLine(), image.format());
}

} // namespace

void BitmapStore::PreparePieces(Bitmap source, const std::vector<PieceRequest>& pieces)
{
    FinishPreparedPieces();
    // Pieces are cut only from an image decoded whole; one whose decode failed has none.
    const Slot* held = slot(source);
    const QImage* from = held && awaitWhole(*held) == LoadError::None ? &held->image : nullptr;
    m_prepared.resize(pieces.size());
    // Writing waits mostly on the disk, so more writers than cores still help.
    constexpr size_t kWriters = 4;
    std::atomic<size_t> next { 0 };
    onThreads(int(std::min(kWriters, pieces.size())), [&](int) {
        for (size_t i; (i = next++) < pieces.size();) {
            // A piece that finds no memory fails alone (see PreparedFile); the others go on.
            const QImage block = from ? readOnlyBlock(*from, pieces[i].block) : QImage();
            try {
                m_prepared[i] = std::make_unique<PreparedFile>(block, pieces[i].folder);
            } catch (const std::bad_alloc&) {
                m_prepared[i] = std::make_unique<PreparedFile>(QImage(), pieces[i].folder);
            }
        }
    });
}

SaveResult BitmapStore::NamePreparedPiece(int index, const QString& path)
{
    if (index < 0 || size_t(index) >= m_prepared.size() || !m_prepared[size_t(index)])
        return { SaveOutcome::Failed, QStringLiteral("no piece") };
    const SaveResult named = m_prepared[size_t(index)]->name(path);
    if (named.ok()) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!m_namedFolders.contains(folder)) m_namedFolders << folder;
    }
    return named;
}

void BitmapStore::FinishPreparedPieces()
{
    m_prepared.clear();
    for (const QString& folder : std::exchange(m_namedFolders, {}))
        syncFolder(folder);
}

float BitmapStore::GetBitmapWidth(Bitmap bitmap) const
{
    const Slot* held = slot(bitmap);
    return held ? float(held->image.width()) : 0;
}

float BitmapStore::GetBitmapHeight(Bitmap bitmap) const
{
    const Slot* held = slot(bitmap);
    return held ? float(held->image.height()) : 0;
}

void BitmapStore::BitBlt(Bitmap target, int x, int y, int width, int height, Bitmap source, int sx, int sy)
{
    if (Slot* held = slot(target)) ++held->writes;
    QImage* to = Image(target);
    const QImage* from = ImageRows(source, sy + height - 1);
    if (to && from) copyBlock(*to, x, y, width, height, *from, sx, sy);
}

void BitmapStore::StretchBitmap(Bitmap target, Bitmap source, int x, int y, int width, int height)
{
    if (Slot* held = slot(target)) ++held->writes;
    QImage* to = Image(target);
    const QImage* from = Image(source);
    if (!to || !from || width <= 0 || height <= 0) return;
    const QRect area = QRect(x, y, width, height) & to->rect();
    if (area == QRect(x, y, width, height) && width <= from->width() && height <= from->height()) {
        shrinkInto(*to, area, *from);
        return;
    }
    // Enlarging, or an area not wholly inside the target: smooth scaling through a copy.
    const QImage scaled = from->scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    copyBlock(*to, x, y, width, height, scaled, 0, 0);
}

void BitmapStore::DrawLine(
    Bitmap target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure, int pen)
{
    Slot* held = slot(target);
    if (!held) return;
    awaitFigure(*held, QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))),
        width, figure);
    ++held->writes;
    const QRgb colour = penColour(pen, mode);
    drawFigure(held->image, x1, y1, x2, y2, mode, width, figure, colour);
    // A figure drawn twice leaves no trace; one drawn once is taken back when the bitmap goes.
    if (mode == DrawMode::Xor && held->pixels) {
        const XorFigure drawn { x1, y1, x2, y2, width, figure, colour };
        if (!held->xorDrawn.erase(drawn)) held->xorDrawn.insert(drawn);
    }
}
