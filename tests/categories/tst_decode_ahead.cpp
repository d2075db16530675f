#include "categories/SavingSupport.h"
#include "fixture/EncodedImages.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "fixture/UserActions.h"
#include "image/ImageFiles.h"

#include <QDateTime>
#include <QFile>
#include <QTest>

#include <optional>

#ifdef Q_OS_UNIX
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#endif

// The next image decoded ahead while the user works on one, and taken by the step that shows it.
class TestDecodeAhead : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged_data();
    void nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged();
    void decodingAheadFollowsTheDirectionAndTheSource();
    void stepBackStopsTheDecodeAheadBeforeReading();
    void shrunkViewBuiltAheadIsTheViewBuiltWhenOpening_data();
    void shrunkViewBuiltAheadIsTheViewBuiltWhenOpening();
};

void TestDecodeAhead::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestDecodeAhead::nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged_data()
{
    QTest::addColumn<QString>("change"); // what happens to the next file after it was decoded ahead
    // clang-format off
    QTest::newRow("unchanged")         << "";
    QTest::newRow("replaced")          << "replaced";
    QTest::newRow("replaced by junk")  << "junk";
    // Copies that keep times: the same size and modification time, another picture.
    QTest::newRow("rewritten in place, times kept") << "in place";
    QTest::newRow("renamed over, times kept")       << "renamed over";
    // clang-format on
}

// While the user works on an image the next one is decoded ahead; "保存実行" shows it without
// reading it again, unless the file changed meanwhile: then the file as it is now is read,
// with the messages of any load.
void TestDecodeAhead::nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged()
{
    QFETCH(QString, change);
    TestProgram program;
    const QString first = program.path(QStringLiteral("IMG001.BMP"));
    const QString next = program.path(QStringLiteral("IMG002.BMP"));
    const QImage firstImage = writeImage(first, 1, 120, 90);
    QImage nextImage = writeImage(next, 2, 120, 90);
    program.start();
    App& app = program.app();
    registerSource(program, first);
    QVERIFY(app.bitmaps.WaitForPrefetch(next));
    if (change == QLatin1String("replaced")) {
        nextImage = writeImage(next, 3, 120, 90);
        QFile file(next);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    } else if (change == QLatin1String("junk")) {
        writeBytes(next, QByteArray(5000, 'x'));
        program.dialogs().answerMessage();
    } else if (!change.isEmpty()) {
        const QString other = program.path(QStringLiteral("other.BMP"));
        nextImage = writeImage(other, 3, 120, 90);
        replaceKeepingTimes(next, other,
            change == QLatin1String("in place") ? Replacement::InPlace : Replacement::RenamedOver);
    }
    click(program, "BUTTON9");
    QCOMPARE(app.bitmaps.TakenAheadSoFar().images, change.isEmpty() ? 1 : 0);
    if (change == QLatin1String("junk")) {
        QCOMPARE(messageLines(program.dialogs()),
            QStringList { QStringLiteral("IMG002.BMP|このファイルは表示できません|0") });
        QCOMPARE(sourceImage(app), firstImage);
        return;
    }
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
    QCOMPARE(sourceImage(app), nextImage);
}

// After a step back the previous image is decoded ahead; opening the registration window, where
// the source may change, drops what was decoded.
void TestDecodeAhead::decodingAheadFollowsTheDirectionAndTheSource()
{
    TestProgram program;
    auto path = [&](int n) { return program.path(QStringLiteral("IMG00%1.BMP").arg(n)); };
    for (int n = 1; n <= 4; ++n)
        writeImage(path(n), n, 60 + n, 40);
    program.start();
    App& app = program.app();
    registerSource(program, path(3));
    QVERIFY(app.bitmaps.WaitForPrefetch(path(4)));
    click(program, "BUTTON12");
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
    QVERIFY(app.bitmaps.WaitForPrefetch(path(1)));
    click(program, "BUTTON12");
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(app.bitmaps.TakenAheadSoFar().images, 1);
    click(program, "BUTTON9");
    QVERIFY(app.bitmaps.WaitForPrefetch(path(3)));
    click(program, "BUTTON5");
    QVERIFY(!app.bitmaps.WaitForPrefetch(path(3)));
}

namespace {

// Decodes ahead as a large image does: once the test lets it, it takes the memory of an image of
// the given size and keeps it until the decode is abandoned.
class MemoryTakingDecoder
{
public:
    explicit MemoryTakingDecoder(QSize size)
        : m_size(size)
    {
    }
    std::optional<ImagePrefetcher::Decoded> decode(const QString&, int, const std::atomic<bool>& abandoned)
    {
        using namespace std::chrono_literals;
        std::unique_lock lock(m_mutex);
        while (!m_changed.wait_for(lock, 1ms, [&] { return m_mayTake; }))
            if (abandoned) return std::nullopt;
        const QImage taken = unwrittenImage(m_size.width(), m_size.height());
        m_holding = !taken.isNull();
        m_changed.notify_all();
        while (!abandoned)
            m_changed.wait_for(lock, 1ms);
        m_holding = false;
        return std::nullopt;
    }
    // Lets the decode under way take its memory; true once it holds it.
    bool takeMemory()
    {
        std::unique_lock lock(m_mutex);
        m_mayTake = true;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_holding; });
    }

