#pragma once

#include "image/BackgroundDecode.h"
#include "image/ImageFiles.h"
#include "image/ImagePrefetcher.h"
#include "platform/Drawing.h"
#include "platform/Handles.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

// The off-screen bitmaps of the program and what it does with them: create and delete, read
// from and write to files, copy blocks, stretch and draw lines. Bitmaps are handles over
// Format_RGB32 images; nothing here needs a window.
class BitmapStore
{
public:
    // A white bitmap; with a white margin given, only a band that wide around it is made white
    // and the rest is left for the caller to paint.
    bool CreateBitmap(Bitmap& bitmap, int width, int height, int whiteMargin = -1);
    void DeleteObject(Bitmap& bitmap);
    int CheckObject(Bitmap bitmap) const;
    // A large JPEG that was not decoded ahead is put on show before it is decoded (see
    // BackgroundDecode): every operation here that reads or draws its pixels waits for the rows
    // it needs, so none of them ever sees a pixel not yet decoded.
    LoadResult LoadBitmapFile(Bitmap& bitmap, const QString& path);
    // Called on the decoding thread when a decode in the background has ended; then
    // FinishBackgroundDecodes takes up what it did.
    void SetBackgroundDecodeNotice(std::function<void()> notice) { m_decodeNotice = std::move(notice); }
    struct DecodeEnd
    {
        bool ended = false; // the decode of a loaded image ended
        LoadResult result; // how; on failure its missing rows are white
        bool viewsChanged = false; // a view shown from the reduced decode now shows the full image
    };
    // Takes up the decodes in the background that have ended: views built from a reduced decode
    // get the view of the full image, with what was drawn into them since kept.
    DecodeEnd FinishBackgroundDecodes();
    // A decode in the background whose end was not yet taken up; for tests.
    bool DecodingInBackground() const;
    // Decodes in the background with `decoder`, images from `fromPixels` pixels on; for tests.
    void UseBackgroundDecoder(BackgroundDecode::Decoder decoder, qint64 fromPixels)
    {
        m_backgroundDecoder = std::move(decoder);
        m_backgroundFrom = fromPixels;
    }
    // Images read from files (and set by SetImage) get this many pixels of room on every side,
    // so that a view with such a margin at actual size can share their pixels (ViewSource).
    void SetLoadMargin(int margin) { m_loadMargin = std::max(margin, 0); }
    // The image as the bitmap's content, with the load margin around it.
    bool SetImage(Bitmap& bitmap, const QImage& image);
    // Makes `view` the source with `margin` pixels around it, sharing the source's pixels
    // instead of copying them; the margin is made white. Exclusive-or figures drawn into the
    // view are taken back when it is deleted, so the source is then as it was. False (and
    // nothing done) when the source was not given that margin when it was set.
    bool ViewSource(Bitmap& view, Bitmap source, int margin);
    // Makes `view` the shrunk view built when the source was decoded ahead, if it has a
    // `width` × `height` inside `margin`; false (and nothing done) otherwise. It is taken once.
    bool TakeShrunkViewAhead(Bitmap& view, Bitmap source, int width, int height, int margin);
    // Pieces of a save, as 24-bit BMP files: each block is cut out of the source and written
    // durably into a temporary file in the folder it will be named in, several at a time, so
    // that the naming, in order, is all that is left; a name never replaces a file.
    struct PieceRequest
    {
        QRect block;
        QString folder; // where the piece's name will be: the folder of its final path
    };
    void PreparePieces(Bitmap source, const std::vector<PieceRequest>& pieces);
    // Names prepared piece `index` (see PreparedFile::name).
    SaveResult NamePreparedPiece(int index, const QString& path);
    // Removes the pieces that got no name and makes the names given durable.
    void FinishPreparedPieces();
    // The pieces of content on the bitmap's image (see findContent), searched once for each
    // content it holds; for an image decoded ahead they were found ahead.
    QList<QRect> ContentOf(Bitmap bitmap);
    float GetBitmapWidth(Bitmap bitmap) const;
    float GetBitmapHeight(Bitmap bitmap) const;
    // The bitmap's image, once all of it is decoded.
    const QImage* Image(Bitmap bitmap) const;
    QImage* Image(Bitmap bitmap);
    // The bitmap's image, once its rows down to `bottom` are decoded.
    const QImage* ImageRows(Bitmap bitmap, int bottom) const;
    void SetMapMode(Bitmap, int) { } // coordinates are always pixels
    // What a bitmap holds, as far as the operations here changed it: equal revisions mean the
    // same pixels. A bitmap that does not exist has revision {0, 0}.
    std::pair<quint64, quint64> Revision(Bitmap bitmap) const;

