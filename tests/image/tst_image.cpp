#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/ResourceCaps.h"
#include "fixture/ScriptedDialogs.h"
#include "image/BitmapStore.h"
#include "image/ImageFiles.h"
#include "image/ImagePrefetcher.h"
#include "platform/DurableFiles.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>

#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What the file system was asked to make durable or to name, in order: "sync <path>" and
// "name <from> <to>".
QStringList& fileEvents()
{
    static QStringList events;
    return events;
}

QString pathOf(int fd)
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

} // namespace

// These stand in for the C library's functions in this test program, to see the order in which a
// file is made durable and named; each does the C library's work through the system call.
extern "C" int fsync(int fd)
{
    fileEvents() << QStringLiteral("sync ") + pathOf(fd);
    return int(syscall(SYS_fsync, fd));
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    fileEvents() << QStringLiteral("name %1 %2").arg(QFile::decodeName(from), QFile::decodeName(to));
    return int(syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

// Images: a piece written as a new BMP file, the next image decoded ahead, and the pixels a bitmap
// holds.
class TestImage : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void newBmpFileHoldsTheExactPixels();
    void newBmpFileNeverReplacesAFile();
    void failedBmpWriteLeavesNothing_data();
    void failedBmpWriteLeavesNothing();
    void newBmpFileIsSyncedBeforeItGetsItsName();
    void takingAnImageWaitsOnlyForItsOwnDecode_data();
    void takingAnImageWaitsOnlyForItsOwnDecode();
    void failureOnTheDecodeThreadLeavesTheFileToTheOpening_data();
    void failureOnTheDecodeThreadLeavesTheFileToTheOpening();
    void pixelWindowsKeepTheirBuffer();
};

void TestImage::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestImage::newBmpFileHoldsTheExactPixels()
{
    QTemporaryDir dir;
    const QImage image = noiseImage(13, 7); // odd width: rows are padded in the file
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    QVERIFY(writeNewBmpFile(image, path).ok());
    const QByteArray bytes = readBytes(path);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(int(uchar(bytes[28])), 24); // bits per pixel
    QCOMPARE(int(uchar(bytes[30])), 0); // uncompressed
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), image);
    // Byte for byte what Qt's own writer makes of it.
    QByteArray qtBytes;
    QBuffer buffer(&qtBytes);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(QImageWriter(&buffer, "bmp").write(image));
    QCOMPARE(bytes, qtBytes);
    // Readable by others like any file the user makes, not private like a temporary file.
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::ReadOther);
    QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
}

void TestImage::newBmpFileNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    writeBytes(path, "not mine");
    const SaveResult result = writeNewBmpFile(noiseImage(4, 4), path);
    QCOMPARE(result.outcome, SaveOutcome::NameTaken);
    QCOMPARE(readBytes(path), QByteArray("not mine"));
    QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
}

void TestImage::failedBmpWriteLeavesNothing_data()
{
    QTest::addColumn<QString>("folder"); // relative to a scratch folder
    QTest::addColumn<qint64>("sizeLimit"); // bytes a file may have; 0: no limit
    QTest::addColumn<int>("error"); // the system's error number that the reason tells
    QTest::addColumn<bool>("noImage"); // the piece could not be cut out
    // clang-format off
    QTest::newRow("folder missing")    << "gone"  << qint64(0)     << ENOENT  << false;
    QTest::newRow("folder is a file")  << "plain" << qint64(0)     << ENOTDIR << false;
    // A limit on the size of files makes the write fail as a full disk does, with its own reason.
    QTest::newRow("header cut short")  << "."     << qint64(20)    << EFBIG   << false;
    QTest::newRow("rows cut short")    << "."     << qint64(100)   << EFBIG   << false;
    QTest::newRow("last rows cut off") << "."     << qint64(60000) << EFBIG   << false;
    QTest::newRow("no image")          << "."     << qint64(0)     << ENOMEM  << true;
    // clang-format on
}

