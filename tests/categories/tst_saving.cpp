#include "categories/Cropping.h"
#include "categories/SaveTargetCheck.h"
#include "categories/Saving.h"
#include "core/StateCodes.h"
#include "fixture/EncodedImages.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/ResourceCaps.h"
#include "fixture/UserActions.h"
#include "image/ImageFiles.h"
#include "platform/DurableFiles.h"
#include "platform/FileSystem.h"
#include "settings/SettingsFormat.h"
#include "trimming/TrimmingStates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QListWidget>

#include <QRectF>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include <fcntl.h>

#ifdef Q_OS_UNIX
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <sys/wait.h>
#include <unistd.h>
#endif

// A valid category whose pieces cannot be named: the folder it saves into (in the scratch folder,
// made unless it is "gone"), the error its names get from the rename (0: none but the folder's
// own), and how many frames it has.
struct FailingCategory
{
    int category;
    QString folder;
    int error;
    int frames;
};
Q_DECLARE_METATYPE(FailingCategory)
Q_DECLARE_METATYPE(SaveOutcome)

// The ways a user gets from one image to another.
enum class Step { DirectFile, SequenceStep, FolderListStep };
Q_DECLARE_METATYPE(Step)

// Names the step of a story in the test's output when the test fails during it.
class StepContext
{
public:
    explicit StepContext(const char* tag)
        : m_tag(tag)
    {
    }
    ~StepContext()
    {
        if (QTest::currentTestFailed()) qWarning("in the step \"%s\"", m_tag);
    }
    StepContext(const StepContext&) = delete;
    StepContext& operator=(const StepContext&) = delete;

private:
    const char* m_tag;
};

// A program that a table of steps takes through a story: each step continues from where the
// step before it left the program.
struct SteppingStory
{
    TestProgram program;
    QString source; // the folder of the images, with its separator
    QHash<QString, QImage> images; // each image file's pixels as the program decodes them
    QHash<QString, QImage> views; // each file's view as it was when first shown
    QString shownBefore; // the file shown before the step
    QRect frame; // the frame placed before the step, in view pixels; null when none was
};

class TestSaving : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void piecesStayExactThroughEveryChangeOfTheView_data();
    void piecesStayExactThroughEveryChangeOfTheView();
    void nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged_data();
    void nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged();
    void decodingAheadFollowsTheDirectionAndTheSource();
    void stepBackStopsTheDecodeAheadBeforeReading();
    void shrunkViewBuiltAheadIsTheViewBuiltWhenOpening_data();
    void shrunkViewBuiltAheadIsTheViewBuiltWhenOpening();
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
    void failedWriteIsReportedAndTheSaveGoesOn_data();
    void failedWriteIsReportedAndTheSaveGoesOn();
    void saveRemovesTemporariesOfEndedProcesses();
    void pieceGoesWhereFolderTextAndNameLeadIt_data();
    void pieceGoesWhereFolderTextAndNameLeadIt();
    void saveNamesPiecesWithoutRenameOrLink_data();
    void saveNamesPiecesWithoutRenameOrLink();
    void preparedPieceWithoutRenameOrLink_data();
    void preparedPieceWithoutRenameOrLink();
    void failedPiecesAreToldOncePerFolderAndReason_data();
    void failedPiecesAreToldOncePerFolderAndReason();
    void sequenceSteppingCrossesAGap();
    void sequenceStepBackAtZeroLoadsZeroAgain();
    void folderListSteppingStopsAtBothEnds();
    void shownFileOutsideTheListStartsAtTheFirstEntry();
    void singleFileSavesAndReloads();
    void saveThenReloadKeepsTheImage();
    void loadWithNothingToReturnToShowsNothing_data();
    void loadWithNothingToReturnToShowsNothing();
    void allToOneRestartsValidAndShownCategories();
    void registrationWithoutALoadKeepsFramesAndCategoryTogether();
    void deleteAllFiles_data();
    void deleteAllFiles();
    void wholeRunOfWork();
};

void TestSaving::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

namespace {

// A started program showing a 400 x 300 noise image, category 1 saving into the scratch folder.
struct SavingProgram
{
    TestProgram program;
    QImage image = noiseImage(400, 300, 7);

    SavingProgram()
    {
        program.start();
        App& app = program.app();
        putImage(app, image);
        app.CatValid[1] = 1;
        app.CatFolder[1] = program.dir() + QLatin1Char('/');
    }
    App& app() { return program.app(); }
};

// The image block (100, 50)-(199, 149), framed at actual size (10 pixels of view margin).
const QRect kBlockFrame(110, 60, 100, 100);

const QString kSep = QStringLiteral("/");

int bmpBitsPerPixel(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray header = file.read(30);
    if (header.size() < 30 || !header.startsWith("BM")) return -1;
    return uchar(header[28]) | (uchar(header[29]) << 8);
}

// A written piece is a 24-bit BMP holding exactly the block of the source.
void verifyPiece(const QString& path, const QImage& source, const QRect& block)
{
    QVERIFY2(isExistingFile(path), qPrintable(path));
    QCOMPARE(bmpBitsPerPixel(path), 24);
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), source.copy(block));
}

void setFrame(App& app, int category, int frame, QRect rect)
{
    app.FrameLeft[frame][category] = float(rect.left());
    app.FrameTop[frame][category] = float(rect.top());
    app.FrameRight[frame][category] = float(rect.right());
    app.FrameBottom[frame][category] = float(rect.bottom());
}

// Frames in view pixels, registered in the given order.
void setFrames(App& app, int category, const QList<QRect>& frames)
{
    for (int j = 0; j < frames.size(); ++j)
        setFrame(app, category, j, frames[j]);
    app.CatFrameCount[category] = int16_t(frames.size());
}

// Saves one frame of category 1, given in view pixels, as the save buttons do.
void saveFrame(App& app, QRect frame)
{
    setFrames(app, 1, { frame });
    HOZON_SUB(app);
}

// The image block a frame cuts at actual size.
QRect blockOf(QRect frame)
{
    return frame.translated(-10, -10);
}

// Clicks a button whose handler shows `messages` message boxes, each answered with OK; what the
// dialogs recorded before is cleared first.
void clickAnswering(TestProgram& program, const char* button, int messages)
{
    program.dialogs().clearCalls();
    for (int i = 0; i < messages; ++i)
        program.dialogs().answerMessage();
    click(program, button);
}

