#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "fixture/UserActions.h"
#include "trimming/TrimmingStates.h"
#include "trimming/TrimmingSupport.h"

#include <QTest>

// Frames placed with the mouse, deleted, kept per category, and forgotten when the view is laid out
// anew.
class TestPlacingFrames : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void placing_data();
    void placing();
    void pressDragReleaseLeavesSecondCornerPending();
    void frameLimit();
    void deleteKeepsOrderAndSelectsLast();
    void deleteOnlyFrame();
    void cancelShowsFramesAgain();
    void categorySwitchKeepsFrames();
    void relayoutForgetsAllFrames_data();
    void relayoutForgetsAllFrames();
};

void TestPlacingFrames::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestPlacingFrames::placing_data()
{
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("second");
    QTest::addColumn<int>("hscroll");
    QTest::addColumn<bool>("recorded");
    // clang-format off
    QTest::newRow("left to right") << QPoint(50, 40) << QPoint(150, 120) << 0 << true;
    QTest::newRow("right to left") << QPoint(150, 120) << QPoint(50, 40) << 0 << true;
    QTest::newRow("bottom to top") << QPoint(50, 120) << QPoint(150, 40) << 0 << true;
    QTest::newRow("one pixel") << QPoint(50, 40) << QPoint(51, 41) << 0 << true;
    QTest::newRow("scrolled view") << QPoint(50, 40) << QPoint(150, 120) << 70 << true;
    QTest::newRow("anchor row") << QPoint(50, 40) << QPoint(150, 40) << 0 << false;
    QTest::newRow("anchor column") << QPoint(50, 40) << QPoint(50, 120) << 0 << false;
    // clang-format on
}

void TestPlacingFrames::placing()
{
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    QFETCH(int, hscroll);
    QFETCH(bool, recorded);
    Scene scene;
    App& app = scene.app();
    if (hscroll) scene.scrollTo("HSCROLL1", hscroll);
    const QPointF origin(app.ViewOriginX, app.ViewOriginY);

    scene.click(first.x(), first.y());
    QCOMPARE(app.TrimState, TrimState::Placing);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング中止"));
    scene.move(second.x(), second.y());
    QCOMPARE(app.BandDrawn, kFlagSet);
    scene.click(second.x(), second.y());

    if (!recorded) {
        QCOMPARE(app.TrimState, TrimState::Placing);
        QCOMPARE(app.CatFrameCount[1], 0);
        QCOMPARE(scene.frameList(), QStringList());
        QCOMPARE(app.BandDrawn, kFlagSet); // the band stays and keeps following the pointer
        return;
    }
    const QRectF expected = QRectF(QPointF(first) + origin, QPointF(second) + origin).normalized();
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.CatFrameCount[1], 1);
    QCOMPARE(scene.frame(0), expected);
    QCOMPARE(scene.frameList(), QStringList { QStringLiteral("範囲1") });
    QCOMPARE(app.rt.GetCurSel(app.COMBO1), 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.COMBO1), kTrue);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    // The new frame is drawn highlighted into the view, and the picture shows the view
    // without any band left on it.
    const QPoint corner = expected.topLeft().toPoint();
    QCOMPARE(
        rgb(view(app), corner.x(), corner.y()), rgb(scene.clean, corner.x(), corner.y()) ^ kHighlightMask);
    QCOMPARE(differences(view(app), scene.clean).size(),
        expected.width() == 1 ? 4 : int(2 * (expected.width() + expected.height())));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestPlacingFrames::pressDragReleaseLeavesSecondCornerPending()
{
    Scene scene;
    App& app = scene.app();
    scene.press(60, 50);
    scene.move(90, 80, Qt::LeftButton);
    scene.move(160, 130, Qt::LeftButton);
    scene.release(160, 130);
    QCOMPARE(app.TrimState, TrimState::Placing);
    QCOMPARE(app.CatFrameCount[1], 0);
    // The band follows the pointer with no button held.
    scene.move(200, 170);
    QCOMPARE(app.BandLeft, 60.0f);
    QCOMPARE(app.BandBottom, 170.0f);
    QCOMPARE(app.BandDrawn, kFlagSet);
    scene.click(200, 170);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(scene.frame(0), QRectF(QPointF(60, 50), QPointF(200, 170)));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestPlacingFrames::frameLimit()
{
    Scene scene;
    App& app = scene.app();
    for (int i = 0; i < 50; ++i)
        scene.place(10 + i, 10, 20 + i, 20 + i);
    QCOMPARE(app.CatFrameCount[1], 50);
    QCOMPARE(scene.frameList().last(), QStringLiteral("範囲50"));

    scene.program.dialogs().clearCalls();
    scene.program.dialogs().answerMessage();
    scene.press(200, 200);
    scene.release(200, 200);
    scene.program.dialogs().answerMessage();
    scene.button("BUTTON2");
    const auto messages = scene.program.dialogs().messages();
    QCOMPARE(messages.size(), 2);
    for (const auto& message : messages) {
        QCOMPARE(message.title, QString());
        QCOMPARE(message.text, QStringLiteral("この分類の登録数が限界に達しました"));
        QCOMPARE(message.buttons, MessageButtons::Ok);
    }
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.CatFrameCount[1], 50);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 50);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    // The other category still takes frames.
    scene.chooseCategory(1);
    scene.place(30, 30, 80, 80);
    QCOMPARE(app.CatFrameCount[2], 1);
}