void TestImage::failedBmpWriteLeavesNothing()
{
    QFETCH(QString, folder);
    QFETCH(qint64, sizeLimit);
    QFETCH(int, error);
    QFETCH(bool, noImage);
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("plain")));
    std::optional<FileSizeCap> cap;
    if (sizeLimit > 0) {
        cap.emplace(sizeLimit);
        QVERIFY(cap->active());
    }
    const SaveResult result = writeNewBmpFile(
        noImage ? QImage() : noiseImage(200, 200), dir.filePath(folder + QStringLiteral("/a.BMP")));
    cap.reset();
    QCOMPARE(result.outcome, SaveOutcome::Failed);
    QCOMPARE(result.reason, QString::fromLocal8Bit(std::strerror(error)));
    QCOMPARE(filesIn(dir.path()), QStringList { "plain" });
}

// The piece's bytes reach the disk before the piece gets its name, and the name reaches the disk
// with its folder; so after a power loss a numbered file is whole or absent.
void TestImage::newBmpFileIsSyncedBeforeItGetsItsName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    fileEvents().clear();
    QVERIFY(writeNewBmpFile(noiseImage(5, 3), path).ok());
    QStringList events = fileEvents().filter(dir.path());
    QCOMPARE(events.size(), 3);
    const QString temporary = events[0].section(QLatin1Char(' '), 1);
    QVERIFY2(QFileInfo(temporary).fileName().startsWith(temporaryPrefix(TemporaryKind::Piece, getpid())),
        qPrintable(temporary));
    QCOMPARE(
        events, QStringList({ "sync " + temporary, "name " + temporary + " " + path, "sync " + dir.path() }));
}

namespace {

// Decodes ahead only when the test lets it: each decode waits until released, then succeeds
// with a small image or fails, as the test chose.
class HeldDecoder
{
public:
    explicit HeldDecoder(bool succeeds)
        : m_succeeds(succeeds)
    {
    }
    std::optional<ImagePrefetcher::Decoded> decode(
        const QString&, int margin, const std::atomic<bool>& abandoned)
    {
        std::unique_lock lock(m_mutex);
        m_started = true;
        m_changed.notify_all();
        // A decode that nobody wants any more gives up, as the file reader does.
        while (!m_changed.wait_for(lock, std::chrono::milliseconds(1), [&] { return m_released; }))
            if (abandoned) return std::nullopt;
        if (!m_succeeds) return std::nullopt;
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return ImagePrefetcher::Decoded { framedCopyOf(image, margin), {}, std::nullopt };
    }
    bool waitUntilStarted()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_started; });
    }
    void release()
    {
        const std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    bool m_released = false;
    const bool m_succeeds;
};

// What is decoded ahead when an image is taken.
enum class Ahead { Nothing, Taken, Other, TakenThenDropped, EmptyPath };

} // namespace

// Taking an image decoded ahead waits for its decode when that is under way, and for nothing
// else: not when nothing was asked for, another file or an empty path (a program started again
// on settings that name no file) is decoded, or the decode was dropped.
void TestImage::takingAnImageWaitsOnlyForItsOwnDecode_data()
{
    QTest::addColumn<Ahead>("ahead");
    QTest::addColumn<bool>("decodeSucceeds");
    QTest::addColumn<bool>("takesEmptyPath");
    QTest::addColumn<bool>("waits");
    QTest::addColumn<bool>("taken");
    // clang-format off
    QTest::newRow("nothing under way")             << Ahead::Nothing          << true  << false << false << false;
    QTest::newRow("nothing, empty path taken")     << Ahead::Nothing          << true  << true  << false << false;
    QTest::newRow("empty path asked ahead")        << Ahead::EmptyPath        << true  << true  << false << false;
    QTest::newRow("another path under way")        << Ahead::Other            << true  << false << false << false;
    QTest::newRow("empty path, another under way") << Ahead::Other            << true  << true  << false << false;
    QTest::newRow("same path under way")           << Ahead::Taken            << true  << false << true  << true;
    QTest::newRow("same path under way, fails")    << Ahead::Taken            << false << false << true  << false;
    QTest::newRow("same path dropped")             << Ahead::TakenThenDropped << true  << false << false << false;
    // clang-format on
}

