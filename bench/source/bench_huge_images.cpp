// The largest images the program opens, at 縦合わせ:
//  - a 32768 x 16384 (2^29 pixels) 24-bit BMP, its open against reading its bytes into a buffer
//    in use (goal 1.5);
//  - a 65000 x 8000 photograph-like JPEG, against libjpeg-turbo's own decode of it into a buffer
//    in use (goal 1.5). Such a JPEG is shown from a reduced decode before it is decoded whole in
//    the background: both the time to the picture and the time until every pixel is decoded.
// Each is registered as a numbered file through "連番ファイル参照" and opened again three times
// (LOAD_BMP and its adoption, as a step loads a file); the best open counts. Then five frames
// are placed, one over nearly the whole image and one at each corner, and saved, and every piece
// is compared pixel for pixel with the image, a row at a time: the BMP's pixels computed from
// the formula that wrote them, the JPEG's decoded again by libjpeg. Last, a process of its own
// opens the image and saves the pieces, and reports its peak resident memory (VmHWM) once the
// image is decoded and after the save, against the image in RGB32 (goal 1.3).
//
// The files are written row by row into a temporary folder and removed after each case.
//
//   bench_huge_images [bmp | jpeg]

#include "LargeFiles.h"
#include "Machine.h"
#include "Offscreen.h"
#include "Photos.h"
#include "ReferenceDecoder.h"
#include "Timing.h"
#include "app/Handlers.h"
#include "categories/Saving.h"
#include "core/App.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "source/ImageLoading.h"
#include "source/LoadedFile.h"
#include "trimming/Cropping.h"
#include "view/Scrolling.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct Case
{
    const char* name;
    int width, height;
    bool jpeg;
};

const Case kCases[] = { { "bmp", 32768, 16384, false }, { "jpeg", 65000, 8000, true } };

// Rows of an image, top first, as blue, green, red and a filler byte a pixel.
using RowVisitor = std::function<void(int y, const uchar* bgrx)>;