void TestPlacingFrames::deleteKeepsOrderAndSelectsLast()
{
    Scene scene;
    App& app = scene.app();
    const QList<QRectF> placed { QRectF(20, 20, 40, 40), QRectF(80, 20, 40, 40), QRectF(140, 20, 40, 40),
        QRectF(200, 20, 40, 40) };
    for (const QRectF& r : placed)
        scene.place(int(r.left()), int(r.top()), int(r.right()), int(r.bottom()));
    scene.chooseFrame(1);
    scene.button("BUTTON4");
    QCOMPARE(scene.frameList(),
        (QStringList { QStringLiteral("範囲1"), QStringLiteral("範囲2"), QStringLiteral("範囲3") }));
    QCOMPARE(app.rt.GetCurSel(app.COMBO1), 2);
    QCOMPARE(app.CatFrameCount[1], 3);
    QCOMPARE(scene.frame(0), placed[0]);
    QCOMPARE(scene.frame(1), placed[2]);
    QCOMPARE(scene.frame(2), placed[3]);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kTrue);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON4), kFalse);
    // The last frame is highlighted, the others drawn with the list pen, the deleted one gone.
    QCOMPARE(rgb(view(app), 200, 20), rgb(scene.clean, 200, 20) ^ kHighlightMask);
    QCOMPARE(rgb(view(app), 20, 20), rgb(scene.clean, 20, 20) ^ kListMask);
    QCOMPARE(rgb(view(app), 80, 20), rgb(scene.clean, 80, 20));
}

void TestPlacingFrames::deleteOnlyFrame()
{
    Scene scene;
    App& app = scene.app();
    scene.place(20, 20, 60, 60);
    scene.chooseFrame(0);
    scene.button("BUTTON4");
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.COMBO1), kFalse);
    QCOMPARE(app.CatFrameCount[1], 0);
    QCOMPARE(app.FrameListMode, FrameListMode::NotDrawn);
    QCOMPARE(view(app), scene.clean);
    // The next frame is number 1 again.
    scene.place(30, 30, 70, 70);
    QCOMPARE(scene.frameList(), QStringList { QStringLiteral("範囲1") });
}

void TestPlacingFrames::cancelShowsFramesAgain()
{
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 120, 90);
    scene.place(60, 50, 200, 160);
    QImage idle = view(app);
    scene.click(150, 150);
    scene.move(250, 200);
    scene.button("BUTTON2");
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.BandLeft, kNoBand);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    QCOMPARE(app.rt.GetCurSel(app.COMBO1), 1);
    QCOMPARE(view(app), idle);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestPlacingFrames::categorySwitchKeepsFrames()
{
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 120, 90);
    scene.place(60, 50, 200, 160);
    const QImage first = view(app);
    scene.chooseCategory(1);
    QCOMPARE(app.CurCat, int16_t(2));
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.COMBO1), kFalse);
    QCOMPARE(view(app), scene.clean);
    scene.place(30, 40, 150, 150);
    scene.chooseCategory(0);
    QCOMPARE(app.CurCat, int16_t(1));
    QCOMPARE(scene.frameList(), (QStringList { QStringLiteral("範囲1"), QStringLiteral("範囲2") }));
    QCOMPARE(app.rt.GetCurSel(app.COMBO1), 1);
    QCOMPARE(view(app), first);
    scene.chooseCategory(1);
    QCOMPARE(scene.frame(0, 2), QRectF(QPointF(30, 40), QPointF(150, 150)));
    QCOMPARE(app.rt.GetCurSel(app.COMBO1), 0);
}

void TestPlacingFrames::relayoutForgetsAllFrames_data()
{
    QTest::addColumn<QString>("relayout");
    // clang-format off
    QTest::newRow("magnification") << "magnification";
    QTest::newRow("window resize") << "resize";
    QTest::newRow("new image") << "image";
    // clang-format on
}

void TestPlacingFrames::relayoutForgetsAllFrames()
{
    QFETCH(QString, relayout);
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 120, 90);
    scene.chooseCategory(1);
    scene.place(30, 40, 150, 150);
    // Placing is under way, but where it disables the magnification list.
    if (relayout != QLatin1String("magnification")) scene.click(200, 200);
    if (relayout == QLatin1String("magnification")) {
        chooseEntry(scene.program, "COMBO5", 3);
    } else if (relayout == QLatin1String("resize")) {
        app.rt.SetWindowSize(
            app.MAINFORM, app.rt.GetWidth(app.MAINFORM) + 40, app.rt.GetHeight(app.MAINFORM));
        scene.program.runEvents();
    } else {
        showImage(app, patternImage(300, 200));
    }
    for (int category = 0; category <= kCategoryCount; ++category)
        QCOMPARE(app.CatFrameCount[category], 0);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.COMBO1), kFalse);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

QTEST_MAIN(TestPlacingFrames)
#include "tst_placing_frames.moc"
