#include "categories/RegistrationWindow.h"
#include "categories/SaveTargetCheck.h"
#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace {

const QString kSep = QStringLiteral("/");

// Replaces the text of an edit field as the user does: select all, then type. Japanese text
// arrives as the input method commits it.
void typeInto(TestProgram& program, const char* name, const QString& text)
{
    QWidget* edit = program.widget(QString::fromLatin1(name));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    bool ascii = true;
    for (QChar character : text)
        ascii = ascii && character.unicode() < 128;
    if (ascii) {
        QTest::keyClicks(edit, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(edit, &commit);
}

} // namespace

class TestCategories : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void saveTargetCheck_data();
    void saveTargetCheck();
    void typedNumbersAreHeldInRange_data();
    void typedNumbersAreHeldInRange();
    void switchingCategoriesStoresTheEditsFirst();
    void saveFolderDialog();
    void wholeRegistrationOfANewUser();
    void finishStaysOpenUntilAllIsRight();
    void missingFolderPassesOnTheSecondFinish();
    void sequenceFromTheDefaultLoadPath();
    void correctedFieldsChooseTheFirstFile();
    void failedSequenceLoadKeepsTheImageAndExtension();
};

void TestCategories::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestCategories::saveTargetCheck_data()
{
    QTest::addColumn<QList<int>>("valid");
    QTest::addColumn<QList<int>>("missingFolder");
    QTest::addColumn<QList<int>>("rootFolder");
    QTest::addColumn<QList<int>>("sameNames"); // pairs: the second takes folder and fixed part of the first
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("result");

    const QString folderError = QStringLiteral("保存先エラー　[%1]|分類 %2には保存フォルダーがありません|2");
    const QString nameError = QStringLiteral("分類 %1の保存名エラー|保存ファイル名が分類 %2と同じです|2");
    const QString missing = QStringLiteral("/nonexistent/velmora/");

    // clang-format off
    QTest::newRow("all well") << QList<int> { 1, 2 } << QList<int> {} << QList<int> {} << QList<int> {} << QStringList {} << 0;
    QTest::newRow("missing folder") << QList<int> { 3 } << QList<int> { 3 } << QList<int> {} << QList<int> {} << QStringList { folderError.arg(missing).arg(3) } << 1;
    QTest::newRow("missing folder of an invalid category") << QList<int> { 2 } << QList<int> { 3 } << QList<int> {} << QList<int> {} << QStringList {} << 0;
    QTest::newRow("root folder") << QList<int> { 2 } << QList<int> {} << QList<int> { 2 } << QList<int> {} << QStringList { folderError.arg(QStringLiteral("/")).arg(2) } << 1;
    QTest::newRow("duplicate") << QList<int> { 1, 2 } << QList<int> {} << QList<int> {} << QList<int> { 1, 2 } << QStringList { nameError.arg(1).arg(2) } << 2;
    QTest::newRow("duplicate of invalid categories") << QList<int> {} << QList<int> {} << QList<int> {} << QList<int> { 5, 17 } << QStringList { nameError.arg(5).arg(17) } << 2;
    QTest::newRow("every case reported") << QList<int> { 3, 4 } << QList<int> { 3, 4 } << QList<int> {} << QList<int> { 10, 11, 10, 12 } << QStringList { folderError.arg(missing).arg(3), folderError.arg(missing).arg(4), nameError.arg(10).arg(11), nameError.arg(10).arg(12), nameError.arg(11).arg(12) } << 2;
    // clang-format on
}

