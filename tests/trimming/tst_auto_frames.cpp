#include "core/App.h"
#include "fixture/AlbumPages.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "trimming/Cropping.h"

#include <QFileInfo>
#include <QTest>

#include <cmath>

// The three keys by which the program places frames: A around every piece found on the image, S
// to tighten the frame chosen to what it holds, Ctrl+V for the frames the last save cut. All
// input goes through the window system, and the frames are checked by the pieces they cut.

namespace {

const QSize kPage(1600, 1200);

// A numbered sequence of generated album pages (IMG001.BMP, ...), registered as a user
// registers it, categories 1 and 2 valid, in a picture area larger than `area` allows.
struct AlbumSeries
{
    TestProgram program;
    QList<AlbumPage> pages;

    explicit AlbumSeries(const QList<PageLayout>& layouts, QSize area = QSize(800, 600))
    {
        for (const PageLayout& layout : layouts) {
            pages << renderPage(layout);
            pages.last().image.save(program.path(fileName(int(pages.size()))), "BMP");
        }
        program.start();
        setPictureArea(program, area.width(), area.height());
        registerSource(program, program.path(fileName(1)), 2);
    }
    static QString fileName(int n) { return QStringLiteral("IMG%1.BMP").arg(n, 3, 10, QLatin1Char('0')); }
    App& app() { return program.app(); }
    void key(QKeyCombination combination) { pressKey(program, "MAINFORM", combination); }
    void magnification(int entry) { chooseEntry(program, "COMBO5", entry); }
    // The image blocks the frames of a category cut, in the order of its frame list.
    QList<QRect> blocks(int category = 1)
    {
        const App& a = app();
        QList<QRect> result;
        for (size_t j = 0; j < size_t(a.CatFrameCount[size_t(category)]); ++j) {
            const auto c = size_t(category);
            result << blockOfFrame(
                { a.FrameLeft[j][c], a.FrameTop[j][c], a.FrameRight[j][c], a.FrameBottom[j][c] },
                a.Magnification, a.ImageWidth, a.ImageHeight);
        }
        return result;
    }
};

PageLayout page(PageKind kind, int prints, quint32 seed, QSize size = kPage)
{
    return pageOfKind(kind, size, prints, seed);
}

// How far each edge of a frame's block may lie from the piece's true edge: 2 pixels at actual
// size; at a smaller magnification a view pixel shows several image pixels and a crop takes one
// more on each side.
int tolerance(float magnification)
{
    return magnification == 1.0f ? 2 : int(std::ceil(1.0f / magnification)) + 3;
}

// Every truth has one block around it, each edge within the tolerance, and no block is left
// over; at other magnifications than actual size the block holds the piece whole.
void verifyBlocksFit(const QList<QRect>& blocks, const QList<QRect>& truths, float magnification)
{
    QCOMPARE(blocks.size(), truths.size());
    const int slack = tolerance(magnification);
    for (const QRect& truth : truths) {
        const auto fits = [&](const QRect& block) {
            return edgesWithin(block, truth, slack) && (magnification == 1.0f || block.contains(truth));
        };
        QVERIFY2(std::any_of(blocks.begin(), blocks.end(), fits),
            qPrintable(QStringLiteral("no frame fits the print at %1,%2 %3x%4")
                           .arg(truth.x())
                           .arg(truth.y())
                           .arg(truth.width())
                           .arg(truth.height())));
    }
}

// The pieces written for category 1 are the blocks cut from the source, in the frames' order.
void verifyPiecesWritten(TestProgram& program, const QImage& source, const QList<QRect>& blocks)
{
    for (int n = 0; n < blocks.size(); ++n) {
        const QString path = program.path(QStringLiteral("CG01_%1.BMP").arg(n + 1, 3, 10, QLatin1Char('0')));
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), source.copy(blocks[n]));
    }
}

// What the user sees of the trimming controls: whether each takes input, the captions, the
// frame list and its selection.
QStringList controlsSeen(TestProgram& program)
{
    QStringList seen;
    App& app = program.app();
    for (const char* name : { "BUTTON1", "BUTTON2", "BUTTON3", "BUTTON4", "BUTTON5", "BUTTON9", "BUTTON11",
             "BUTTON12", "COMBO1", "COMBO2", "COMBO5" })
        seen << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(enabled(program, name));
    seen << text(program, app.BUTTON2) << text(program, app.BUTTON3) << comboItems(app, app.COMBO1)
         << QString::number(app.rt.GetCurSel(app.COMBO1));
    return seen;
}

} // namespace

