#include "categories/SavingSupport.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"

#include <QFile>
#include <QTest>

// The registration window's "ＡＬＬ・１" and "全ファイル削除", and "登録終了" that finds no file to load.
class TestRegistrationButtons : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void allToOneRestartsValidAndShownCategories();
    void registrationWithoutALoadKeepsFramesAndCategoryTogether();
    void deleteAllFiles_data();
    void deleteAllFiles();
};

void TestRegistrationButtons::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// "登録終了" that finds no file to load leaves the view as it was, frames and all. The category
// list starts again at the first valid category; the frame list and the frames on the picture
// follow it, and switching categories afterwards leaves no outline behind.
void TestRegistrationButtons::registrationWithoutALoadKeepsFramesAndCategoryTogether()
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

// Categories 2 and 5 valid, category 7 on show but not valid: those three number from 1 again,
// the others keep their numbers.
void TestRegistrationButtons::allToOneRestartsValidAndShownCategories()
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
void TestRegistrationButtons::deleteAllFiles_data()
{
    QTest::addColumn<int>("answer");
    // clang-format off
    QTest::newRow("no") << int(MessageAnswer::No);
    QTest::newRow("yes") << int(MessageAnswer::Yes);
    // clang-format on
}

void TestRegistrationButtons::deleteAllFiles()
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

QTEST_MAIN(TestRegistrationButtons)
#include "tst_registration_buttons.moc"
