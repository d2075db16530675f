#include "trimming/Cropping.h"
#include "categories/SaveTargetCheck.h"
#include "categories/Saving.h"
#include "categories/SavingSupport.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"
#include "trimming/TrimmingStates.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace {

// The image block (100, 50)-(199, 149), framed at actual size (10 pixels of view margin).
const QRect kBlockFrame(110, 60, 100, 100);

// Saves one frame of category 1, given in view pixels, as the save buttons do.
void saveFrame(App& app, QRect frame)
{
    setFrames(app, 1, { frame });
    HOZON_SUB(app);
}

} // namespace

// The pieces a save cuts from the image and the names they take, category by category.
class TestSavingPieces : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void piecesStayExactThroughEveryChangeOfTheView_data();
    void piecesStayExactThroughEveryChangeOfTheView();
    void frameToImageBlock_data();
    void frameToImageBlock();
    void pieceTakesTheNextFreeName();
    void pieceNeverReplacesWhatAppearsUnderItsName();
    void emptyPieceIsSkipped();
    void failedWriteIsReportedAndConsumesNoNumber();
    void numbersStopAtTheLastOne();
    void saveCutsTheFrameBlock_data();
    void saveCutsTheFrameBlock();
    void saveTakesTheNextFreeName();
    void saveWritesCategoriesAndFramesInOrder();
    void saveStopsACategoryAtTheLastNumber_data();
    void saveStopsACategoryAtTheLastNumber();
    void pieceGoesWhereFolderTextAndNameLeadIt_data();
    void pieceGoesWhereFolderTextAndNameLeadIt();
};

void TestSavingPieces::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestSavingPieces::frameToImageBlock_data()
{
    QTest::addColumn<QRectF>("frame"); // view pixels: left, top, right, bottom as x, y, width, height
    QTest::addColumn<float>("magnification");
    QTest::addColumn<QRectF>("crop"); // image pixels, same encoding; an empty crop is (0, 0, -1, -1)
    auto row = [](const char* name, QRectF frame, float magnification, QRectF crop) {
        QTest::newRow(name) << frame << magnification << crop;
    };
    // The image is 400 x 300 in every row.
    // clang-format off
    row("actual size", { 110, 60, 209, 159 }, 1.0f, { 100, 50, 199, 149 });
    row("half size widens by one pixel", { 110, 60, 209, 159 }, 0.5f, { 199, 99, 399, 299 });
    row("into the left and top margin", { 3, 5, 50, 60 }, 1.0f, { 0, 0, 40, 50 });
    row("past the right and bottom edge", { 300, 200, 450, 420 }, 1.0f, { 290, 190, 399, 299 });
    row("scaled past every side", { 0, 0, 215, 165 }, 0.5f, { 0, 0, 399, 299 });
    row("wholly in the margin", { 1, 1, 8, 8 }, 1.0f, { 0, 0, -1, -1 });
    row("beyond the image", { 420, 320, 430, 330 }, 1.0f, { 0, 0, -1, -1 });
    // clang-format on
}

void TestSavingPieces::frameToImageBlock()
{
    QFETCH(QRectF, frame);
    QFETCH(float, magnification);
    QFETCH(QRectF, crop);
    const CropRect got = cropOfFrame(float(frame.x()), float(frame.y()), float(frame.width()),
        float(frame.height()), magnification, 400, 300);
    if (crop.width() < 0) {
        QVERIFY(got.isEmpty());
        return;
    }
    QVERIFY(!got.isEmpty());
    QCOMPARE(QRectF(got.left, got.top, got.right, got.bottom), crop);
}

void TestSavingPieces::pieceTakesTheNextFreeName()
{
    SavingProgram saving;
    touch(saving.program.path(QStringLiteral("CG01_001.BMP")));
    touch(saving.program.path(QStringLiteral("CG01_002.BMP")));
    saveFrame(saving.app(), kBlockFrame);
    QVERIFY(filesIn(saving.program.dir()).contains(QStringLiteral("CG01_003.BMP")));
    QCOMPARE(saving.app().CatNextNo[1], int16_t(4));
    QCOMPARE(saving.app().CatStartText[1], QStringLiteral("4"));
    const QImage written(saving.program.path(QStringLiteral("CG01_003.BMP")));
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32), saving.image.copy(100, 50, 100, 100));
}

void TestSavingPieces::pieceNeverReplacesWhatAppearsUnderItsName()
{
    SavingProgram saving;
    // A folder under the name is no file for the existence test, but the write still finds the
    // name taken, as it would a file created between the test and the write.
    QVERIFY(QDir(saving.program.dir()).mkdir(QStringLiteral("CG01_001.BMP")));
    saveFrame(saving.app(), kBlockFrame);
    QVERIFY(filesIn(saving.program.dir()).contains(QStringLiteral("CG01_002.BMP")));
    QVERIFY(QFileInfo(saving.program.path(QStringLiteral("CG01_001.BMP"))).isDir());
    QCOMPARE(saving.app().CatNextNo[1], int16_t(3));
}

