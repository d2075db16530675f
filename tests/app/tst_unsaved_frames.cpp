#include "app/WorkflowSupport.h"
#include "core/App.h"
#include "fixture/Readers.h"

#include <QTest>

// Frames a save would write are not dropped without a question: not by a new magnification, nor by
// closing; the frames of an invalid category count as none.
class TestUnsavedFrames : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void magnificationByKeyOrWheelAsksBeforeDroppingFrames_data();
    void magnificationByKeyOrWheelAsksBeforeDroppingFrames();
    void closingWithUnsavedFramesAsksFirst_data();
    void closingWithUnsavedFramesAsksFirst();
    void framesOfAnInvalidCategoryCountAsNoFramesPlaced_data();
    void framesOfAnInvalidCategoryCountAsNoFramesPlaced();
};

void TestUnsavedFrames::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestUnsavedFrames::magnificationByKeyOrWheelAsksBeforeDroppingFrames_data()
{
    QTest::addColumn<bool>("byWheel");
    QTest::addColumn<bool>("framePlaced");
    QTest::addColumn<int>("answer"); // 0: no question expected
    QTest::addColumn<int>("entry"); // the magnification entry afterwards: 等倍, or one step smaller, ×0.9
    // clang-format off
    QTest::newRow("key, no frame")        << false << false << 0                          << 3;
    QTest::newRow("wheel, no frame")      << true  << false << 0                          << 3;
    QTest::newRow("key, frame, no")       << false << true  << int(MessageAnswer::No)     << 0;
    QTest::newRow("wheel, frame, yes")    << true  << true  << int(MessageAnswer::Yes)    << 3;
    // clang-format on
}

void TestUnsavedFrames::magnificationByKeyOrWheelAsksBeforeDroppingFrames()
{
    QFETCH(bool, byWheel);
    QFETCH(bool, framePlaced);
    QFETCH(int, answer);
    QFETCH(int, entry);
    Registered scene;
    App& app = scene.app();
    if (framePlaced) scene.place(20, 20, 120, 90);
    if (answer) scene.program.dialogs().answerMessage(answer);
    if (byWheel)
        scene.wheel(QPoint(0, -1), Qt::ControlModifier);
    else
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Minus));
    QCOMPARE(scene.program.dialogs().messages().size(), answer ? 1 : 0);
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), entry);
    QCOMPARE(app.CatFrameCount[1], framePlaced && entry == 0 ? 1 : 0);
    // One step back up: 等倍 again.
    if (entry != 0) {
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Equal));
        QCOMPARE(app.rt.GetCurSel(app.COMBO5), 0);
    }
}

void TestUnsavedFrames::closingWithUnsavedFramesAsksFirst_data()
{
    QTest::addColumn<bool>("framePlaced");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ended");
    // clang-format off
    QTest::newRow("no frame: no question") << false << 0                       << true;
    QTest::newRow("frame, no")             << true  << int(MessageAnswer::No)  << false;
    QTest::newRow("frame, yes")            << true  << int(MessageAnswer::Yes) << true;
    // clang-format on
}

void TestUnsavedFrames::closingWithUnsavedFramesAsksFirst()
{
    QFETCH(bool, framePlaced);
    QFETCH(int, answer);
    QFETCH(bool, ended);
    Registered scene;
    App& app = scene.app();
    if (framePlaced) scene.place(20, 20, 120, 90);
    if (answer) scene.program.dialogs().answerMessage(answer);
    closeMainWindow(scene.program);
    QCOMPARE(app.rt.Ended(), ended);
    QCOMPARE(scene.program.dialogs().messages().size(), answer ? 1 : 0);
    if (answer) {
        QCOMPARE(scene.program.dialogs().messages().first().text,
            QStringLiteral("保存していない枠があります。終了しますか？"));
        QCOMPARE(scene.program.dialogs().messages().first().buttons, int(MessageButtons::YesNo));
    }
    QCOMPARE(QFile::exists(scene.program.path(QStringLiteral("KANKYO.TXT"))), ended);
    if (!ended) QCOMPARE(app.CatFrameCount[1], 1); // everything as it was
}

void TestUnsavedFrames::framesOfAnInvalidCategoryCountAsNoFramesPlaced_data()
{
    QTest::addColumn<int>("invalidated"); // the category made invalid; the frame is in category 1
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("framesPlaced"); // the frame counts as placed
    // clang-format off
    QTest::newRow("frame in the invalid category: drop")          << 1 << "drop"    << false;
    QTest::newRow("frame in the invalid category: close")         << 1 << "close"   << false;
    QTest::newRow("frame in the invalid category: magnification") << 1 << "magnify" << false;
    QTest::newRow("frame in a valid category: drop")              << 2 << "drop"    << true;
    QTest::newRow("frame in a valid category: close")             << 2 << "close"   << true;
    QTest::newRow("frame in a valid category: magnification")     << 2 << "magnify" << true;
    // clang-format on
}

// A frame left in a category made invalid in the registration window (where "登録終了" could not
// load the source, so the frames stayed) is neither shown nor saved: it keeps no drop out, and
// neither closing nor a new magnification asks for it. A frame a save would write does, as ever.
void TestUnsavedFrames::framesOfAnInvalidCategoryCountAsNoFramesPlaced()
{
    QFETCH(int, invalidated);
    QFETCH(QString, action);
    QFETCH(bool, framesPlaced);
    Registered scene;
    App& app = scene.app();
    writeDropSources(scene.program);
    scene.place(20, 20, 120, 90);
    click(scene.program, "BUTTON5");
    selectRow(scene.program, invalidated - 1);
    clickValidBox(scene.program);
    QVERIFY(QFile::remove(scene.program.path(QStringLiteral("IMG001.BMP"))));
    scene.program.dialogs().answerMessage();
    click(scene.program, "BUTTON8");
    QVERIFY(!shown(scene.program, "FORM2"));
    QCOMPARE(app.CatValid[size_t(invalidated)], kFlagClear);
    QCOMPARE(app.CatFrameCount[1], 1);
    scene.program.dialogs().clearCalls();

    if (framesPlaced && action != QLatin1String("drop"))
        scene.program.dialogs().answerMessage(MessageAnswer::No);
    if (action == QLatin1String("drop")) {
        QVERIFY(dropOnPicture(scene.program, scene.program.path(QStringLiteral("one/single.BMP"))));
        QCOMPARE(
            app.CurrentFileName, framesPlaced ? QStringLiteral("IMG001.BMP") : QStringLiteral("single.BMP"));
        QCOMPARE(app.rt.ShownNote().isEmpty(), !framesPlaced);
    } else if (action == QLatin1String("close")) {
        closeMainWindow(scene.program);
        QCOMPARE(app.rt.Ended(), !framesPlaced);
    } else {
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Minus));
        QCOMPARE(app.rt.GetCurSel(app.COMBO5), framesPlaced ? 0 : 3);
    }
    QCOMPARE(
        scene.program.dialogs().messages().size(), framesPlaced && action != QLatin1String("drop") ? 1 : 0);
    if (framesPlaced) QCOMPARE(app.CatFrameCount[1], 1);
}

QTEST_MAIN(TestUnsavedFrames)
#include "tst_unsaved_frames.moc"
