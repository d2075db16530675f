#include "categories/SavingSupport.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"
#include "image/DecodeProgress.h"
#include "image/ImageFiles.h"
#include "source/ImageLoading.h"

#include <QTest>

#include <atomic>
#include <cstring>
#include <optional>

namespace {

// Decodes as the program does, but holds back the rows from `heldFrom` on until somebody waits
// for one of them: until then the program sees only the rows above.
struct HeldDecoder
{
    int heldFrom = 0;
    bool failsWhenReleased = false; // as a file found cut short there would
    std::atomic<bool> released { false };

    LoadError operator()(const QString& path, const QImage& image, DecodeProgress& progress)
    {
        QImage full;
        if (const LoadResult read = readImageFile(path, full); !read.ok()) return read.error;
        copyRows(full, image, 0, heldFrom);
        progress.rowsWritten(heldFrom);
        progress.waitForDemand();
        if (progress.abandoned()) return LoadError::Unreadable;
        released = true;
        if (failsWhenReleased) return LoadError::Unreadable;
        copyRows(full, image, heldFrom, image.height());
        progress.rowsWritten(image.height());
        return LoadError::None;
    }

    static void copyRows(const QImage& from, const QImage& to, int top, int bottom)
    {
        for (int y = top; y < std::min(bottom, to.height()); ++y)
            std::memcpy(const_cast<uchar*>(to.constScanLine(y)), from.constScanLine(y), size_t(to.width()) * 4);
    }
};

constexpr int kHeldFromAtActualSize = 1000; // rows below any picture area of the offscreen screen

// A smooth scan, so that the view of a reduced decode is close to the view of the full image.
QImage scanImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool print = (x / 300 + y / 400) % 2 == 0;
            row[x] = print ? qRgb(40 + x * 150 / width, 90, 200 - y * 120 / height) : qRgb(235, 230, 220);
        }
    }
    return image;
}

// What one session showed and saved: a small image, then the scan after "保存実行", shown at
// magnification `entry` and framed, its view and picture at each point.
struct Session
{
    TestProgram program;
    std::optional<HeldDecoder> held;
    QString scanPath;
    QImage scan; // as decoded whole

    explicit Session(bool early)
    {
        if (early) held.emplace();
        writeImage(program.path(QStringLiteral("IMG001.BMP")), 1, 300, 200);
        scanPath = program.path(QStringLiteral("IMG002.BMP")); // a JPEG, read by its content
        QVERIFY(scanImage(1200, 1800).save(scanPath, "JPEG", 92));
        QVERIFY(readImageFile(scanPath, scan).ok());
        writeImage(program.path(QStringLiteral("IMG003.BMP")), 3, 300, 200);
        program.start();
        App& app = program.app();
        // Nothing is decoded ahead, so that the scan is opened as a direct file would be.
        app.bitmaps.UsePrefetchDecoder([](const QString&, int, const std::atomic<bool>&) { return std::nullopt; });
        if (held)
            app.bitmaps.UseBackgroundDecoder(
                [this](const QString& path, const QImage& image, DecodeProgress& progress) {
                    return (*held)(path, image, progress);
                },
                1);
        registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    }

    void showScan(int entry)
    {
        if (held) held->heldFrom = entry == 0 ? kHeldFromAtActualSize : 0;
        chooseEntry(program, "COMBO5", entry);
        click(program, "BUTTON9");
        QCOMPARE(program.app().CurrentFileName, QStringLiteral("IMG002.BMP"));
    }

    bool released() const { return held && held->released; }
};

// Runs the program until the end of the decode in the background has been taken up.
void runUntilDecoded(TestProgram& program)
{
    QTRY_VERIFY_WITH_TIMEOUT((program.runEvents(), !program.app().bitmaps.DecodingInBackground()), 10000);
}

// Mean difference per channel between two images of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

} // namespace

// A large JPEG that was not decoded ahead is on show before its full decode has ended: at actual
// size the rows of the picture as soon as they are decoded, shrunk the view of a reduced decode,
// replaced by the full image's once it is decoded. A save meanwhile waits for the full image.
class TestEarlyPicture : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void earlyPictureBecomesThePictureOfTheFullImage_data();
    void earlyPictureBecomesThePictureOfTheFullImage();
    void saveDuringTheDecodeWaitsAndCutsExactPieces_data();
    void saveDuringTheDecodeWaitsAndCutsExactPieces();
    void decodeThatFailsLateIsReported();
};