void TestSavingPieces::emptyPieceIsSkipped()
{
    SavingProgram saving;
    saveFrame(saving.app(), QRect(1, 1, 5, 5)); // inside the margin: it cuts nothing
    QCOMPARE(filesIn(saving.program.dir()), QStringList());
    QCOMPARE(saving.app().CatNextNo[1], int16_t(1));
}

void TestSavingPieces::failedWriteIsReportedAndConsumesNoNumber()
{
    SavingProgram saving;
    App& app = saving.app();
    app.CatFolder[1] = saving.program.path(QStringLiteral("removed/"));
    saving.program.dialogs().answerMessage();
    saveFrame(app, kBlockFrame);
    const auto messages = saving.program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.contains(app.CatFolder[1] + QStringLiteral("CG01_001.BMP")));
    QCOMPARE(app.CatNextNo[1], int16_t(1));
    QCOMPARE(filesIn(saving.program.dir()), QStringList());
}

void TestSavingPieces::numbersStopAtTheLastOne()
{
    SavingProgram saving;
    App& app = saving.app();
    app.CatNextNo[1] = 32767;
    saveFrame(app, kBlockFrame);
    QVERIFY(filesIn(saving.program.dir()).contains(QStringLiteral("CG01_32767.BMP")));
    QCOMPARE(app.CatNextNo[1], int16_t(32767));
    saving.program.dialogs().answerMessage();
    saveFrame(app, kBlockFrame);
    QCOMPARE(saving.program.dialogs().messages().last().text, numbersExhaustedText(1));
    QCOMPARE(filesIn(saving.program.dir()), QStringList { "CG01_32767.BMP" });
    QCOMPARE(app.CatNextNo[1], int16_t(32767));
}

// Frames in view pixels -> the image block the save writes, through HOZON_SUB. The image is
// 400 x 300; magnification index 7 of COMBO5 is "×０.５", -1 keeps actual size.
void TestSavingPieces::saveCutsTheFrameBlock_data()
{
    QTest::addColumn<int>("magnificationIndex");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("block");
    auto corners = [](int left, int top, int right, int bottom) {
        return QRect(QPoint(left, top), QPoint(right, bottom));
    };
    // clang-format off
    QTest::newRow("actual size") << -1 << corners(110, 60, 209, 159) << corners(100, 50, 199, 149);
    QTest::newRow("half size widens by one pixel") << 7 << corners(110, 60, 209, 159) << corners(199, 99, 399, 299);
    QTest::newRow("left and top margin") << -1 << corners(3, 5, 50, 60) << corners(0, 0, 40, 50);
    QTest::newRow("right and bottom edge") << -1 << corners(300, 200, 450, 420) << corners(290, 190, 399, 299);
    QTest::newRow("half size past every side") << 7 << corners(0, 0, 215, 165) << corners(0, 0, 399, 299);
    QTest::newRow("half size inside") << 7 << corners(20, 30, 40, 50) << corners(19, 39, 61, 81);
    // clang-format on
}

void TestSavingPieces::saveCutsTheFrameBlock()
{
    QFETCH(int, magnificationIndex);
    QFETCH(QRect, frame);
    QFETCH(QRect, block);
    SavingProgram saving;
    App& app = saving.app();
    if (magnificationIndex >= 0) {
        selectByKeyboard(saving.program, "COMBO5", magnificationIndex);
        QCOMPARE(app.Magnification, 0.5f);
    }
    setFrames(app, 1, { frame });
    app.TrimState = TrimState::Armed;
    app.GrabCode = grabCode(Qt::RightEdge);
    HOZON_SUB(app);
    QCOMPARE(filesIn(saving.program.dir()), QStringList { "CG01_001.BMP" });
    verifyPiece(saving.program.path(QStringLiteral("CG01_001.BMP")), saving.image, block);
    QCOMPARE(app.CatNextNo[1], int16_t(2));
    QCOMPARE(app.CatStartText[1], QStringLiteral("2"));
    QCOMPARE(app.CatFrameCount[1], 0);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(grabbedEdges(app.GrabCode), Qt::Edges());
    QCOMPARE(saving.program.dialogs().messages().size(), 0);
}