    // The image likely to be loaded next is decoded ahead on a worker thread; LoadBitmapFile
    // takes it instead of reading the file when the file is unchanged.
    // While an image is decoded in the background, the decode ahead waits for it to end.
    void Prefetch(const QString& path);
    // The rule by which the image decoded ahead gets its shrunk view built as well, and an image
    // opened early its view of the reduced decode.
    void SetShrunkViewAhead(ImagePrefetcher::ShrunkViewSize viewSize)
    {
        m_viewSize = viewSize;
        m_prefetcher.setViewSize(std::move(viewSize));
    }
    void DropPrefetch();
    // Decodes ahead with `decoder` from now on; for tests.
    void UsePrefetchDecoder(ImagePrefetcher::Decoder decoder) { m_prefetcher.useDecoder(std::move(decoder)); }
    bool WaitForPrefetch(const QString& path) { return m_prefetcher.waitUntilIdle(path); }
    // How many loads took the image decoded ahead, and how many views its shrunk view.
    struct TakenAhead
    {
        int images = 0;
        int views = 0;
        int contents = 0; // searches for content answered by the search made ahead
    };
    TakenAhead TakenAheadSoFar() const { return m_takenAhead; }

    void BitBlt(Bitmap target, int x, int y, int width, int height, Bitmap source, int sx, int sy);
    void StretchBitmap(Bitmap target, Bitmap source, int x, int y, int width, int height);
    void DrawLine(Bitmap target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure,
        int pen = Pen::Default);

private:
    // An exclusive-or figure drawn into a bitmap that shares its pixels.
    using XorFigure = std::tuple<int, int, int, int, int, Figure, QRgb>;
    struct Slot
    {
        QImage image; // what the handle stands for; a window into `pixels` when they are shared
        std::shared_ptr<QImage> pixels; // the buffer shared with other bitmaps, if any
        int margin = 0; // room in `pixels` around `image`
        QImage shrunkViewAhead; // of an image decoded ahead, until a view takes it
        std::optional<QList<QRect>> content; // the pieces found on `image`
        quint64 contentWrites = 0; // `writes` when they were found
        bool contentFoundAhead = false; // found by the decode ahead, not yet asked for
        std::set<XorFigure> xorDrawn; // figures drawn an odd number of times, when shared
        quint64 serial = 0; // tells this content from any other the handle had before
        quint64 writes = 0; // drawing operations into it since
        // The decode in the background that writes the pixels, until it is taken up as ended.
        std::shared_ptr<BackgroundDecode> decoding;
        bool ownsDecode = false; // the loaded image, not a view sharing its pixels
        int decodedRowsFrom = 0; // the row of `image` where the decoded image starts
        bool viewAheadIsPreview = false; // `shrunkViewAhead` comes from a reduced decode
        QImage preview; // of a view from a reduced decode: its pixels as they were made
    };
    Slot* slot(Bitmap bitmap) const;
    void awaitRows(const Slot& held, int bottom) const;
    void awaitFigure(const Slot& held, const QRect& bounds, int width, Figure figure) const;
    LoadError awaitWhole(const Slot& held) const;
    bool openEarly(Bitmap& bitmap, const QString& path, LoadResult& result);
    bool decodeUnderWay() const;
    static bool takeUpEnd(Slot& held, DecodeEnd& end);
    void adopt(Bitmap& bitmap, FramedImage framed);
    Slot& fresh(Bitmap& bitmap);
    static void takeBackXorFigures(Slot& slot);

    ImagePrefetcher m_prefetcher;
    ImagePrefetcher::ShrunkViewSize m_viewSize;
    BackgroundDecode::Decoder m_backgroundDecoder;
    qint64 m_backgroundFrom = BackgroundDecode::kFromPixels;
    std::function<void()> m_decodeNotice;
    std::optional<QString> m_deferredPrefetch;
    std::vector<std::unique_ptr<PreparedFile>> m_prepared;
    QStringList m_namedFolders;
    TakenAhead m_takenAhead;
    int m_loadMargin = 0;
    quint64 m_lastSerial = 0;
    std::vector<std::unique_ptr<Slot>> m_bitmaps = std::vector<std::unique_ptr<Slot>>(1); // 0: unbound
};