void TestCategories::saveTargetCheck()
{
    QFETCH(QList<int>, valid);
    QFETCH(QList<int>, missingFolder);
    QFETCH(QList<int>, rootFolder);
    QFETCH(QList<int>, sameNames);
    QFETCH(QStringList, messages);
    QFETCH(int, result);

    TestProgram program;
    program.start();
    App& app = program.app();
    for (int c : valid)
        app.CatValid[c] = 1;
    for (int c : missingFolder)
        app.CatFolder[c] = QStringLiteral("/nonexistent/velmora/");
    for (int c : rootFolder)
        app.CatFolder[c] = QStringLiteral("/");
    for (int i = 0; i + 1 < sameNames.size(); i += 2) {
        app.CatFolder[sameNames[i + 1]] = app.CatFolder[sameNames[i]];
        app.CatFixed[sameNames[i + 1]] = app.CatFixed[sameNames[i]];
    }
    app.rt.EnableWindow(app.BUTTON2, kTrue);
    for (int i = 0; i < messages.size(); ++i)
        program.dialogs().answerMessage();

    QCOMPARE(FILECHK_SUB(app), float(result));
    QCOMPARE(messageLines(program.dialogs()), messages);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), result == 2 ? kFalse : kTrue);
    const QString workingFolder = program.dir() + kSep;
    for (int c : missingFolder + rootFolder)
        QCOMPARE(app.CatFolder[c], valid.contains(c) ? workingFolder : app.CatFolder[c]);
    for (int c : missingFolder)
        if (!valid.contains(c)) QCOMPARE(app.CatFolder[c], QStringLiteral("/nonexistent/velmora/"));
}

void TestCategories::typedNumbersAreHeldInRange_data()
{
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("digitsText");
    QTest::addColumn<int>("fill"); // COMBO4: 0 "無", 1 "0"
    QTest::addColumn<int>("nextNo");
    QTest::addColumn<int>("digits");
    // clang-format off
    QTest::newRow("leading zeros") << "007" << "3" << 1 << 7 << 3;
    QTest::newRow("above the range") << "40000" << "99999" << 0 << 32767 << 32767;
    QTest::newRow("below the range") << "-40000" << "-70000" << 0 << -32768 << -32768;
    QTest::newRow("number then text") << "12abc" << "5x" << 0 << 12 << 5;
    QTest::newRow("not a number") << "abc" << "桁" << 0 << 0 << 0;
    // Zero fill widens a digit count shorter than the number to the number's length.
    QTest::newRow("not a number, zero fill") << "123" << "x" << 1 << 123 << 3;
    // clang-format on
}

void TestCategories::typedNumbersAreHeldInRange()
{
    QFETCH(QString, startText);
    QFETCH(QString, digitsText);
    QFETCH(int, fill);
    QFETCH(int, nextNo);
    QFETCH(int, digits);

    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    selectRow(program, 1);
    typeInto(program, "EDIT8", startText);
    typeInto(program, "EDIT9", digitsText);
    selectByKeyboard(program, "COMBO4", fill);
    selectRow(program, 2);
    QCOMPARE(app.CatNextNo[2], int16_t(nextNo));
    QCOMPARE(app.CatDigits[2], int16_t(digits));
    selectRow(program, 1);
    QCOMPARE(text(program, app.EDIT8), QString::number(nextNo));
    QCOMPARE(text(program, app.EDIT9), QString::number(digits));
}