class TestAutoFrames : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void keyAFramesEveryPieceAndTheSaveCutsThem_data();
    void keyAFramesEveryPieceAndTheSaveCutsThem();
    void keyALeavesEverythingAsPlacingByHand_data();
    void keyALeavesEverythingAsPlacingByHand();
    void keyAOnABlankPageOrAFramedOne();
    void keyAStopsAtTheCategorysLimit();
    void keyAOnAnImageDecodedAheadUsesTheSearchMadeAhead();
    void keysDoNothingWherePlacingByHandDoesNothing_data();
    void keysDoNothingWherePlacingByHandDoesNothing();
    void ctrlVPlacesTheFramesTheLastSaveCut_data();
    void ctrlVPlacesTheFramesTheLastSaveCut();
    void ctrlVLeavesOutCategoriesNoLongerValid();
    void keySTightensTheChosenFrameToItsContent_data();
    void keySTightensTheChosenFrameToItsContent();
};

void TestAutoFrames::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestAutoFrames::keyAFramesEveryPieceAndTheSaveCutsThem_data()
{
    QTest::addColumn<PageKind>("kind");
    QTest::addColumn<int>("entry"); // of the magnification list
    QTest::addColumn<QSize>("size");
    // clang-format off
    QTest::newRow("plain, 等倍")        << PageKind::Plain       << 0 << kPage;
    QTest::newRow("tilted, 等倍")       << PageKind::Tilted      << 0 << kPage;
    QTest::newRow("white border, 等倍") << PageKind::WhiteBorder << 0 << kPage;
    QTest::newRow("dark paper, 等倍")   << PageKind::DarkPaper   << 0 << kPage;
    QTest::newRow("plain, 縦合わせ")    << PageKind::Plain       << 1 << kPage;
    QTest::newRow("bright sky, ×0.5")   << PageKind::BrightSky   << 7 << kPage;
    QTest::newRow("a 6000 x 4500 scan, 縦合わせ") << PageKind::Glass << 1 << QSize(6000, 4500);
    // clang-format on
}

// A frames every print of the page in the current category; the save then cuts each print,
// pixel for pixel the block of its frame.
void TestAutoFrames::keyAFramesEveryPieceAndTheSaveCutsThem()
{
    QFETCH(PageKind, kind);
    QFETCH(int, entry);
    QFETCH(QSize, size);
    AlbumSeries series({ page(kind, 5, 21, size), page(PageKind::Plain, 3, 22) });
    if (entry != 0) series.magnification(entry);
    App& app = series.app();
    series.key(QKeyCombination(Qt::Key_A));
    const QList<QRect> blocks = series.blocks();
    verifyBlocksFit(blocks, series.pages[0].truths, app.Magnification);
    QCOMPARE(comboItems(app, app.COMBO1).size(), blocks.size());
    QCOMPARE(app.rt.ShownNote(), QStringLiteral("中身を 5 個見つけ、枠を 5 個置きました"));
    click(series.program, "BUTTON9");
    verifyPiecesWritten(series.program, series.pages[0].image, blocks);
}

void TestAutoFrames::keyALeavesEverythingAsPlacingByHand_data()
{
    QTest::addColumn<QString>("before"); // what the user did before the frames were placed
    QTest::newRow("nothing") << "";
    QTest::newRow("トリミング開始") << "trim";
    QTest::newRow("first corner set") << "corner";
    QTest::newRow("a frame chosen in the list") << "chosen";
}