void TestSavingPieces::saveTakesTheNextFreeName()
{
    SavingProgram saving;
    App& app = saving.app();
    touch(saving.program.path(QStringLiteral("CG01_001.BMP")));
    touch(saving.program.path(QStringLiteral("CG01_002.BMP")));
    setFrames(app, 1, { QRect(QPoint(110, 60), QPoint(209, 159)) });
    HOZON_SUB(app);
    QCOMPARE(filesIn(saving.program.dir()), QStringList({ "CG01_001.BMP", "CG01_002.BMP", "CG01_003.BMP" }));
    verifyPiece(saving.program.path(QStringLiteral("CG01_003.BMP")), saving.image, QRect(100, 50, 100, 100));
    QCOMPARE(QFileInfo(saving.program.path(QStringLiteral("CG01_001.BMP"))).size(), 0);
    QCOMPARE(app.CatNextNo[1], int16_t(4));
    QCOMPARE(app.CatStartText[1], QStringLiteral("4"));
}

// Three frames of category 2 and one of category 5 give four files, category by category and
// frame by frame; the frames of an invalid category survive, a valid category without frames
// keeps its number.
void TestSavingPieces::saveWritesCategoriesAndFramesInOrder()
{
    SavingProgram saving;
    App& app = saving.app();
    app.CatValid[1] = 0;
    for (int category : { 2, 4, 5 }) {
        app.CatValid[category] = 1;
        app.CatFolder[category] = saving.program.dir() + kSep;
    }
    app.CatFolder[3] = saving.program.dir() + kSep;
    app.CatNextNo[4] = 7;
    const QList<QRect> second { QRect(20, 20, 30, 40), QRect(100, 15, 50, 10), QRect(300, 250, 60, 30) };
    const QList<QRect> fifth { QRect(200, 100, 70, 70) };
    const QList<QRect> invalid { QRect(12, 12, 5, 5), QRect(40, 40, 8, 8) };
    setFrames(app, 2, second);
    setFrames(app, 5, fifth);
    setFrames(app, 3, invalid);
    HOZON_SUB(app);

    QCOMPARE(filesIn(saving.program.dir()),
        QStringList({ "CG02_001.BMP", "CG02_002.BMP", "CG02_003.BMP", "CG05_001.BMP" }));
    for (int j = 0; j < 3; ++j)
        verifyPiece(saving.program.path(QStringLiteral("CG02_00%1.BMP").arg(j + 1)), saving.image,
            blockOf(second[j]));
    verifyPiece(saving.program.path(QStringLiteral("CG05_001.BMP")), saving.image, blockOf(fifth[0]));
    // Pieces are cut straight from the image, not through the view.
    QCOMPARE(app.bitmaps.Image(app.ViewBitmap)->size(), QSize(int(app.ViewWidth), int(app.ViewHeight)));
    QCOMPARE(app.CatNextNo[2], int16_t(4));
    QCOMPARE(app.CatNextNo[5], int16_t(2));
    QCOMPARE(app.CatNextNo[4], int16_t(7));
    QCOMPARE(app.CatFrameCount[2], 0);
    QCOMPARE(app.CatFrameCount[5], 0);
    QCOMPARE(app.CatFrameCount[3], 2);
    QCOMPARE(app.FrameLeft[1][3], 40.0f);
}

// Start number, names already taken, frames of category 1 -> the files written; one frame of
// category 2 follows and is always written.
void TestSavingPieces::saveStopsACategoryAtTheLastNumber_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("written");
    // clang-format off
    QTest::newRow("last number taken") << 32767 << QStringList { "CG01_32767.BMP" } << QStringList {};
    QTest::newRow("two numbers left for three frames") << 32766 << QStringList {} << QStringList({ "CG01_32766.BMP", "CG01_32767.BMP" });
    QTest::newRow("one free number below a taken one") << 32765 << QStringList { "CG01_32766.BMP" } << QStringList({ "CG01_32765.BMP", "CG01_32767.BMP" });
    // clang-format on
}

void TestSavingPieces::saveStopsACategoryAtTheLastNumber()
{
    QFETCH(int, start);
    QFETCH(QStringList, taken);
    QFETCH(QStringList, written);
    SavingProgram saving;
    App& app = saving.app();
    for (const QString& name : taken)
        touch(saving.program.path(name));
    app.CatNextNo[1] = int16_t(start);
    app.CatStartText[1] = QString::number(start);
    app.CatValid[2] = 1;
    app.CatFolder[2] = app.CatFolder[1];
    setFrames(app, 1, { QRect(20, 20, 10, 10), QRect(40, 20, 10, 10), QRect(60, 20, 10, 10) });
    setFrames(app, 2, { QRect(80, 20, 10, 10) });
    saving.program.dialogs().answerMessage();
    HOZON_SUB(app);

    QCOMPARE(messageLines(saving.program.dialogs()),
        QStringList { app.CatName[1] + QLatin1Char('|') + numbersExhaustedText(1) + QStringLiteral("|2") });
    QStringList expected = taken + written + QStringList { "CG02_001.BMP" };
    expected.sort();
    QCOMPARE(filesIn(saving.program.dir()), expected);
    for (int j = 0; j < written.size(); ++j)
        verifyPiece(saving.program.path(written[j]), saving.image, QRect(10 + 20 * j, 10, 10, 10));
    verifyPiece(saving.program.path(QStringLiteral("CG02_001.BMP")), saving.image, QRect(70, 10, 10, 10));
    QCOMPARE(app.CatNextNo[1], int16_t(32767));
    QCOMPARE(app.CatFrameCount[1], 0);
}