// The image block frame `j` of category 1 cuts at the magnification shown.
QRect blockOfPlacedFrame(const App& app, int j)
{
    const CropRect crop = cropOfFrame(app.FrameLeft[j][1], app.FrameTop[j][1], app.FrameRight[j][1],
        app.FrameBottom[j][1], app.Magnification, app.ImageWidth, app.ImageHeight);
    return QRect(int(crop.left), int(crop.top), int(crop.width()), int(crop.height()));
}

} // namespace

void TestSaving::frameToImageBlock_data()
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

void TestSaving::frameToImageBlock()
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

void TestSaving::pieceTakesTheNextFreeName()
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

void TestSaving::pieceNeverReplacesWhatAppearsUnderItsName()
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

void TestSaving::emptyPieceIsSkipped()
{
    SavingProgram saving;
    saveFrame(saving.app(), QRect(1, 1, 5, 5)); // inside the margin: it cuts nothing
    QCOMPARE(filesIn(saving.program.dir()), QStringList());
    QCOMPARE(saving.app().CatNextNo[1], int16_t(1));
}

void TestSaving::failedWriteIsReportedAndConsumesNoNumber()
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

void TestSaving::numbersStopAtTheLastOne()
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
void TestSaving::saveCutsTheFrameBlock_data()
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

void TestSaving::saveCutsTheFrameBlock()
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

void TestSaving::saveTakesTheNextFreeName()
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
void TestSaving::saveWritesCategoriesAndFramesInOrder()
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
void TestSaving::saveStopsACategoryAtTheLastNumber_data()
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

void TestSaving::saveStopsACategoryAtTheLastNumber()
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

// Category 1's folder cannot take a file: its two frames are reported once, with the path, the
// reason and how many they were; nothing is left behind, no number is used, and category 2 is
// still saved.
void TestSaving::failedWriteIsReportedAndTheSaveGoesOn_data()
{
    QTest::addColumn<QString>("damage");
    // clang-format off
    QTest::newRow("folder removed after the check") << "removed";
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("a file in place of the folder") << "file";
    // clang-format on
}

void TestSaving::failedWriteIsReportedAndTheSaveGoesOn()
{
    QFETCH(QString, damage);
    const bool readOnly = damage == QLatin1String("read-only");
#ifdef Q_OS_UNIX
    if (readOnly && ::geteuid() == 0) QSKIP("the superuser writes into read-only folders");
#endif
    SavingProgram saving;
    App& app = saving.app();
    const QString folder = makeFolder(saving.program, QStringLiteral("target"));
    if (readOnly) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir(folder).removeRecursively());
        if (damage == QLatin1String("file")) touch(folder.chopped(1));
    }
    app.CatFolder[1] = folder;
    app.CatValid[2] = 1;
    app.CatFolder[2] = saving.program.dir() + kSep;
    setFrames(app, 1, { QRect(20, 20, 10, 10), QRect(40, 20, 10, 10) });
    setFrames(app, 2, { QRect(80, 20, 10, 10) });
    saving.program.dialogs().answerMessage();
    HOZON_SUB(app);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const auto messages = saving.program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    const QString path = folder + QStringLiteral("CG01_001.BMP");
    const QString text = messages[0].text;
    QVERIFY2(text.startsWith(saveFailedText(path, QString()).chopped(1)), qPrintable(text));
    QVERIFY2(!text.startsWith(saveFailedText(path, QString())), "the reason is given");
    QVERIFY2(text.endsWith(QStringLiteral("）（2 枚）")), qPrintable(text));
    QCOMPARE(app.UnsavedPieces, QStringList { text });
    QCOMPARE(filesIn(folder), QStringList());
    QCOMPARE(filesIn(saving.program.dir()).filter(QStringLiteral("tmp")), QStringList());
    QCOMPARE(app.CatNextNo[1], int16_t(1));
    QCOMPARE(app.CatStartText[1].toInt(), 1);
    QCOMPARE(app.CatFrameCount[1], 0);
    verifyPiece(saving.program.path(QStringLiteral("CG02_001.BMP")), saving.image, QRect(70, 10, 10, 10));
    QCOMPARE(app.CatNextNo[2], int16_t(2));
}

// A save that was killed before naming its piece left the piece's temporary file in a category
// folder; the next save into that folder removes it.
void TestSaving::saveRemovesTemporariesOfEndedProcesses()
{
    SavingProgram saving;
    App& app = saving.app();
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    QVERIFY(ended > 0);
    QCOMPARE(waitpid(ended, nullptr, 0), ended);
    const QString abandoned = temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ab12Cd.tmp");
    touch(saving.program.path(abandoned));
    setFrames(app, 1, { QRect(20, 20, 10, 10) });
    HOZON_SUB(app);
    QCOMPARE(filesIn(saving.program.dir()).filter(QStringLiteral(".tmp")), QStringList());
    QVERIFY(filesIn(saving.program.dir()).contains(QStringLiteral("CG01_001.BMP")));
}

namespace {

// The temporary files anywhere under a folder, as paths relative to it.
QStringList temporariesUnder(const QString& folder)
{
    QStringList found;
    QDirIterator it(
        folder, { QStringLiteral("*.tmp") }, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    return found;
}

} // namespace

// Folder texts are taken as typed and the file name is appended to them: a folder accepted
// because the text less its last character is a folder, or a fixed part holding a separator,
// names the piece in another folder than the text names, and it is written there whole.
void TestSaving::pieceGoesWhereFolderTextAndNameLeadIt_data()
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

void TestSaving::pieceGoesWhereFolderTextAndNameLeadIt()
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

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// While it lives, pieces are named as on a file system that lacks what the rename or the link
// needs: a rename of a name that starts with one of `renameErrors`' keys fails with that error,
// and with `linkError` set every hard link fails with it. Other calls go to the system.
class NamingCallsFailing
{
public:
    NamingCallsFailing(const QHash<QByteArray, int>& renameErrors, int linkError)
        : m_before(pieceNamingCalls())
    {
        s_renameErrors = renameErrors;
        s_linkError = linkError;
        pieceNamingCalls() = { rename, link };
    }
    ~NamingCallsFailing() { pieceNamingCalls() = m_before; }
    NamingCallsFailing(const NamingCallsFailing&) = delete;
    NamingCallsFailing& operator=(const NamingCallsFailing&) = delete;

private:
    static int rename(const char* from, const char* to)
    {
        const QByteArray name = QFileInfo(QFile::decodeName(to)).fileName().toLocal8Bit();
        for (auto it = s_renameErrors.cbegin(); it != s_renameErrors.cend(); ++it) {
            if (!name.startsWith(it.key())) continue;
            errno = it.value();
            return -1;
        }
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    }
    static int link(const char* from, const char* to)
    {
        if (s_linkError == 0) return ::link(from, to);
        errno = s_linkError;
        return -1;
    }

