#include "categories/SavingSupport.h"
#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"

#include <QFile>
#include <QHash>
#include <QTest>

#include <memory>

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

namespace {

// Clicks a button whose handler shows `messages` message boxes, each answered with OK; what the
// dialogs recorded before is cleared first.
void clickAnswering(TestProgram& program, const char* button, int messages)
{
    program.dialogs().clearCalls();
    for (int i = 0; i < messages; ++i)
        program.dialogs().answerMessage();
    click(program, button);
}

} // namespace

// The save buttons step through a sequence or a folder list, saving the frames on the way.
class TestSavingStepping : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void sequenceSteppingCrossesAGap();
    void sequenceStepBackAtZeroLoadsZeroAgain();
    void folderListSteppingStopsAtBothEnds();
    void shownFileOutsideTheListStartsAtTheFirstEntry();
    void wholeRunOfWork();
};

void TestSavingStepping::cleanup()
{
    verifyEveryScriptedAnswerTaken();
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
    const QStringList& files, const QString& position)
{
    TestProgram& program = story.program;
    QCOMPARE(program.app().rt.StripTextShown(), position);
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
// from the view, and the image that stays is shown again, not the piece. The strip tells the
// number on show and the next one without a file, and what comes across a gap.
void TestSavingStepping::sequenceSteppingCrossesAGap()
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
        const char* position; // the strip's text
    };
    const char* onOne = "1 番（次の空き番号 3）";
    const char* onTwo = "2 番（3 番はありません。その次は 4 番）";
    const char* onFour = "4 番（次の空き番号 6）";
    const QStringList none, gap { QStringLiteral("IMG003.BMP|ロードするファイル名の構成に誤りがあります|0") },
        unreadable { QStringLiteral("IMG005.BMP|このファイルは表示できません|0") }, piece { "CG01_001.BMP" };
    // clang-format off
    const StepRow steps[] = {
        { "registered: IMG001",                    false, "",         none,       1, 1, false, true,  none,  onOne },
        { "保存実行: IMG002",                       false, "BUTTON9",  none,       2, 2, false, true,  none,  onTwo },
        { "保存実行 with a frame: IMG003 missing",  true,  "BUTTON9",  gap,        2, 3, true,  false, piece, onTwo },
        { "保存実行: IMG004 across the gap",        false, "BUTTON9",  none,       4, 4, false, true,  piece, onFour },
        { "保存実行: IMG005 no picture",            false, "BUTTON9",  unreadable, 4, 5, true,  true,  piece, onFour },
        { "保存後逆読込: IMG004",                    false, "BUTTON12", none,       4, 4, false, true,  piece, onFour },
        { "保存後逆読込: IMG003 missing",            false, "BUTTON12", gap,        4, 3, true,  false, piece, onFour },
        { "保存後逆読込: IMG002 across the gap",     false, "BUTTON12", none,       2, 2, false, true,  piece, onTwo },
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
        verifyStep(*story, step.messages, sequenceName(step.shown), step.trimmable, step.files,
            QString::fromUtf8(step.position));
        QCOMPARE(app.LoadFailed, step.failed ? kFlagSet : kFlagClear);
        QCOMPARE(app.SeqNumber, step.number);
        QCOMPARE(app.SeqExt, QStringLiteral(".BMP"));
        if (QTest::currentTestFailed()) return;
    }
}

// At number 0, "保存後逆読込" saves the frame placed with the mouse and loads number 0 again.
void TestSavingStepping::sequenceStepBackAtZeroLoadsZeroAgain()
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
void TestSavingStepping::folderListSteppingStopsAtBothEnds()
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
        const char* position; // the strip's text
    };
    const QString end = QStringLiteral("|ロードするファイルがこれ以上ありません|0");
    const QStringList none, endAtC { QStringLiteral("c.JPG") + end },
        endAtA { QStringLiteral("a.BMP") + end },
        gone { QStringLiteral("B.bmp|ロードするファイルがありません。|0") }, piece { "CG01_001.BMP" },
        pieces { "CG01_001.BMP", "CG01_002.BMP" };
    // clang-format off
    const StepRow steps[] = {
        { "listed: B.bmp",                        "",      false, "",         none,   "B.bmp", 1, true,  none,   "2 / 3" },
        { "保存実行: c.JPG",                       "",      false, "BUTTON9",  none,   "c.JPG", 2, true,  none,   "3 / 3" },
        { "保存実行 with a frame: at the end",     "",      true,  "BUTTON9",  endAtC, "c.JPG", 2, false, piece,  "3 / 3" },
        { "保存後逆読込: B.bmp",                    "",      false, "BUTTON12", none,   "B.bmp", 1, true,  piece,  "2 / 3" },
        { "保存後逆読込: a.BMP",                    "",      false, "BUTTON12", none,   "a.BMP", 0, true,  piece,  "1 / 3" },
        { "保存後逆読込: at the start",             "",      false, "BUTTON12", endAtA, "a.BMP", 0, false, piece,  "1 / 3" },
        { "保存実行 with a frame: B.bmp gone",     "B.bmp", true,  "BUTTON9",  gone,   "a.BMP", 1, false, pieces,
          "2 / 3（B.bmp を表示できませんでした）" },
        { "保存実行: c.JPG across the gone file",  "",      false, "BUTTON9",  none,   "c.JPG", 2, true,  pieces, "3 / 3" },
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
        verifyStep(*story, step.messages, QString::fromLatin1(step.shown), step.trimmable, step.files,
            QString::fromUtf8(step.position));
        QCOMPARE(story->program.app().SrcIndex, step.index);
        if (QTest::currentTestFailed()) return;
    }
}

// "全画像" with a file the list leaves out (a PNG chosen through "*.*"): the index is -1, so
// "保存実行" shows the first entry.
void TestSavingStepping::shownFileOutsideTheListStartsAtTheFirstEntry()
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
    QCOMPARE(app.rt.StripTextShown(), QStringLiteral("- / 2"));
    click(program, "BUTTON9");
    QCOMPARE(program.dialogs().messages().size(), 0);
    QCOMPARE(app.CurrentFileName, QStringLiteral("a.BMP"));
    QCOMPARE(app.SrcIndex, 0);
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
void TestSavingStepping::wholeRunOfWork()
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
    QCOMPARE(app.CurrentFileName, QStringLiteral("scan003.jpg"));
    QCOMPARE(app.rt.StripTextShown(), QStringLiteral("3 番（最後の画像です）"));
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

QTEST_MAIN(TestSavingStepping)
#include "tst_saving_stepping.moc"