// Frames placed by A leave the controls, the frame list and the picture exactly as the same
// frames placed by hand, one after the other, do.
void TestAutoFrames::keyALeavesEverythingAsPlacingByHand()
{
    QFETCH(QString, before);
    const QList<PageLayout> layouts { page(PageKind::Plain, 3, 31, QSize(700, 500)) };
    AlbumSeries byKey(layouts), byHand(layouts);
    for (AlbumSeries* series : { &byKey, &byHand }) {
        placeFrame(series->program, QPoint(5, 5), QPoint(30, 30));
        if (before == QLatin1String("trim")) click(series->program, "BUTTON2");
        if (before == QLatin1String("corner")) clickOnPicture(series->program, QPoint(400, 40));
        if (before == QLatin1String("chosen")) chooseEntry(series->program, "COMBO1", 0);
    }
    byKey.key(QKeyCombination(Qt::Key_A));
    QCOMPARE(byKey.blocks().size(), 4);
    if (before == QLatin1String("corner")) {
        // By hand, the band placed so far is given up first.
        pressKey(byHand.program, "MAINFORM", QKeyCombination(Qt::Key_Escape));
    }
    App& key = byKey.app();
    for (size_t j = 1; j < 4; ++j)
        placeFrame(byHand.program, QPoint(int(key.FrameLeft[j][1]), int(key.FrameTop[j][1])),
            QPoint(int(key.FrameRight[j][1]), int(key.FrameBottom[j][1])));
    QCOMPARE(byKey.blocks(), byHand.blocks());
    QCOMPARE(controlsSeen(byKey.program), controlsSeen(byHand.program));
    QCOMPARE(key.TrimState, byHand.app().TrimState);
    QCOMPARE(picture(key), picture(byHand.app()));
    QCOMPARE(view(key), view(byHand.app()));
}

// A blank page gets no frame and a note saying so; a page whose prints are framed already gets no
// second frame around any of them.
void TestAutoFrames::keyAOnABlankPageOrAFramedOne()
{
    AlbumSeries series({ page(PageKind::Blank, 0, 41), page(PageKind::Glass, 4, 42) });
    App& app = series.app();
    series.key(QKeyCombination(Qt::Key_A));
    QCOMPARE(app.CatFrameCount[1], int16_t(0));
    QCOMPARE(app.rt.ShownNote(), QStringLiteral("枠を置く中身が見つかりませんでした"));
    QVERIFY(!enabled(series.program, "COMBO1"));

    click(series.program, "BUTTON9");
    series.key(QKeyCombination(Qt::Key_A));
    series.key(QKeyCombination(Qt::Key_A));
    verifyBlocksFit(series.blocks(), series.pages[1].truths, 1.0f);
    QCOMPARE(app.rt.ShownNote(), QStringLiteral("中身を 4 個見つけ、枠を 0 個置きました"));
}

// A category holds at most its limit of frames: A places frames up to it, then says so once, as
// the limit's message does for a frame placed by hand.
void TestAutoFrames::keyAStopsAtTheCategorysLimit()
{
    AlbumSeries series({ page(PageKind::Plain, 5, 51) });
    App& app = series.app();
    app.MaxFramesPerCat = 3;
    placeFrame(series.program, QPoint(5, 5), QPoint(30, 30));
    series.program.dialogs().answerMessage();
    series.key(QKeyCombination(Qt::Key_A));
    QCOMPARE(app.CatFrameCount[1], int16_t(3));
    QCOMPARE(messageLines(series.program.dialogs()),
        QStringList { QStringLiteral("|この分類の登録数が限界に達しました|0") });
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(text(series.program, app.BUTTON2), QStringLiteral("トリミング開始"));
}

// The next image is searched for content while it is decoded ahead: A on it takes what that
// search found, and its frames are those a search at the key press would place.
void TestAutoFrames::keyAOnAnImageDecodedAheadUsesTheSearchMadeAhead()
{
    AlbumSeries series({ page(PageKind::Plain, 2, 56), page(PageKind::Tilted, 4, 57) });
    App& app = series.app();
    QVERIFY(app.bitmaps.WaitForPrefetch(series.program.path(AlbumSeries::fileName(2))));
    click(series.program, "BUTTON9");
    QCOMPARE(app.bitmaps.TakenAheadSoFar().images, 1);
    series.key(QKeyCombination(Qt::Key_A));
    QCOMPARE(app.bitmaps.TakenAheadSoFar().contents, 1);
    verifyBlocksFit(series.blocks(), series.pages[1].truths, 1.0f);
    // The first image was opened without a decode ahead: its pieces are searched at the key.
    click(series.program, "BUTTON12");
    series.key(QKeyCombination(Qt::Key_A));
    QCOMPARE(app.bitmaps.TakenAheadSoFar().contents, 1);
    verifyBlocksFit(series.blocks(), series.pages[0].truths, 1.0f);
}