    static inline QHash<QByteArray, int> s_renameErrors;
    static inline int s_linkError = 0;
    PieceNamingCalls m_before;
};

// The bytes a piece of `image` gets where naming works.
QByteArray normallyWritten(const QImage& image)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("piece.BMP"));
    return writeNewBmpFile(image, path).ok() ? readBytes(path) : QByteArray();
}

} // namespace

// Where the file system can neither rename without replacing nor link (some network and FUSE
// file systems), the save still writes every piece, byte for byte as elsewhere, and a name found
// taken only when the piece is named is still skipped and kept.
void TestSaving::saveNamesPiecesWithoutRenameOrLink_data()
{
    QTest::addColumn<int>("renameError");
    QTest::addColumn<int>("linkError");
    // clang-format off
    QTest::newRow("rename invalid, link not permitted") << EINVAL  << EPERM;
    QTest::newRow("no rename call, link unsupported")   << ENOSYS  << EOPNOTSUPP;
    QTest::newRow("rename unsupported, no link call")   << ENOTSUP << ENOSYS;
    // clang-format on
}

void TestSaving::saveNamesPiecesWithoutRenameOrLink()
{
    QFETCH(int, renameError);
    QFETCH(int, linkError);
    SavingProgram saving;
    App& app = saving.app();
    // A folder is no file for the existence test, so only the naming finds the name taken.
    QVERIFY(QDir(saving.program.dir()).mkdir(QStringLiteral("CG01_001.BMP")));
    const QList<QRect> frames { QRect(20, 20, 30, 10), QRect(100, 60, 13, 7) };
    setFrames(app, 1, frames);
    {
        const NamingCallsFailing failing({ { QByteArray(), renameError } }, linkError);
        HOZON_SUB(app);
    }
    QCOMPARE(messageLines(saving.program.dialogs()), QStringList());
    QCOMPARE(filesIn(saving.program.dir()), QStringList({ "CG01_002.BMP", "CG01_003.BMP" }));
    QVERIFY(QFileInfo(saving.program.path(QStringLiteral("CG01_001.BMP"))).isDir());
    for (int j = 0; j < frames.size(); ++j) {
        const QString path = saving.program.path(QStringLiteral("CG01_00%1.BMP").arg(j + 2));
        QCOMPARE(readBytes(path), normallyWritten(saving.image.copy(blockOf(frames[j]))));
        QVERIFY(QFileInfo(path).permissions() & QFileDevice::ReadOther);
    }
    QCOMPARE(app.CatNextNo[1], int16_t(4));
    QCOMPARE(app.SavedPieces.size(), 2);
}

// A prepared piece on such a file system: it takes a free name with its bytes, never replaces a
// file that has the name (and stays ready for another), and a copy that fails leaves nothing,
// telling the real reason.
void TestSaving::preparedPieceWithoutRenameOrLink_data()
{
    QTest::addColumn<bool>("taken");
    QTest::addColumn<qint64>("sizeLimit"); // bytes a file may have while it is named; 0: no limit
    QTest::addColumn<SaveOutcome>("outcome");
    // clang-format off
    QTest::newRow("free name")        << false << qint64(0)    << SaveOutcome::Written;
    QTest::newRow("name taken")       << true  << qint64(0)    << SaveOutcome::NameTaken;
    QTest::newRow("header cut short") << false << qint64(20)   << SaveOutcome::Failed;
    QTest::newRow("rows cut short")   << false << qint64(1000) << SaveOutcome::Failed;
    // clang-format on
}