void TestImage::takingAnImageWaitsOnlyForItsOwnDecode()
{
    QFETCH(Ahead, ahead);
    QFETCH(bool, decodeSucceeds);
    QFETCH(bool, takesEmptyPath);
    QFETCH(bool, waits);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.BMP"));
    const QString other = dir.filePath(QStringLiteral("b.BMP"));
    writeBytes(path, "a");
    writeBytes(other, "b");

    HeldDecoder decoder(decodeSucceeds);
    ImagePrefetcher prefetcher([&](const QString& file, int margin, const std::atomic<bool>& abandoned) {
        return decoder.decode(file, margin, abandoned);
    });
    // The worker is let go before the prefetcher joins it, however the test ends.
    const std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { decoder.release(); });
    switch (ahead) {
    case Ahead::Nothing: break;
    case Ahead::EmptyPath: prefetcher.prefetch(QString(), 0); break;
    case Ahead::Other:
    case Ahead::Taken:
    case Ahead::TakenThenDropped:
        prefetcher.prefetch(ahead == Ahead::Other ? other : path, 2);
        QVERIFY(decoder.waitUntilStarted());
        if (ahead == Ahead::TakenThenDropped) prefetcher.drop();
        break;
    }

    auto taking
        = std::async(std::launch::async, [&] { return prefetcher.take(takesEmptyPath ? QString() : path); });
    if (waits) {
        QCOMPARE(taking.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
        decoder.release();
    }
    // A take that waits for work nobody does never returns; the test cannot go on from there.
    if (taking.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        qFatal("taking the image waits for a decode that is not under way");
    const std::optional<ImagePrefetcher::Decoded> image = taking.get();
    QCOMPARE(image.has_value(), taken);
    if (taken) QCOMPARE(image->framed.image.pixel(0, 0), QColor(Qt::darkCyan).rgb());
}

void TestImage::failureOnTheDecodeThreadLeavesTheFileToTheOpening_data()
{
    QTest::addColumn<bool>("inTheDecoder"); // or in shrinking the view ahead
    QTest::newRow("decoding") << true;
    QTest::newRow("shrinking the view") << false;
}

// Running out of memory on the decode-ahead thread neither ends the program nor leaves anything
// held: the opening reads the file itself and reports what it finds. The next decode works.
void TestImage::failureOnTheDecodeThreadLeavesTheFileToTheOpening()
{
    QFETCH(bool, inTheDecoder);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.BMP"));
    writeImage(path, 1, 40, 30);
    bool fails = true;
    ImagePrefetcher prefetcher([&](const QString& file, int margin, const std::atomic<bool>&) {
        if (fails && inTheDecoder) throw std::bad_alloc();
        return std::optional(
            ImagePrefetcher::Decoded { readFramedImageFile(file, { margin }).framed, {}, std::nullopt });
    });
    prefetcher.setViewSize([&](QSize) {
        if (fails && !inTheDecoder) throw std::bad_alloc();
        return QSize(20, 15);
    });
    prefetcher.prefetch(path, 2);
    QVERIFY(!prefetcher.waitUntilIdle(path));
    QVERIFY(!prefetcher.take(path));

    fails = false;
    prefetcher.prefetch(path, 2);
    QVERIFY(prefetcher.waitUntilIdle(path));
    const std::optional<ImagePrefetcher::Decoded> taken = prefetcher.take(path);
    QVERIFY(taken);
    QCOMPARE(taken->view.size(), QSize(24, 19));
}

// A window into a bitmap's pixels, and every copy of it, keeps the buffer: a copy made of a view
// that shares its source's pixels still reads them after both bitmaps are gone. The image is
// larger than any block the allocator keeps, so a freed buffer goes back to the system at once.
void TestImage::pixelWindowsKeepTheirBuffer()
{
    const QImage image = patternImage(3000, 3000);
    BitmapStore store;
    store.SetLoadMargin(8);
    Bitmap source, view;
    QVERIFY(store.SetImage(source, image));
    QVERIFY(store.ViewSource(view, source, 8));
    const QImage sourceCopy = *store.Image(source);
    const QImage viewCopy = *store.Image(view);
    store.DeleteObject(source);
    store.DeleteObject(view);
    QCOMPARE(sourceCopy, image);
    QCOMPARE(viewCopy.copy(8, 8, 3000, 3000), image);
    QCOMPARE(viewCopy.pixel(0, 0), qRgb(255, 255, 255));
}

QTEST_MAIN(TestImage)
#include "tst_image.moc"