void TestCategories::switchingCategoriesStoresTheEditsFirst()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    QVERIFY(shown(program, "FORM2"));
    QCOMPARE(app.rt.IsWindowEnabled(app.MAINFORM), kFalse);

    selectRow(program, 5);
    QCOMPARE(app.CurCat, int16_t(6));
    QCOMPARE(text(program, app.EDIT7), QStringLiteral("CG06_"));
    typeInto(program, "EDIT5", QStringLiteral("人物"));
    typeInto(program, "EDIT7", QStringLiteral("P_"));
    auto* fill = program.widget<QComboBox>(QStringLiteral("COMBO4"));
    fill->setCurrentIndex(0);
    clickValidBox(program);
    // Ticking is stored at once and the summary follows.
    QCOMPARE(app.CatValid[6], int16_t(1));
    QVERIFY(text(program, app.EDIT10).contains(QStringLiteral("分類 6　有効\r\n分類名：人物")));
    QVERIFY(text(program, app.EDIT10).contains(QStringLiteral("保存名：P_1.BMP")));

    selectRow(program, 0);
    QCOMPARE(app.CatName[6], QStringLiteral("人物"));
    QCOMPARE(app.CatFixed[6], QStringLiteral("P_"));
    QCOMPARE(app.CatFill[6], QStringLiteral("1"));
    QCOMPARE(text(program, app.EDIT5), QStringLiteral("分類 1"));
    QCOMPARE(program.widget<QCheckBox>(QStringLiteral("CHECK1"))->isChecked(), false);
    selectRow(program, 5);
    QCOMPARE(text(program, app.EDIT5), QStringLiteral("人物"));
    QCOMPARE(fill->currentIndex(), 0);
    QCOMPARE(app.rt.GetItemText(app.LIST1, 5), QStringLiteral("分類 6"));
    QCOMPARE(program.dialogs().calls().size(), 0);
}

void TestCategories::saveFolderDialog()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    makeFolder(program, QStringLiteral("out"));
    click(program, "BUTTON5");
    selectRow(program, 2);

    typeInto(program, "EDIT5", QStringLiteral("風景"));
    program.dialogs().answerFolder(dialogCancelled());
    click(program, "BUTTON10");
    // A folder chooser, titled with the prompt and starting in the category's folder.
    const ScriptedDialogs::Call& dialog = program.dialogs().calls().first();
    QCOMPARE(dialog.kind, ScriptedDialogs::Kind::Folder);
    QCOMPARE(dialog.title, QStringLiteral("分類 3 のファイル群を保存したいフォルダは？"));
    QCOMPARE(dialog.text, program.dir());
    // Cancelled: the folder stays, the other fields are stored all the same.
    QCOMPARE(app.CatFolder[3], program.dir() + kSep);
    QCOMPARE(app.CatName[3], QStringLiteral("風景"));

    program.dialogs().answerFolder(program.path(QStringLiteral("out")));
    click(program, "BUTTON10");
    QCOMPARE(app.CatFolder[3], program.dir() + QStringLiteral("/out/"));
    QCOMPARE(text(program, app.EDIT6), app.CatFolder[3]);
    QCOMPARE(filesIn(program.path(QStringLiteral("out"))), QStringList());
}

void TestCategories::wholeRegistrationOfANewUser()
{
    TestProgram program;
    for (int n = 1; n <= 3; ++n)
        writeImage(
            program.path(QStringLiteral("IMG%1.BMP").arg(n, 3, 10, QLatin1Char('0'))), n, 20 + n, 10 + n);
    program.start();
    App& app = program.app();
    QVERIFY(!shown(program, "BUTTON2"));
    QVERIFY(!shown(program, "BUTTON9"));

    click(program, "BUTTON5");
    selectRow(program, 3);
    clickValidBox(program);
    typeInto(program, "EDIT5", QStringLiteral("風景"));
    selectRow(program, 8);
    clickValidBox(program);
    typeInto(program, "EDIT5", QStringLiteral("人物"));
    program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG001.BMP")));
    click(program, "BUTTON7");
    QCOMPARE(text(program, app.EDIT2), QStringLiteral("IMG"));
    QCOMPARE(text(program, app.EDIT3), QStringLiteral("1"));
    QCOMPARE(text(program, app.EDIT4), QStringLiteral("3"));

    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().calls().size(), 1); // the file dialog, no message
    QVERIFY(!shown(program, "FORM2"));
    QCOMPARE(app.rt.IsWindowEnabled(app.MAINFORM), kTrue);
    QCOMPARE(app.CurrentFilePath, program.path(QStringLiteral("IMG001.BMP")));
    QCOMPARE(app.ImageWidth, 21.0f);
    QCOMPARE(text(program, app.MAINFORM), QStringLiteral("Velmora Ver1.4 　　トリミング画像「IMG001.BMP」"));
    QCOMPARE(comboItems(app, app.COMBO2), QStringList({ "風景", "人物" }));
    QCOMPARE(app.rt.GetCurSel(app.COMBO2), 0);
    QCOMPARE(app.ValidCatMap[0], int16_t(4));
    QCOMPARE(app.ValidCatMap[1], int16_t(9));
    QCOMPARE(app.CurCat, int16_t(4));
    for (const char* button : { "BUTTON2", "BUTTON9", "BUTTON11", "BUTTON12" }) {
        QVERIFY2(shown(program, button), button);
        QVERIFY2(enabled(program, button), button);
    }

    // Opened again, the window shows where the source is and the current category.
    click(program, "BUTTON5");
    QVERIFY(!shown(program, "BUTTON11"));
    QVERIFY(!shown(program, "BUTTON12"));
    QCOMPARE(text(program, app.EDIT1), program.dir() + kSep);
    QCOMPARE(app.rt.GetCurSel(app.LIST1), 3);
    QCOMPARE(text(program, app.EDIT5), QStringLiteral("風景"));
}