void TestSaving::preparedPieceWithoutRenameOrLink()
{
    QFETCH(bool, taken);
    QFETCH(qint64, sizeLimit);
    QFETCH(SaveOutcome, outcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    if (taken) writeBytes(path, "not mine");
    const QImage image = noiseImage(61, 23);
    const NamingCallsFailing failing({ { QByteArray(), EINVAL } }, EPERM);
    PreparedFile piece(image, dir.path());
    std::optional<FileSizeCap> cap;
    if (sizeLimit > 0) {
        cap.emplace(sizeLimit);
        QVERIFY(cap->active());
    }
    const SaveResult named = piece.name(path);
    cap.reset();
    QCOMPARE(named.outcome, outcome);
    switch (outcome) {
    case SaveOutcome::Written:
        QCOMPARE(readBytes(path), normallyWritten(image));
        QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
        break;
    case SaveOutcome::NameTaken: {
        QCOMPARE(readBytes(path), QByteArray("not mine"));
        const QString other = dir.filePath(QStringLiteral("CG01_002.BMP"));
        QVERIFY(piece.name(other).ok());
        QCOMPARE(readBytes(other), normallyWritten(image));
        QCOMPARE(filesIn(dir.path()), QStringList({ "CG01_001.BMP", "CG01_002.BMP" }));
        break;
    }
    case SaveOutcome::Failed:
        QCOMPARE(named.reason, reasonOf(EFBIG));
        QCOMPARE(filesIn(dir.path()), QStringList());
        break;
    }
}

// Pieces that fail into one folder for one reason are told once, in a message box and in a line
// of the note, with how many they were; one piece is told as ever. Failures into other folders
// or for other reasons are told apart. In the texts, {dir} stands for the scratch folder and
// {EIO}, {EROFS}, {ENOENT} for the system's reasons.
void TestSaving::failedPiecesAreToldOncePerFolderAndReason_data()
{
    QTest::addColumn<QList<FailingCategory>>("failing");
    QTest::addColumn<QStringList>("told"); // message title, then text
    const QString one
        = QStringLiteral("CG01_001.BMP|「{dir}/a/CG01_001.BMP」を保存できませんでした（{EIO}）");
    const QString two
        = QStringLiteral("CG02_001.BMP|「{dir}/b/CG02_001.BMP」を保存できませんでした（{EIO}）");
    const QString twoReadOnly
        = QStringLiteral("CG02_001.BMP|「{dir}/a/CG02_001.BMP」を保存できませんでした（{EROFS}）");
    const QString pieces = QStringLiteral("（2 枚）");
    // clang-format off
    QTest::newRow("one piece")
        << QList<FailingCategory> { { 1, "a", EIO, 1 } } << QStringList { one };
    QTest::newRow("two pieces into one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 2 } } << QStringList { one + pieces };
    QTest::newRow("three pieces into a missing folder")
        << QList<FailingCategory> { { 1, "gone", 0, 3 } }
        << QStringList { "CG01_001.BMP|「{dir}/gone/CG01_001.BMP」を保存できませんでした（{ENOENT}）（3 枚）" };
    QTest::newRow("two categories into one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 1 }, { 2, "a", EIO, 2 } }
        << QStringList { "{dir}/a/|「{dir}/a/」に 3 枚を保存できませんでした（{EIO}）" };
    QTest::newRow("two folders")
        << QList<FailingCategory> { { 1, "a", EIO, 2 }, { 2, "b", EIO, 2 } } << QStringList { one + pieces, two + pieces };
    QTest::newRow("two reasons in one folder")
        << QList<FailingCategory> { { 1, "a", EIO, 2 }, { 2, "a", EROFS, 1 } } << QStringList { one + pieces, twoReadOnly };
    // clang-format on
}

void TestSaving::failedPiecesAreToldOncePerFolderAndReason()
{
    QFETCH(QList<FailingCategory>, failing);
    QFETCH(QStringList, told);
    SavingProgram saving;
    App& app = saving.app();
    app.CatValid[1] = 0;
    QHash<QByteArray, int> renameErrors;
    for (const FailingCategory& category : failing) {
        app.CatValid[category.category] = 1;
        app.CatFolder[category.category] = saving.program.path(category.folder) + kSep;
        if (category.folder != QLatin1String("gone")) QDir(saving.program.dir()).mkpath(category.folder);
        if (category.error != 0) renameErrors[app.CatFixed[category.category].toLatin1()] = category.error;
        QList<QRect> frames;
        for (int j = 0; j < category.frames; ++j)
            frames << QRect(20 + 20 * j, 20 + 20 * category.category, 10, 10);
        setFrames(app, category.category, frames);
    }
    for (int i = 0; i < told.size(); ++i) {
        told[i].replace(QStringLiteral("{dir}"), saving.program.dir());
        for (const auto& [name, error] :
            { std::pair { "{EIO}", EIO }, { "{EROFS}", EROFS }, { "{ENOENT}", ENOENT } })
            told[i].replace(QLatin1String(name), reasonOf(error));
        saving.program.dialogs().answerMessage();
    }
    {
        const NamingCallsFailing failingNames(renameErrors, 0);
        HOZON_SUB(app);
    }

    QStringList boxes;
    for (const QString& line : told)
        boxes << line + QStringLiteral("|2");
    QCOMPARE(messageLines(saving.program.dialogs()), boxes);
    QStringList noteLines;
    for (const QString& line : told)
        noteLines << line.section(QLatin1Char('|'), 1);
    QCOMPARE(app.UnsavedPieces, noteLines);
    QVERIFY(saveNoteText(app.SavedPieces, app.UnsavedPieces).endsWith(noteLines.join(QLatin1Char('\n'))));
    QCOMPARE(temporariesUnder(saving.program.dir()), QStringList());
    for (const FailingCategory& category : failing)
        QCOMPARE(app.CatNextNo[category.category], int16_t(1));
}

void TestSaving::piecesStayExactThroughEveryChangeOfTheView_data()
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
void TestSaving::piecesStayExactThroughEveryChangeOfTheView()
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

void TestSaving::nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged_data()
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
void TestSaving::nextImageIsDecodedAheadAndTakenOnlyWhileUnchanged()
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
void TestSaving::decodingAheadFollowsTheDirectionAndTheSource()
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
void TestSaving::stepBackStopsTheDecodeAheadBeforeReading()
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

void TestSaving::shrunkViewBuiltAheadIsTheViewBuiltWhenOpening_data()
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
void TestSaving::shrunkViewBuiltAheadIsTheViewBuiltWhenOpening()
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

namespace {

QString sequenceName(int number)
{
    return QStringLiteral("IMG%1.BMP").arg(number, 3, 10, QLatin1Char('0'));
}

// Sequence IMG001, IMG002, IMG004 and an IMG005 that is no picture, in a folder of the scratch
// folder.
std::unique_ptr<SteppingStory> sequenceWithAGap()
{
    auto story = std::make_unique<SteppingStory>();
    story->source = makeFolder(story->program, QStringLiteral("scans"));
    for (int n : { 1, 2, 4 })
        story->images[sequenceName(n)] = writeImage(story->source + sequenceName(n), n, 100 + n, 80 + n);
    writeBytes(story->source + sequenceName(5), "no picture here");
    story->program.start();
    return story;
}

// Files a.BMP, B.bmp and c.JPG, and a text file the list leaves out, in a folder of the scratch
// folder.
std::unique_ptr<SteppingStory> folderOfThree()
{
    auto story = std::make_unique<SteppingStory>();
    story->source = makeFolder(story->program, QStringLiteral("scans"));
    story->images[QStringLiteral("a.BMP")] = writeImage(story->source + QStringLiteral("a.BMP"), 1, 131, 91);
    story->images[QStringLiteral("B.bmp")] = writeImage(story->source + QStringLiteral("B.bmp"), 2, 132, 92);
    story->images[QStringLiteral("c.JPG")]
        = writeImage(story->source + QStringLiteral("c.JPG"), 3, 133, 93, "JPG");
    touch(story->source + QStringLiteral("notes.txt"));
    story->program.start();
    return story;
}

// "ファイル", "全画像" on B.bmp and "登録終了": the folder is listed, B.bmp is shown and the save
// buttons appear.
void registerFolderList(SteppingStory& story)
{
    TestProgram& program = story.program;
    App& app = program.app();
    click(program, "BUTTON5");
    clickValidBox(program);
    program.dialogs().answerOpenFile(story.source + QStringLiteral("B.bmp"));
    click(program, "BUTTON15");
    QCOMPARE(app.LoadMode, LoadMode::Folder);
    QCOMPARE(app.PendingAction, PendingAction::None);
    QCOMPARE(app.SrcList, QStringList({ "a.BMP", "B.bmp", "c.JPG" }));
    QCOMPARE(app.SrcCount, 3);
    click(program, "BUTTON8");
    QVERIFY(!shown(program, "FORM2"));
    for (const char* button : { "BUTTON9", "BUTTON11", "BUTTON12" })
        QVERIFY2(shown(program, button), button);
    program.dialogs().clearCalls();
}

// A save button clicked, after a frame placed at actual size if `framed`; each of the message
// boxes it shows is answered with OK.
void takeStep(SteppingStory& story, const QString& button, bool framed, int messages)
{
    story.shownBefore = story.program.app().CurrentFileName;
    story.frame = framed ? placeFrame(story.program, QPoint(20, 20), QPoint(60, 50)) : QRect();
    clickAnswering(story.program, qPrintable(button), messages);
}

// The file shown is `name`: the source holds its pixels, its view is the one it had when first
// shown, no piece or frame drawn into it, the picture shows that view, and the title names it.
void verifyShown(SteppingStory& story, const QString& name)
{
    App& app = story.program.app();
    QCOMPARE(app.CurrentFileName, name);
    QCOMPARE(app.CurrentFilePath, story.source + name);
    QCOMPARE(app.ImageWidth, float(story.images[name].width()));
    QCOMPARE(sourceImage(app), story.images[name]);
    QVERIFY(app.rt.GetWindowText(app.MAINFORM).contains(name));
    if (!story.views.contains(name)) story.views[name] = view(app);
    QCOMPARE(view(app), story.views[name]);
    QCOMPARE(picture(app), blockAtOrigin(app));
}

// What every step leaves: the messages it showed over the main window, the file shown, whether
// "トリミング開始" can be clicked, and the files of the save folder; the last of them is the piece
// a frame placed before the step cut from the file shown before it.
void verifyStep(SteppingStory& story, const QStringList& messages, const QString& name, bool trimmable,
    const QStringList& files)
{
    TestProgram& program = story.program;
    QCOMPARE(messageLines(program.dialogs()), messages);
    for (const ScriptedDialogs::Call& message : program.dialogs().messages())
        QCOMPARE(message.owner, QStringLiteral("MAINFORM"));
    verifyShown(story, name);
    QCOMPARE(enabled(program, "BUTTON2"), trimmable);
    QCOMPARE(filesIn(program.dir()), files);
    if (!story.frame.isNull())
        verifyPiece(program.path(files.last()), story.images[story.shownBefore], blockOf(story.frame));
}

} // namespace

// The steps of the sequence with a gap, taken with "保存実行" and "保存後逆読込": a missing number
// is reported and crossed by stepping again; an unreadable file brings the image before back;
// the number keeps its new value either way. The save before the missing number cuts the piece
// from the view, and the image that stays is shown again, not the piece.
void TestSaving::sequenceSteppingCrossesAGap()
{
    struct StepRow
    {
        const char* tag;
        bool framed; // a frame placed before the click
        const char* button; // none: IMG001 registered as the source
        QStringList messages; // each answered with OK
        int shown; // the number of the image shown afterwards
        double number; // SeqNumber afterwards
        bool failed; // LoadFailed afterwards
        bool trimmable; // "トリミング開始" usable afterwards
        QStringList files; // of the save folder
    };
    const QStringList none, gap { QStringLiteral("IMG003.BMP|ロードするファイル名の構成に誤りがあります|0") },
        unreadable { QStringLiteral("IMG005.BMP|このファイルは表示できません|0") }, piece { "CG01_001.BMP" };
    // clang-format off
    const StepRow steps[] = {
        { "registered: IMG001",                    false, "",         none,       1, 1, false, true,  none },
        { "保存実行: IMG002",                       false, "BUTTON9",  none,       2, 2, false, true,  none },
        { "保存実行 with a frame: IMG003 missing",  true,  "BUTTON9",  gap,        2, 3, true,  false, piece },
        { "保存実行: IMG004 across the gap",        false, "BUTTON9",  none,       4, 4, false, true,  piece },
        { "保存実行: IMG005 no picture",            false, "BUTTON9",  unreadable, 4, 5, true,  true,  piece },
        { "保存後逆読込: IMG004",                    false, "BUTTON12", none,       4, 4, false, true,  piece },
        { "保存後逆読込: IMG003 missing",            false, "BUTTON12", gap,        4, 3, true,  false, piece },
        { "保存後逆読込: IMG002 across the gap",     false, "BUTTON12", none,       2, 2, false, true,  piece },
    };
    // clang-format on
    const std::unique_ptr<SteppingStory> story = sequenceWithAGap();
    App& app = story->program.app();
    for (const StepRow& step : steps) {
        const StepContext context(step.tag);
        if (*step.button == 0) {
            registerSource(story->program, story->source + sequenceName(1));
            QCOMPARE(app.LoadMode, LoadMode::Sequence);
        } else {
            takeStep(*story, QString::fromLatin1(step.button), step.framed, int(step.messages.size()));
        }
        verifyStep(*story, step.messages, sequenceName(step.shown), step.trimmable, step.files);
        QCOMPARE(app.LoadFailed, step.failed ? kFlagSet : kFlagClear);
        QCOMPARE(app.SeqNumber, step.number);
        QCOMPARE(app.SeqExt, QStringLiteral(".BMP"));
        if (QTest::currentTestFailed()) return;
    }
}

// At number 0, "保存後逆読込" saves the frame placed with the mouse and loads number 0 again.
void TestSaving::sequenceStepBackAtZeroLoadsZeroAgain()
{
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    const QImage zero = writeImage(source + QStringLiteral("P000.BMP"), 4, 160, 120);
    writeImage(source + QStringLiteral("P001.BMP"), 5, 160, 120);
    program.start();
    App& app = program.app();
    registerSource(program, source + QStringLiteral("P000.BMP"));
    QCOMPARE(app.SeqNumber, 0.0);
    QCOMPARE(app.Magnification, 1.0f);
    const QRect frame = placeFrame(program, QPoint(30, 25), QPoint(90, 70));
    QCOMPARE(app.CatFrameCount[1], 1);

    click(program, "BUTTON12");
    QCOMPARE(program.dialogs().messages().size(), 0);
    verifyPiece(program.path(QStringLiteral("CG01_001.BMP")), zero, blockOf(frame));
    QCOMPARE(app.SeqNumber, 0.0);
    QCOMPARE(app.CurrentFileName, QStringLiteral("P000.BMP"));
    QCOMPARE(sourceImage(app), zero);
    QCOMPARE(app.CatFrameCount[1], 0);
    QVERIFY(enabled(program, "BUTTON2"));
}

// "全画像" lists the folder; the save buttons then walk the list and stop at both ends. A
// listed file that has gone is reported by name and crossed by stepping again.
void TestSaving::folderListSteppingStopsAtBothEnds()
{
    struct StepRow
    {
        const char* tag;
        const char* removed; // a listed file removed before the step
        bool framed; // a frame placed before the click
        const char* button; // none: the folder listed on B.bmp
        QStringList messages; // each answered with OK
        const char* shown; // the file shown afterwards
        int index; // SrcIndex afterwards
        bool trimmable; // "トリミング開始" usable afterwards
        QStringList files; // of the save folder
    };
    const QString end = QStringLiteral("|ロードするファイルがこれ以上ありません|0");
    const QStringList none, endAtC { QStringLiteral("c.JPG") + end },
        endAtA { QStringLiteral("a.BMP") + end },
        gone { QStringLiteral("B.bmp|ロードするファイルがありません。|0") }, piece { "CG01_001.BMP" },
        pieces { "CG01_001.BMP", "CG01_002.BMP" };
    // clang-format off
    const StepRow steps[] = {
        { "listed: B.bmp",                        "",      false, "",         none,   "B.bmp", 1, true,  none },
        { "保存実行: c.JPG",                       "",      false, "BUTTON9",  none,   "c.JPG", 2, true,  none },
        { "保存実行 with a frame: at the end",     "",      true,  "BUTTON9",  endAtC, "c.JPG", 2, false, piece },
        { "保存後逆読込: B.bmp",                    "",      false, "BUTTON12", none,   "B.bmp", 1, true,  piece },
        { "保存後逆読込: a.BMP",                    "",      false, "BUTTON12", none,   "a.BMP", 0, true,  piece },
        { "保存後逆読込: at the start",             "",      false, "BUTTON12", endAtA, "a.BMP", 0, false, piece },
        { "保存実行 with a frame: B.bmp gone",     "B.bmp", true,  "BUTTON9",  gone,   "a.BMP", 1, false, pieces },
        { "保存実行: c.JPG across the gone file",  "",      false, "BUTTON9",  none,   "c.JPG", 2, true,  pieces },
    };
    // clang-format on
    const std::unique_ptr<SteppingStory> story = folderOfThree();
    for (const StepRow& step : steps) {
        const StepContext context(step.tag);
        if (*step.removed) QVERIFY(QFile::remove(story->source + QString::fromLatin1(step.removed)));
        if (*step.button == 0)
            registerFolderList(*story);
        else
            takeStep(*story, QString::fromLatin1(step.button), step.framed, int(step.messages.size()));
        verifyStep(*story, step.messages, QString::fromLatin1(step.shown), step.trimmable, step.files);
        QCOMPARE(story->program.app().SrcIndex, step.index);
        if (QTest::currentTestFailed()) return;
    }
}

// "全画像" with a file the list leaves out (a PNG chosen through "*.*"): the index is -1, so
// "保存実行" shows the first entry.
void TestSaving::shownFileOutsideTheListStartsAtTheFirstEntry()
{
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    writeImage(source + QStringLiteral("a.BMP"), 1, 31, 11);
    writeImage(source + QStringLiteral("b.BMP"), 2, 32, 12);
    writeImage(source + QStringLiteral("d.png"), 4, 34, 14, "PNG");
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    clickValidBox(program);
    program.dialogs().answerOpenFile(source + QStringLiteral("d.png"));
    click(program, "BUTTON15");
    QCOMPARE(app.SrcList, QStringList({ "a.BMP", "b.BMP" }));
    QCOMPARE(app.SrcIndex, -1);
    click(program, "BUTTON8");
    QCOMPARE(app.CurrentFileName, QStringLiteral("d.png"));
    click(program, "BUTTON9");
    QCOMPARE(program.dialogs().messages().size(), 0);
    QCOMPARE(app.CurrentFileName, QStringLiteral("a.BMP"));
    QCOMPARE(app.SrcIndex, 0);
}

// A single file: "保存実行" saves the frame placed with the mouse and shows the same file again.
void TestSaving::singleFileSavesAndReloads()
{
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    const QImage cover = writeImage(source + QStringLiteral("cover.BMP"), 6, 150, 100);
    program.start();
    App& app = program.app();
    registerSource(program, source + QStringLiteral("cover.BMP"), 1, true);
    QCOMPARE(app.LoadMode, LoadMode::SingleFile);
    QVERIFY(shown(program, "BUTTON9"));
    QVERIFY(!shown(program, "BUTTON11"));
    QVERIFY(!shown(program, "BUTTON12"));
    const QRect first = placeFrame(program, QPoint(15, 15), QPoint(60, 50));
    const QRect second = placeFrame(program, QPoint(70, 20), QPoint(140, 95));
    QCOMPARE(app.CatFrameCount[1], 2);

    click(program, "BUTTON9");
    QCOMPARE(program.dialogs().messages().size(), 0);
    verifyPiece(program.path(QStringLiteral("CG01_001.BMP")), cover, blockOf(first));
    verifyPiece(program.path(QStringLiteral("CG01_002.BMP")), cover, blockOf(second));
    QCOMPARE(app.CurrentFilePath, source + QStringLiteral("cover.BMP"));
    QCOMPARE(sourceImage(app), cover);
    QCOMPARE(app.CatFrameCount[1], 0);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(app.CatNextNo[1], int16_t(3));
}

// "保存後再読込" in sequence mode: saves, then shows the same number again.
void TestSaving::saveThenReloadKeepsTheImage()
{
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    const QImage first = writeImage(source + QStringLiteral("IMG001.BMP"), 1, 120, 90);
    writeImage(source + QStringLiteral("IMG002.BMP"), 2, 120, 90);
    program.start();
    App& app = program.app();
    registerSource(program, source + QStringLiteral("IMG001.BMP"));
    const QRect frame = placeFrame(program, QPoint(20, 20), QPoint(100, 70));

    click(program, "BUTTON11");
    QCOMPARE(program.dialogs().messages().size(), 0);
    verifyPiece(program.path(QStringLiteral("CG01_001.BMP")), first, blockOf(frame));
    QCOMPARE(app.SeqNumber, 1.0);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(sourceImage(app), first);
    QCOMPARE(app.CatFrameCount[1], 0);
    QVERIFY(enabled(program, "BUTTON2"));
}

void TestSaving::loadWithNothingToReturnToShowsNothing_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("previousDeleted"); // otherwise it is overwritten with text
    // clang-format off
    const QList<QPair<const char*, Step>> steps = {
        { "direct file", Step::DirectFile },
        { "sequence step", Step::SequenceStep },
        { "folder-list step", Step::FolderListStep },
    };
    // clang-format on
    for (const auto& [name, step] : steps) {
        QTest::newRow(qPrintable(QStringLiteral("%1, previous deleted").arg(QLatin1String(name))))
            << step << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, previous spoilt").arg(QLatin1String(name))))
            << step << false;
    }
}

// The next image cannot be decoded, and the image on show has been deleted or spoilt meanwhile:
// both failures are reported, and whichever way the load was started, the program shows no
// image at all, as at start-up: no file, no name in the title, a blank picture.
void TestSaving::loadWithNothingToReturnToShowsNothing()
{
    QFETCH(Step, step);
    QFETCH(bool, previousDeleted);
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    const QString previous = source + QStringLiteral("P001.BMP");
    const QString next = source + QStringLiteral("P002.BMP");
    writeImage(previous, 1, 120, 80);
    writeBytes(next, QByteArrayLiteral("these are notes, not an image"));
    program.start();
    App& app = program.app();
    const QImage blankPicture = picture(app);

    switch (step) {
    case Step::DirectFile:
        click(program, "BUTTON5");
        program.dialogs().answerOpenFile(previous);
        click(program, "BUTTON6");
        break;
    case Step::SequenceStep: registerSource(program, previous); break;
    case Step::FolderListStep:
        click(program, "BUTTON5");
        clickValidBox(program);
        program.dialogs().answerOpenFile(previous);
        click(program, "BUTTON15");
        click(program, "BUTTON8");
        break;
    }
    QCOMPARE(app.CurrentFilePath, previous);
    QVERIFY(picture(app) != blankPicture);

    if (previousDeleted)
        QVERIFY(QFile::remove(previous));
    else
        writeBytes(previous, QByteArrayLiteral("overwritten"));
    program.dialogs().clearCalls();
    if (step == Step::DirectFile) program.dialogs().answerOpenFile(next);
    program.dialogs().answerMessage();
    program.dialogs().answerMessage();
    click(program, step == Step::DirectFile ? "BUTTON6" : "BUTTON9");

    const QString previousText = previousDeleted ? QStringLiteral("このファイルは存在しません")
                                                 : QStringLiteral("このファイルは表示できません");
    QCOMPARE(messageLines(program.dialogs()),
        QStringList({ QStringLiteral("P002.BMP|このファイルは表示できません|0"),
            QStringLiteral("P001.BMP|") + previousText + QStringLiteral("|0") }));
    QVERIFY(app.CurrentFilePath.isEmpty());
    QVERIFY(app.CurrentFileName.isEmpty());
    QCOMPARE(program.widget(QStringLiteral("MAINFORM"))->windowTitle(), QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(picture(app), blankPicture);
}

// Categories 2 and 5 valid, category 7 on show but not valid: those three number from 1 again,
// the others keep their numbers.
// "登録終了" that finds no file to load leaves the view as it was, frames and all. The category
// list starts again at the first valid category; the frame list and the frames on the picture
// follow it, and switching categories afterwards leaves no outline behind.
void TestSaving::registrationWithoutALoadKeepsFramesAndCategoryTogether()
{
    TestProgram program;
    writeImage(program.path(QStringLiteral("IMG001.BMP")), 1, 300, 200);
    program.start();
    App& app = program.app();
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    click(program, "BUTTON5");
    selectRow(program, 1);
    clickValidBox(program);
    click(program, "BUTTON8");
    const QImage clean = view(app);
    chooseEntry(program, "COMBO2", 1);
    QCOMPARE(app.CurCat, int16_t(2));
    placeFrame(program, QPoint(30, 30), QPoint(120, 90));
    const QImage withFrame = view(app);
    QVERIFY(withFrame != clean);

    QFile::remove(program.path(QStringLiteral("IMG001.BMP")));
    click(program, "BUTTON5");
    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().messages().size(), 1);
    QCOMPARE(app.LoadFailed, int16_t(1));
    QCOMPARE(app.CurCat, int16_t(1));
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(view(app), clean);
    QCOMPARE(app.CatFrameCount[2], 1); // kept for its own category

    chooseEntry(program, "COMBO2", 1);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 1);
    QCOMPARE(view(app), withFrame);
    chooseEntry(program, "COMBO2", 0);
    QCOMPARE(view(app), clean);
}

void TestSaving::allToOneRestartsValidAndShownCategories()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (int category = 1; category <= kCategoryCount; ++category) {
        app.CatNextNo[category] = int16_t(10 + category);
        app.CatStartText[category] = QString::number(10 + category);
    }
    app.CatValid[2] = 1;
    app.CatValid[5] = 1;
    click(program, "BUTTON5");
    selectRow(program, 6);
    QCOMPARE(app.CurCat, int16_t(7));
    click(program, "BUTTON13");

    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(app.rt.GetWindowText(app.EDIT8), QStringLiteral("1"));
    for (int category = 1; category <= kCategoryCount; ++category) {
        const int expected = category == 2 || category == 5 || category == 7 ? 1 : 10 + category;
        QCOMPARE(app.CatNextNo[category], int16_t(expected));
        QCOMPARE(app.CatStartText[category].toInt(), expected);
    }
}