void TestEarlyPicture::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void magnificationEntries()
{
    QTest::addColumn<int>("entry");
    // clang-format off
    QTest::newRow("等倍")     << 0;
    QTest::newRow("縦合わせ") << 1;
    QTest::newRow("×0.5")     << 7;
    QTest::newRow("×0.1")     << 11;
    // clang-format on
}

void TestEarlyPicture::earlyPictureBecomesThePictureOfTheFullImage_data()
{
    magnificationEntries();
}

// The picture is shown before the rows held back are decoded, and a frame placed on it at once;
// once the decode has ended, picture and view are those of a program that decoded the scan whole
// before showing it, frame included.
void TestEarlyPicture::earlyPictureBecomesThePictureOfTheFullImage()
{
    QFETCH(int, entry);
    Session whole(false);
    whole.showScan(entry);
    const QImage wholePicture = shownPart(whole.program.app());
    placeFrame(whole.program, QPoint(30, 20), QPoint(90, 70));
    const QImage wholeFramed = view(whole.program.app());

    Session early(true);
    early.showScan(entry);
    App& app = early.program.app();
    QVERIFY(app.bitmaps.DecodingInBackground());
    const QImage earlyPicture = shownPart(app);
    QCOMPARE(earlyPicture.size(), wholePicture.size());
    if (entry == 0)
        QCOMPARE(earlyPicture, wholePicture);
    else
        QVERIFY2(meanDifference(earlyPicture, wholePicture) < 3.0, "the early view looks like the scan");
    placeFrame(early.program, QPoint(30, 20), QPoint(90, 70));
    QVERIFY(!early.released());

    sourceImage(app); // asks for the whole image
    QVERIFY(early.released());
    runUntilDecoded(early.program);
    QCOMPARE(view(app), wholeFramed);
    QCOMPARE(shownPart(app), shownPart(whole.program.app()));
}

void TestEarlyPicture::saveDuringTheDecodeWaitsAndCutsExactPieces_data()
{
    magnificationEntries();
}

// "保存実行" while the rows are held back: the save asks for them, waits, and the pieces are the
// full image's; then the next image is on show.
void TestEarlyPicture::saveDuringTheDecodeWaitsAndCutsExactPieces()
{
    QFETCH(int, entry);
    Session early(true);
    early.showScan(entry);
    App& app = early.program.app();
    placeFrame(early.program, QPoint(30, 20), QPoint(100, 90));
    const QRect block = blockOfPlacedFrame(app, 0);
    QVERIFY(!early.released());
    click(early.program, "BUTTON9");
    QVERIFY(early.released());
    verifyPiece(early.program.path(QStringLiteral("CG01_001.BMP")), early.scan, block);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG003.BMP"));
    runUntilDecoded(early.program);
    QCOMPARE(messageLines(early.program.dialogs()), QStringList());
}

// A decode that fails after the picture was shown is reported as a load that failed, with the
// file's name, and the picture is cleared. The rows never decoded are white until then, so that
// nothing unwritten is shown or saved.
void TestEarlyPicture::decodeThatFailsLateIsReported()
{
    Session early(true);
    early.held->failsWhenReleased = true;
    early.showScan(0);
    App& app = early.program.app();
    const QImage shown = sourceImage(app);
    QVERIFY(early.released());
    QCOMPARE(shown.copy(0, 0, 1200, kHeldFromAtActualSize), early.scan.copy(0, 0, 1200, kHeldFromAtActualSize));
    QImage white(1200, 1800 - kHeldFromAtActualSize, QImage::Format_RGB32);
    white.fill(0xFFFFFFFFu);
    QCOMPARE(shown.copy(0, kHeldFromAtActualSize, 1200, white.height()), white);
    early.program.dialogs().answerMessage();
    runUntilDecoded(early.program);
    QCOMPARE(messageLines(early.program.dialogs()), QStringList { "IMG002.BMP|このファイルは表示できません|0" });
    QVERIFY(!app.bitmaps.CheckObject(app.SourceBitmap));
    QCOMPARE(app.CurrentFileName, QString());
}

QTEST_MAIN(TestEarlyPicture)
#include "tst_early_picture.moc"