void TestCategories::finishStaysOpenUntilAllIsRight()
{
    TestProgram program;
    const QString image = program.path(QStringLiteral("photo.BMP"));
    writeImage(image, 1, 24, 16);
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");

    // No valid category.
    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(messageLines(program.dialogs()),
        QStringList { QStringLiteral("分類設定エラー|全ての分類の設定が有効ではありません|2") });
    QCOMPARE(program.dialogs().messages().first().owner, QStringLiteral("FORM2"));
    QVERIFY(shown(program, "FORM2"));

    // Two categories with the same folder and fixed part, one of them invalid.
    clickValidBox(program);
    selectRow(program, 1);
    typeInto(program, "EDIT7", QStringLiteral("CG01_"));
    program.dialogs().clearCalls();
    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(messageLines(program.dialogs()),
        QStringList { QStringLiteral("分類 1の保存名エラー|保存ファイル名が分類 2と同じです|2") });
    QVERIFY(shown(program, "FORM2"));

    // No image source: the window just stays open.
    typeInto(program, "EDIT7", QStringLiteral("CG02_"));
    program.dialogs().clearCalls();
    program.dialogs().answerOpenFile(dialogCancelled());
    click(program, "BUTTON6");
    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().messages().size(), 0);
    QVERIFY(shown(program, "FORM2"));
    QCOMPARE(app.rt.IsWindowEnabled(app.MAINFORM), kFalse);

    // A single file: the window closes; there is no next image, so no step buttons.
    program.dialogs().answerOpenFile(image);
    click(program, "BUTTON6");
    click(program, "BUTTON8");
    QVERIFY(!shown(program, "FORM2"));
    QCOMPARE(app.LoadMode, LoadMode::SingleFile);
    QCOMPARE(app.CurrentFileName, QStringLiteral("photo.BMP"));
    QVERIFY(shown(program, "BUTTON2"));
    QVERIFY(shown(program, "BUTTON9"));
    QVERIFY(!shown(program, "BUTTON11"));
    QCOMPARE(comboItems(app, app.COMBO2), QStringList({ "分類 1" }));
}

void TestCategories::missingFolderPassesOnTheSecondFinish()
{
    TestProgram program;
    const QString image = program.path(QStringLiteral("photo.BMP"));
    writeImage(image, 1, 24, 16);
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    selectRow(program, 6);
    clickValidBox(program);
    typeInto(program, "EDIT6", QStringLiteral("/nonexistent/velmora/"));
    program.dialogs().answerOpenFile(image);
    click(program, "BUTTON6");

    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(
        program.dialogs().messages().first().title, QStringLiteral("保存先エラー　[/nonexistent/velmora/]"));
    QVERIFY(shown(program, "FORM2"));
    QCOMPARE(text(program, app.EDIT6), program.dir() + kSep);

    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().messages().size(), 1);
    QVERIFY(!shown(program, "FORM2"));
    QCOMPARE(app.CatFolder[7], program.dir() + kSep);
    QCOMPARE(app.CurCat, int16_t(7));
}