void TestAutoFrames::keysDoNothingWherePlacingByHandDoesNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QKeyCombination>("key");
    // clang-format off
    QTest::newRow("A while a frame is reshaped")      << "modifying"  << QKeyCombination(Qt::Key_A);
    QTest::newRow("Ctrl+V while a frame is reshaped") << "modifying"  << QKeyCombination(Qt::CTRL | Qt::Key_V);
    QTest::newRow("S while a frame is reshaped")      << "modifying"  << QKeyCombination(Qt::Key_S);
    QTest::newRow("S with no frame chosen")           << "placed"     << QKeyCombination(Qt::Key_S);
    QTest::newRow("A before any image")               << "no image"   << QKeyCombination(Qt::Key_A);
    QTest::newRow("Ctrl+V before any image")          << "no image"   << QKeyCombination(Qt::CTRL | Qt::Key_V);
    // clang-format on
}

// Where a press on the picture places no frame, or no frame is chosen to tighten, the keys change
// nothing: neither the frames nor the controls nor the picture.
void TestAutoFrames::keysDoNothingWherePlacingByHandDoesNothing()
{
    QFETCH(QString, situation);
    QFETCH(QKeyCombination, key);
    if (situation == QLatin1String("no image")) {
        TestProgram program;
        program.start();
        const QStringList controls = controlsSeen(program);
        pressKey(program, "MAINFORM", key);
        QCOMPARE(controlsSeen(program), controls);
        QCOMPARE(program.app().CatFrameCount[1], int16_t(0));
        return;
    }
    AlbumSeries series({ page(PageKind::Plain, 3, 61), page(PageKind::Plain, 3, 62) });
    // A save with frames first, so that Ctrl+V would have frames to place.
    series.key(QKeyCombination(Qt::Key_A));
    click(series.program, "BUTTON9");
    placeFrame(series.program, QPoint(5, 5), QPoint(200, 200));
    if (situation == QLatin1String("modifying")) {
        chooseEntry(series.program, "COMBO1", 0);
        click(series.program, "BUTTON3");
    }
    const QStringList controls = controlsSeen(series.program);
    const QList<QRect> blocks = series.blocks();
    const QImage before = picture(series.app());
    series.key(key);
    QCOMPARE(series.blocks(), blocks);
    QCOMPARE(controlsSeen(series.program), controls);
    QCOMPARE(picture(series.app()), before);
}

void TestAutoFrames::ctrlVPlacesTheFramesTheLastSaveCut_data()
{
    QTest::addColumn<int>("entry"); // the magnification chosen after the save
    QTest::addColumn<QSize>("nextSize"); // of the next image
    QTest::addColumn<QString>("steps"); // the save buttons clicked after the save
    // clang-format off
    QTest::newRow("next image, 等倍")              << 0 << kPage           << "";
    QTest::newRow("next image, ×0.5")              << 7 << kPage           << "";
    QTest::newRow("next image, 縦合わせ")          << 1 << kPage           << "";
    QTest::newRow("a smaller image: clipped")      << 0 << QSize(900, 700) << "";
    QTest::newRow("after a step back and a reload") << 0 << kPage          << "BUTTON12 BUTTON11";
    // clang-format on
}