// "全ファイル削除": categories 2 and 5 share a folder, category 6 has its own, category 8 is not
// valid. The question's details name each folder of a valid category once with the number of
// files Yes deletes. Yes deletes every BMP file of the valid folders, whatever its name or letter
// case, and then restarts the numbering; No changes nothing.
void TestSaving::deleteAllFiles_data()
{
    QTest::addColumn<int>("answer");
    // clang-format off
    QTest::newRow("no") << int(MessageAnswer::No);
    QTest::newRow("yes") << int(MessageAnswer::Yes);
    // clang-format on
}

void TestSaving::deleteAllFiles()
{
    QFETCH(int, answer);
    TestProgram program;
    const QString shared = makeFolder(program, QStringLiteral("shared"));
    const QString own = makeFolder(program, QStringLiteral("own"));
    const QString other = makeFolder(program, QStringLiteral("other"));
    const QStringList sharedFiles { "CG02_001.BMP", "CG05_003.BMP", "X.Bmp", "notes.txt", "photo.JPG",
        "scan.bmp" };
    for (const QString& name : sharedFiles)
        touch(shared + name);
    touch(own + QStringLiteral("a.BMP"));
    touch(other + QStringLiteral("k.BMP"));
    program.start();
    App& app = program.app();
    for (int category : { 2, 5, 6, 8 }) {
        app.CatValid[category] = category == 8 ? 0 : 1;
        app.CatNextNo[category] = 9;
        app.CatStartText[category] = QStringLiteral("9");
    }
    app.CatFolder[2] = shared;
    app.CatFolder[5] = shared;
    app.CatFolder[6] = own;
    app.CatFolder[8] = other;
    setFrames(app, 2, { QRect(20, 20, 5, 5) });
    click(program, "BUTTON5");
    program.dialogs().answerMessage(answer);
    click(program, "BUTTON14");

    QCOMPARE(messageLines(program.dialogs()),
        QStringList { QStringLiteral("|本当に全ての保存先の画像を削除しますか？|2") });
    QCOMPARE(program.dialogs().messages().first().buttons, int(MessageButtons::YesNo));
    QCOMPARE(program.dialogs().messages().first().details,
        QStringLiteral("「はい」で削除するファイル：\n%1　4 個\n%2　1 個\n合計 5 個").arg(shared, own));
    const bool yes = answer == MessageAnswer::Yes;
    QCOMPARE(filesIn(shared), yes ? QStringList({ "notes.txt", "photo.JPG" }) : sharedFiles);
    QCOMPARE(filesIn(own), yes ? QStringList() : QStringList { "a.BMP" });
    QCOMPARE(filesIn(other), QStringList { "k.BMP" });
    for (int category : { 2, 5, 6 })
        QCOMPARE(app.CatNextNo[category], int16_t(yes ? 1 : 9));
    QCOMPARE(app.CatNextNo[8], int16_t(9));
    QCOMPARE(app.CatFrameCount[2], 1);
    QCOMPARE(app.CatFolder[2], shared);

    program.dialogs().clearCalls();
    program.dialogs().answerMessage(MessageAnswer::No);
    click(program, "BUTTON14");
    QCOMPARE(
        program.dialogs().messages().first().details.endsWith(QStringLiteral("削除するファイルはありません")),
        yes);
}