private:
    const QSize m_size;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_mayTake = false;
    bool m_holding = false;
};

} // namespace

// A step that does not take the image decoded ahead stops that decode before it reads its own
// file: besides the image on show, only one full image is ever held. With room for one and a half
// images left, "保存後逆読込" loads the previous image while the next one is being decoded.
void TestDecodeAhead::stepBackStopsTheDecodeAheadBeforeReading()
{
    const QSize size(4000, 3000);
    const qint64 imageBytes = qint64(size.width()) * size.height() * 4;
    MemoryTakingDecoder decoder(size); // outlives the program, whose worker may still call it
    TestProgram program;
    auto path = [&](int n) { return program.path(QStringLiteral("IMG00%1.BMP").arg(n)); };
    QImage large(size, QImage::Format_RGB32);
    large.fill(qRgb(10, 20, 30));
    writeBytes(path(1), bmpFile(large, 24));
    large.fill(qRgb(40, 50, 60));
    writeBytes(path(2), bmpFile(large, 24));
    writeImage(path(3), 3, 20, 10);
    program.start();
    App& app = program.app();
    app.bitmaps.UsePrefetchDecoder([&](const QString& file, int margin, const std::atomic<bool>& abandoned) {
        return decoder.decode(file, margin, abandoned);
    });
    registerSource(program, path(2));
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
    {
        AddressSpaceCap cap(imageBytes * 3 / 2);
        if (!cap.active()) QSKIP("needs an address-space limit, which the address sanitizer does not bear");
        QVERIFY(decoder.takeMemory());
        click(program, "BUTTON12");
    }
    QCOMPARE(messageLines(program.dialogs()), QStringList());
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(sourceImage(app).pixel(size.width() - 1, size.height() - 1), qRgb(10, 20, 30));
}

void TestDecodeAhead::shrunkViewBuiltAheadIsTheViewBuiltWhenOpening_data()
{
    QTest::addColumn<int>("entry"); // of the magnification list
    // After the next image was decoded ahead: the window resized, another entry chosen (or -1).
    QTest::addColumn<bool>("resized");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("viewsTaken");
    // clang-format off
    QTest::newRow("×0.5")                   << 7  << false << -1 << 1;
    QTest::newRow("×0.1")                   << 11 << false << -1 << 1;
    QTest::newRow("fit height")             << 1  << false << -1 << 1;
    QTest::newRow("fit width, resized")     << 2  << true  << -1 << 1;
    QTest::newRow("×0.5, resized")          << 7  << true  << -1 << 1;
    QTest::newRow("×0.5, then ×0.1 chosen") << 7  << false << 11 << 1;
    QTest::newRow("×0.5, then 等倍 chosen") << 7  << false << 0  << 0;
    QTest::newRow("actual size")            << 0  << false << -1 << 0;
    // clang-format on
}

// At a shrinking magnification the next image's view is shrunk while it is decoded ahead. The
// view shown after "保存実行" is the one building it when opening gives, pixel for pixel; when
// the picture area changed meanwhile and the fit with it, the resize has the view shrunk ahead
// again for the new area; another magnification chosen meanwhile has the view shrunk ahead for it.
void TestDecodeAhead::shrunkViewBuiltAheadIsTheViewBuiltWhenOpening()
{
    QFETCH(int, entry);
    QFETCH(bool, resized);
    QFETCH(int, chosen);
    QFETCH(int, viewsTaken);
    TestProgram program;
    auto path = [&](int n) { return program.path(QStringLiteral("IMG00%1.BMP").arg(n)); };
    QImage last;
    for (int n = 1; n <= 3; ++n)
        last = writeImage(path(n), n, 1203, 877);
    program.start();
    App& app = program.app();
    registerSource(program, path(1));
    chooseEntry(program, "COMBO5", entry);
    click(program, "BUTTON9"); // the next image is decoded ahead at this magnification
    QVERIFY(app.bitmaps.WaitForPrefetch(path(3)));
    if (resized) setPictureArea(program, 700, 430);
    if (chosen >= 0) {
        entry = chosen;
        chooseEntry(program, "COMBO5", entry);
        QVERIFY(app.bitmaps.WaitForPrefetch(path(3)));
    }
    const int viewsBefore = app.bitmaps.TakenAheadSoFar().views;
    click(program, "BUTTON9");
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG003.BMP"));
    QCOMPARE(app.bitmaps.TakenAheadSoFar().views - viewsBefore, viewsTaken);
    const QImage shown = view(app);
    chooseEntry(program, "COMBO5", entry == 0 ? 7 : 0);
    chooseEntry(program, "COMBO5", entry);
    QCOMPARE(shown, view(app));
    placeFrame(program, QPoint(15, 15), QPoint(90, 70));
    const QRect block = blockOfPlacedFrame(app, 0);
    click(program, "BUTTON11");
    verifyPiece(program.path(QStringLiteral("CG01_001.BMP")), last, block);
}

QTEST_MAIN(TestDecodeAhead)
#include "tst_decode_ahead.moc"