// Folder texts are taken as typed and the file name is appended to them: a folder accepted
// because the text less its last character is a folder, or a fixed part holding a separator,
// names the piece in another folder than the text names, and it is written there whole.
void TestSavingPieces::pieceGoesWhereFolderTextAndNameLeadIt_data()
{
    QTest::addColumn<QString>("made"); // folder made in the scratch folder
    QTest::addColumn<QString>("folderText"); // relative to the scratch folder
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<QString>("written"); // relative to the scratch folder
    // clang-format off
    QTest::newRow("final separator left out") << "scans" << "scansX"  << "CG01_"     << "scansXCG01_001.BMP";
    QTest::newRow("a letter after it")        << "out"   << "out/p"   << "CG01_"     << "out/pCG01_001.BMP";
    QTest::newRow("folder in the fixed part") << "sub"   << ""        << "sub/CG01_" << "sub/CG01_001.BMP";
    // clang-format on
}

void TestSavingPieces::pieceGoesWhereFolderTextAndNameLeadIt()
{
    QFETCH(QString, made);
    QFETCH(QString, folderText);
    QFETCH(QString, fixed);
    QFETCH(QString, written);
    SavingProgram saving;
    App& app = saving.app();
    makeFolder(saving.program, made);
    app.CatFolder[1] = saving.program.dir() + kSep + folderText;
    app.CatFixed[1] = fixed;
    QCOMPARE(FILECHK_SUB(app), 0.0f);
    setFrames(app, 1, { QRect(20, 20, 10, 10), QRect(40, 20, 10, 10) });
    HOZON_SUB(app);

    QCOMPARE(messageLines(saving.program.dialogs()), QStringList());
    verifyPiece(saving.program.path(written), saving.image, QRect(10, 10, 10, 10));
    verifyPiece(saving.program.path(written).replace(QStringLiteral("001"), QStringLiteral("002")),
        saving.image, QRect(30, 10, 10, 10));
    QCOMPARE(app.CatNextNo[1], int16_t(3));
    QCOMPARE(temporariesUnder(saving.program.dir()), QStringList());
}

void TestSavingPieces::piecesStayExactThroughEveryChangeOfTheView_data()
{
    QTest::addColumn<int>("entry"); // of the magnification list
    // clang-format off
    QTest::newRow("actual size") << 0;
    QTest::newRow("×0.5")        << 7;
    QTest::newRow("fit height")  << 1;
    // clang-format on
}

// Frames are drawn into the view, which at actual size shares the source's pixels. Whatever
// the user did before saving (frames placed, forgotten by a change of size, modified, placed
// again in two categories), every piece holds exactly the pixels of the image file.
void TestSavingPieces::piecesStayExactThroughEveryChangeOfTheView()
{
    QFETCH(int, entry);
    TestProgram program;
    const QImage image = writeImage(program.path(QStringLiteral("IMG001.BMP")), 5, 900, 700);
    writeImage(program.path(QStringLiteral("IMG002.BMP")), 6, 90, 70);
    program.start();
    App& app = program.app();
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    chooseEntry(program, "COMBO5", entry);
    placeFrame(program, QPoint(30, 30), QPoint(200, 150));
    placeFrame(program, QPoint(60, 80), QPoint(260, 240));
    setPictureArea(program, 700, 500); // forgets the frames drawn so far
    placeFrame(program, QPoint(20, 20), QPoint(150, 120));
    placeFrame(program, QPoint(100, 60), QPoint(300, 260));
    chooseEntry(program, "COMBO1", 0);
    click(program, "BUTTON3");
    clickOnPicture(program, QPoint(20, 70)); // picks up the left edge
    moveOnPicture(program, QPoint(40, 70));
    clickOnPicture(program, QPoint(40, 70));
    click(program, "BUTTON3");
    QList<QRect> expected;
    for (int j = 0; j < int(app.CatFrameCount[1]); ++j)
        expected << blockOfPlacedFrame(app, j);
    QCOMPARE(expected.size(), 2);
    click(program, "BUTTON9");
    for (int j = 0; j < expected.size(); ++j)
        verifyPiece(program.path(QStringLiteral("CG01_00%1.BMP").arg(j + 1)), image, expected[j]);
}

QTEST_MAIN(TestSavingPieces)
#include "tst_saving_pieces.moc"