// The BMP's pixels: a hash of the position, so that a pixel out of place anywhere shows.
QRgb scanPixel(int x, int y)
{
    quint32 h = quint32(x) * 0x9E3779B1u ^ quint32(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0xC2B2AE35u;
    h ^= h >> 13;
    return 0xFF000000u | (h & 0xFFFFFFu);
}

void scanRow(int y, QRgb* row, int width)
{
    for (int x = 0; x < width; ++x)
        row[x] = scanPixel(x, y);
}

bool writeCase(const Case& c, const QString& path)
{
    if (!c.jpeg)
        return writeBmp(path, c.width, c.height, [&](int y, QRgb* row) { scanRow(y, row, c.width); });
    PatternRows rows(c.width, c.height, 3);
    return writeJpeg(path, c.width, c.height, [&](int, QRgb* row) { rows.next(row); });
}

// Every row of the image the case wrote, top first: computed for the BMP, decoded for the JPEG.
void visitRows(const Case& c, const QString& path, const RowVisitor& visit)
{
    if (c.jpeg) {
        decodeRows(path, visit);
        return;
    }
    std::vector<QRgb> row(size_t(c.width));
    for (int y = 0; y < c.height; ++y) {
        scanRow(y, row.data(), c.width);
        visit(y, reinterpret_cast<const uchar*>(row.data()));
    }
}

// Decodes in the background whose end the program has taken up.
int g_decodesTakenUp = 0;

void takeUpDecode(App& app)
{
    MAINFORM_DECODED(app);
    ++g_decodesTakenUp;
}

// Waits until the image on show is decoded whole; for an image shown before it was decoded, also
// until the program has taken up the decode's end, so that nothing of the open runs on. False
// when that did not come within a minute.
bool waitForWholeImage(TestProgram& program, int takenUpBefore, bool early)
{
    App& app = program.app();
    app.bitmaps.Image(app.SourceBitmap);
    QElapsedTimer waited;
    waited.start();
    while (early && g_decodesTakenUp == takenUpBefore && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        program.runEvents();
    }
    return !early || g_decodesTakenUp > takenUpBefore;
}

// A program started with 縦合わせ chosen, the file registered through "連番ファイル参照", and
// the image decoded whole.
bool openAtFitHeight(TestProgram& program, const QString& path, bool jpeg)
{
    program.start();
    App& app = program.app();
    registerHandler(app, "MAINFORM_DECODED", takeUpDecode);
    app.rt.SetCurSel(app.COMBO5, 1);
    COMBO5_CHANGE(app);
    const int takenUp = g_decodesTakenUp;
    registerSource(program, path);
    return app.CurrentFilePath == path && app.bitmaps.CheckObject(app.SourceBitmap)
        && waitForWholeImage(program, takenUp, jpeg);
}

// The file opened again, as a step opens the next one.
void reopen(App& app, const QString& path)
{
    app.LoadFilePath = path;
    LOAD_BMP(app);
    finishLoad(app);
}

// Five frames in category 1: nearly the whole image, and a block of 700 x 500 at each corner.
// Returns the blocks they cut.
QList<QRect> placeFrames(App& app)
{
    const float m = app.Magnification, w = app.ImageWidth, h = app.ImageHeight;
    const int iw = int(w), ih = int(h);
    const QRect wanted[] = { QRect(64, 64, iw - 128, ih - 128), QRect(0, 0, 700, 500),
        QRect(iw - 700, 0, 700, 500), QRect(0, ih - 500, 700, 500), QRect(iw - 700, ih - 500, 700, 500) };
    QList<QRect> blocks;
    size_t j = 0;
    for (const QRect& block : wanted) {
        const ViewFrame frame = frameHolding(block, m, w, h);
        app.FrameLeft[j][1] = frame.left;
        app.FrameTop[j][1] = frame.top;
        app.FrameRight[j][1] = frame.right;
        app.FrameBottom[j][1] = frame.bottom;
        blocks << blockOfFrame(frame, m, w, h);
        ++j;
    }
    app.CatFrameCount[1] = int16_t(j);
    return blocks;
}

QString piecePath(TestProgram& program, int n)
{
    return program.path(QStringLiteral("CG01_%1.BMP").arg(n, 3, 10, QLatin1Char('0')));
}

// A written piece, read a row at a time.
class Piece
{
public:
    Piece(const QString& path, const QRect& block)
        : m_file(path)
        , m_block(block)
    {
        const QByteArray header = m_file.open(QIODevice::ReadOnly) ? m_file.read(54) : QByteArray();
        if (header.size() < 54 || !header.startsWith("BM")) return;
        const auto number = [&](int at) {
            qint32 value;
            std::memcpy(&value, header.constData() + at, 4);
            return value;
        };
        const int bits = uchar(header[28]) | uchar(header[29]) << 8;
        m_topDown = number(22) < 0;
        m_start = number(10);
        m_stride = (qint64(block.width()) * 3 + 3) / 4 * 4;
        m_readable = bits == 24 && number(18) == block.width() && std::abs(number(22)) == block.height();
    }

    // Compares the piece's row that shows image row y with the image's row; counts what differs.
    void compare(int y, const uchar* bgrx)
    {
        if (!m_readable || y < m_block.top() || y > m_block.bottom()) return;
        const int r = y - m_block.top();
        m_file.seek(m_start + (m_topDown ? r : m_block.height() - 1 - r) * m_stride);
        m_row.resize(m_stride);
        if (m_file.read(m_row.data(), m_stride) != m_stride) m_readable = false;
        const auto* piece = reinterpret_cast<const uchar*>(m_row.constData());
        const uchar* image = bgrx + qint64(m_block.left()) * 4;
        for (int x = 0; x < m_block.width(); ++x)
            if (std::memcmp(piece + 3 * x, image + 4 * x, 3) != 0) ++m_differing;
    }

    bool exact() const { return m_readable && m_differing == 0; }
    qint64 differing() const { return m_differing; }

private:
    QFile m_file;
    QRect m_block;
    bool m_readable = false, m_topDown = false;
    qint64 m_start = 0, m_stride = 0, m_differing = 0;
    QByteArray m_row;
};

// Every piece against the image, a row at a time; prints what differs.
void checkPieces(TestProgram& program, const QList<QRect>& blocks, const Case& c, const QString& path)
{
    std::vector<std::unique_ptr<Piece>> pieces;
    for (int n = 1; n <= blocks.size(); ++n)
        pieces.push_back(std::make_unique<Piece>(piecePath(program, n), blocks[n - 1]));
    visitRows(c, path, [&](int y, const uchar* bgrx) {
        for (auto& piece : pieces)
            piece->compare(y, bgrx);
    });
    int exact = 0;
    for (size_t n = 0; n < pieces.size(); ++n) {
        if (pieces[n]->exact()) {
            ++exact;
            continue;
        }
        std::printf("  piece %zu (%d x %d at %d, %d) unreadable or %lld pixels differ\n", n + 1,
            blocks[int(n)].width(), blocks[int(n)].height(), blocks[int(n)].left(), blocks[int(n)].top(),
            static_cast<long long>(pieces[n]->differing()));
    }
    std::printf("  pieces exact: %d of %d (largest %d x %d)\n", exact, int(blocks.size()), blocks[0].width(),
        blocks[0].height());
}

// What a process of its own runs: opens the file, saves the pieces, and prints its peak memory
// after each, as a multiple of the image in RGB32.
int openAndSave(const QString& path, bool jpeg)
{
    TestProgram program;
    if (!openAtFitHeight(program, path, jpeg)) return 1;
    App& app = program.app();
    const double image = double(app.ImageWidth) * double(app.ImageHeight) * 4;
    const double opened = residentPeak() / image;
    placeFrames(app);
    HOZON_SUB(app);
    std::printf("%.3f %.3f %d\n", opened, residentPeak() / image, int(app.SavedPieces.size()));
    return 0;
}

void reportPeakMemory(const char* self, const Case& c, const QString& path)
{
    QProcess child;
    child.start(
        QFile::decodeName(self), { QStringLiteral("--open-and-save"), QString::fromLatin1(c.name), path });
    child.waitForFinished(-1);
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || figures.size() != 3) {
        std::printf("  peak memory: FAILED (the process ended with %d)\n", child.exitCode());
        return;
    }
    std::printf("  peak memory decoded %.2f x the RGB32 image, after saving %s pieces %.2f x "
                "(goal 1.3)\n",
        figures[0].toDouble(), figures[2].constData(), figures[1].toDouble());
}