// Ctrl+V places the frames the last save cut, in their own categories, at the same image
// positions at any magnification and after any step, clipped to the image on show.
void TestAutoFrames::ctrlVPlacesTheFramesTheLastSaveCut()
{
    QFETCH(int, entry);
    QFETCH(QSize, nextSize);
    QFETCH(QString, steps);
    AlbumSeries series({ page(PageKind::Plain, 4, 71), page(PageKind::Blank, 0, 72, nextSize) });
    App& app = series.app();
    series.key(QKeyCombination(Qt::Key_A));
    const QList<QRect> cut1 = series.blocks(1);
    chooseEntry(series.program, "COMBO2", 1);
    placeFrame(series.program, QPoint(700, 500), QPoint(780, 580));
    const QList<QRect> cut2 = series.blocks(2);
    click(series.program, "BUTTON9");
    for (const QString& button : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        click(series.program, button.toLatin1().constData());
    if (entry != 0) series.magnification(entry);

    series.key(QKeyCombination(Qt::CTRL | Qt::Key_V));
    const QRect image(QPoint(0, 0), nextSize);
    const auto expected = [&](const QList<QRect>& cut) {
        QList<QRect> kept;
        for (const QRect& block : cut)
            if (!(block & image).isEmpty()) kept << (block & image);
        return kept;
    };
    const auto verifyHeld = [&](const QList<QRect>& blocks, const QList<QRect>& cut) {
        verifyBlocksFit(blocks, expected(cut), app.Magnification);
    };
    verifyHeld(series.blocks(2), cut2);
    QCOMPARE(comboItems(app, app.COMBO1).size(), series.blocks(2).size());
    chooseEntry(series.program, "COMBO2", 0);
    verifyHeld(series.blocks(1), cut1);
    QCOMPARE(comboItems(app, app.COMBO1).size(), series.blocks(1).size());
}

// A category made invalid since the save gets none of its frames; with no save that cut
// anything, a note says there is nothing to place.
void TestAutoFrames::ctrlVLeavesOutCategoriesNoLongerValid()
{
    AlbumSeries series({ page(PageKind::Plain, 2, 81), page(PageKind::Plain, 2, 82) });
    App& app = series.app();
    series.key(QKeyCombination(Qt::CTRL | Qt::Key_V));
    QCOMPARE(app.rt.ShownNote(), QStringLiteral("前の保存で切り出した枠がありません"));
    placeFrame(series.program, QPoint(10, 10), QPoint(60, 60));
    chooseEntry(series.program, "COMBO2", 1);
    placeFrame(series.program, QPoint(100, 100), QPoint(160, 160));
    click(series.program, "BUTTON9");
    // Category 2 is made invalid in the registration window; "登録終了" shows the first image.
    click(series.program, "BUTTON5");
    selectRow(series.program, 1);
    clickValidBox(series.program);
    click(series.program, "BUTTON8");
    series.key(QKeyCombination(Qt::CTRL | Qt::Key_V));
    QCOMPARE(series.blocks(1), (QList<QRect> { QRect(0, 0, 51, 51) }));
    QCOMPARE(app.CatFrameCount[2], int16_t(0));
}

void TestAutoFrames::keySTightensTheChosenFrameToItsContent_data()
{
    QTest::addColumn<int>("entry"); // of the magnification list
    QTest::addColumn<int>("margin"); // of paper around the print inside the rough frame, in view pixels
    QTest::newRow("等倍, 40 pixels of paper") << 0 << 40;
    QTest::newRow("縦合わせ, 8 pixels of paper") << 1 << 8;
    QTest::newRow("×0.5, 1 pixel of paper") << 7 << 1;
}

// S shrinks the frame chosen in the list to the print inside it: a rough frame becomes the one A
// would place; the frame is stored as "修正完了" stores a reshaped one.
void TestAutoFrames::keySTightensTheChosenFrameToItsContent()
{
    QFETCH(int, entry);
    QFETCH(int, margin);
    AlbumSeries series({ page(PageKind::Plain, 3, 91, QSize(1000, 760)) });
    if (entry != 0) series.magnification(entry);
    App& app = series.app();
    // The print nearest the top-left corner, which the picture shows whole at every magnification.
    QList<QRect> truths = series.pages[0].truths;
    std::sort(truths.begin(), truths.end(),
        [](const QRect& a, const QRect& b) { return a.left() + a.top() < b.left() + b.top(); });
    const QRect truth = truths[0];
    const float m = app.Magnification;
    const QPoint topLeft(int(std::floor(truth.left() * m)) + 10 - margin - int(app.ViewOriginX),
        int(std::floor(truth.top() * m)) + 10 - margin - int(app.ViewOriginY));
    const QPoint bottomRight(int(std::ceil((truth.right() + 1) * m)) + 10 + margin - int(app.ViewOriginX),
        int(std::ceil((truth.bottom() + 1) * m)) + 10 + margin - int(app.ViewOriginY));
    placeFrame(series.program, topLeft, bottomRight);
    placeFrame(series.program, QPoint(15, 15), QPoint(40, 40)); // paper only
    chooseEntry(series.program, "COMBO1", 0);
    series.key(QKeyCombination(Qt::Key_S));
    verifyBlocksFit({ series.blocks()[0] }, { truth }, m);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(text(series.program, app.BUTTON3), QStringLiteral("修正"));
    // A frame holding only paper stays as it is, and a note says so.
    const QRect paper = series.blocks()[1];
    chooseEntry(series.program, "COMBO1", 1);
    series.key(QKeyCombination(Qt::Key_S));
    QCOMPARE(series.blocks()[1], paper);
    QCOMPARE(app.rt.ShownNote(), QStringLiteral("枠の中に中身が見つかりませんでした"));
}

QTEST_MAIN(TestAutoFrames)
#include "tst_auto_frames.moc"