// With no settings file the load path is the working folder without a separator at its end; the
// first name of the default sequence (CG, 1, 3 digits, zero fill, no extension) is still found
// inside that folder.
void TestCategories::sequenceFromTheDefaultLoadPath()
{
    TestProgram program;
    writeImage(program.path(QStringLiteral("CG001")), 4, 17, 9);
    program.start();
    App& app = program.app();
    QCOMPARE(app.LoadPath, program.dir());
    click(program, "BUTTON5");
    clickValidBox(program);
    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().calls().size(), 0);
    QCOMPARE(app.CurrentFilePath, program.path(QStringLiteral("CG001")));
    QCOMPARE(app.ImageWidth, 17.0f);
    QCOMPARE(app.LoadPath, program.dir() + kSep);
}

// "登録終了" reads the source fields back as the user corrected them. A first file that does not
// exist is reported; the window closes all the same and trimming stays off.
void TestCategories::correctedFieldsChooseTheFirstFile()
{
    TestProgram program;
    for (int n = 1; n <= 3; ++n)
        writeImage(
            program.path(QStringLiteral("IMG%1.BMP").arg(n, 3, 10, QLatin1Char('0'))), n, 20 + n, 10 + n);
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    clickValidBox(program);
    program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG001.BMP")));
    click(program, "BUTTON7");
    typeInto(program, "EDIT3", QStringLiteral("5"));
    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(messageLines(program.dialogs()),
        QStringList { QStringLiteral("IMG005.BMP|ロードするファイル名の構成に誤りがあります|0") });
    QVERIFY(!shown(program, "FORM2"));
    QCOMPARE(app.LoadFailed, int16_t(1));
    QVERIFY(!enabled(program, "BUTTON2"));
    QVERIFY(app.CurrentFilePath.isEmpty());

    click(program, "BUTTON5");
    typeInto(program, "EDIT3", QStringLiteral("3"));
    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().messages().size(), 1);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG003.BMP"));
    QCOMPARE(app.SeqNumber, 3.0);
    QCOMPARE(app.ImageWidth, 23.0f);
    QVERIFY(enabled(program, "BUTTON2"));
}

// A sequence file that exists but cannot be read: the image shown before comes back, with its
// title, and the sequence keeps its own extension for the next number.
void TestCategories::failedSequenceLoadKeepsTheImageAndExtension()
{
    TestProgram program;
    const QString shownBefore = program.path(QStringLiteral("before.bmp"));
    writeImage(shownBefore, 2, 15, 12);
    writeBytes(program.path(QStringLiteral("S02.JPG")), "no picture here");
    program.start();
    App& app = program.app();
    click(program, "BUTTON5");
    clickValidBox(program);
    program.dialogs().answerOpenFile(shownBefore);
    click(program, "BUTTON6");
    program.dialogs().answerOpenFile(program.path(QStringLiteral("S02.JPG")));
    click(program, "BUTTON7");
    const QString titleBefore = text(program, app.MAINFORM);

    program.dialogs().clearCalls();
    program.dialogs().answerMessage();
    click(program, "BUTTON8");
    QCOMPARE(program.dialogs().messages().size(), 1);
    QCOMPARE(program.dialogs().messages().first().owner, QStringLiteral("MAINFORM"));
    QCOMPARE(app.LoadFailed, int16_t(1));
    QCOMPARE(app.CurrentFilePath, shownBefore);
    QCOMPARE(app.ImageWidth, 15.0f);
    QCOMPARE(text(program, app.MAINFORM), titleBefore);
    QCOMPARE(app.SeqExt, QStringLiteral(".JPG"));
}

QTEST_MAIN(TestCategories)
#include "tst_categories.moc"