namespace {

// "ファイル", categories 2 and 4 made valid, category 4 saving into `landscapes`, the first scan
// chosen through "連番ファイル参照", "登録終了".
void registerScansInTwoCategories(TestProgram& program, const QString& firstScan, const QString& landscapes)
{
    App& app = program.app();
    click(program, "BUTTON5");
    selectRow(program, 1);
    clickValidBox(program);
    selectRow(program, 3);
    clickValidBox(program);
    app.CatFolder[4] = landscapes; // as the folder dialog would give it
    app.rt.SetWindowText(app.EDIT6, landscapes);
    program.dialogs().answerOpenFile(firstScan);
    click(program, "BUTTON7");
    click(program, "BUTTON8");
}

// The start number record of a category in the settings file's lines: the third after the
// category's first line.
QString startNumberRecord(const QStringList& lines, int category)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QStringLiteral("分類 %1,").arg(category))) return lines.value(i + 3);
    return QString();
}

} // namespace

// A new user's whole run: a folder of three JPEG scans is registered with two categories,
// frames are placed with the mouse in both categories on every scan, "保存実行" goes through to
// the end, and the program is closed. Every piece holds the pixels of its scan, and the
// settings file carries each category's next number.
void TestSaving::wholeRunOfWork()
{
    TestProgram program;
    const QString source = makeFolder(program, QStringLiteral("scans"));
    QList<QImage> scans;
    for (int n = 1; n <= 3; ++n)
        scans << writeImage(
            source + QStringLiteral("scan%1.jpg").arg(n, 3, 10, QLatin1Char('0')), n, 180, 130, "JPG");
    const QString landscapes = makeFolder(program, QStringLiteral("landscapes"));
    program.start();
    App& app = program.app();

    registerScansInTwoCategories(program, source + QStringLiteral("scan001.jpg"), landscapes);
    QVERIFY(!shown(program, "FORM2"));
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.Magnification, 1.0f);
    QCOMPARE(app.CatFolder[4], landscapes);

    QList<QRect> secondFrames, fourthFrames;
    for (int n = 0; n < 3; ++n) {
        QCOMPARE(app.CurrentFileName, QStringLiteral("scan%1.jpg").arg(n + 1, 3, 10, QLatin1Char('0')));
        selectByKeyboard(program, "COMBO2", 0);
        QCOMPARE(app.CurCat, int16_t(2));
        secondFrames << placeFrame(program, QPoint(12 + n, 14), QPoint(70, 60 + n));
        secondFrames << placeFrame(program, QPoint(100, 20), QPoint(160 - n, 80));
        selectByKeyboard(program, "COMBO2", 1);
        QCOMPARE(app.CurCat, int16_t(4));
        fourthFrames << placeFrame(program, QPoint(40, 90), QPoint(175, 135));
        if (n == 2) program.dialogs().answerMessage();
        click(program, "BUTTON9");
    }
    QCOMPARE(messageLines(program.dialogs()),
        QStringList { QStringLiteral("scan004.jpg|ロードするファイル名の構成に誤りがあります|0") });
    closeMainWindow(program);
    QVERIFY(app.rt.Ended());

    for (int n = 0; n < 3; ++n) {
        for (int k = 0; k < 2; ++k)
            verifyPiece(program.path(QStringLiteral("CG02_00%1.BMP").arg(2 * n + k + 1)), scans[n],
                blockOf(secondFrames[2 * n + k]).intersected(scans[n].rect()));
        verifyPiece(landscapes + QStringLiteral("CG04_00%1.BMP").arg(n + 1), scans[n],
            blockOf(fourthFrames[n]).intersected(scans[n].rect()));
    }
    QCOMPARE(filesIn(landscapes).size(), 3);
    QCOMPARE(filesIn(program.dir()).filter(QStringLiteral("CG")).size(), 6);

    const QStringList lines = settingsLines(program.dir());
    QCOMPARE(startNumberRecord(lines, 2), QStringLiteral("連番開始番号,7"));
    QCOMPARE(startNumberRecord(lines, 4), QStringLiteral("連番開始番号,4"));
}

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
