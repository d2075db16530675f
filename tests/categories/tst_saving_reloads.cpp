#include "categories/SavingSupport.h"
#include "core/StateCodes.h"
#include "fixture/Files.h"
#include "fixture/Readers.h"
#include "fixture/UserActions.h"

#include <QFile>
#include <QTest>

// The ways a user gets from one image to another.
enum class Step { DirectFile, SequenceStep, FolderListStep };
Q_DECLARE_METATYPE(Step)

// A save that shows the same image again, and a load that finds nothing to show.
class TestSavingReloads : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void singleFileSavesAndReloads();
    void saveThenReloadKeepsTheImage();
    void loadWithNothingToReturnToShowsNothing_data();
    void loadWithNothingToReturnToShowsNothing();
};

void TestSavingReloads::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// A single file: "保存実行" saves the frame placed with the mouse and shows the same file again.
void TestSavingReloads::singleFileSavesAndReloads()
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
void TestSavingReloads::saveThenReloadKeepsTheImage()
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

void TestSavingReloads::loadWithNothingToReturnToShowsNothing_data()
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
void TestSavingReloads::loadWithNothingToReturnToShowsNothing()
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

QTEST_MAIN(TestSavingReloads)
#include "tst_saving_reloads.moc"