// The reference, then the program's open, three times in turn; each side's first run warms up.
// For an image shown early, the time to the picture and the time until it is decoded whole.
void measureOpen(TestProgram& program, const Case& c, const QString& path)
{
    App& app = program.app();
    std::vector<char> bytes;
    ReferenceDecoder decoder;
    const auto referenceRun = [&] { c.jpeg ? decoder.decode(path) : readBytesInto(path, bytes); };
    referenceRun();
    double reference = 1e300, picture = 1e300, whole = 1e300;
    for (int run = 0; run < 3; ++run) {
        reference = std::min(reference, milliseconds(referenceRun));
        const int takenUp = g_decodesTakenUp;
        QElapsedTimer timer;
        timer.start();
        reopen(app, path);
        picture = std::min(picture, double(timer.nsecsElapsed()) / 1e6);
        app.bitmaps.Image(app.SourceBitmap);
        whole = std::min(whole, double(timer.nsecsElapsed()) / 1e6);
        if (!waitForWholeImage(program, takenUp, c.jpeg)) std::printf("  the decode never ended\n");
    }
    std::printf("  open at 縦合わせ (x %.4f): picture shown %.1f ms, decoded whole %.1f ms\n",
        double(app.Magnification), picture, whole);
    std::printf("  %s %.1f ms: ratio picture %.2f, decoded whole %.2f (goal 1.5)\n",
        c.jpeg ? "libjpeg-turbo decode" : "reading its bytes", reference, picture / reference,
        whole / reference);
}

void runCase(const char* self, const Case& c, const QString& folder)
{
    const QString path = folder + (c.jpeg ? QStringLiteral("/huge001.JPG") : QStringLiteral("/huge001.BMP"));
    std::printf("%d x %d %s (%.0f MP), load average %.2f\n", c.width, c.height,
        c.jpeg ? "JPEG" : "24-bit BMP", double(c.width) * c.height / 1e6, loadAverage());
    if (!writeCase(c, path)) {
        std::printf("  cannot write %s\n", qPrintable(path));
        return;
    }
    {
        TestProgram program;
        if (!openAtFitHeight(program, path, c.jpeg)) {
            std::printf("  FAILED: the program did not open it\n");
            QFile::remove(path);
            return;
        }
        measureOpen(program, c, path);
        const QList<QRect> blocks = placeFrames(program.app());
        HOZON_SUB(program.app());
        checkPieces(program, blocks, c, path);
    }
    reportPeakMemory(self, c, path);
    std::printf("  load average %.2f\n", loadAverage());
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    dropPlatformWarnings();
    if (argc == 4 && std::strcmp(argv[1], "--open-and-save") == 0)
        return openAndSave(QFile::decodeName(argv[3]), std::strcmp(argv[2], "jpeg") == 0);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir scratch;
    for (const Case& c : kCases)
        if (argc < 2 || std::strcmp(argv[1], c.name) == 0) runCase(argv[0], c, scratch.path());
    return 0;
}
