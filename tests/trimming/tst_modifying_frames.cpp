#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingStates.h"
#include "trimming/TrimmingSupport.h"

#include <QTest>

// A chosen frame modified: the edge under the pointer grabbed, dragged within bounds and put down.
class TestModifyingFrames : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void hoverAndGrab_data();
    void hoverAndGrab();
    void reshapeClamps_data();
    void reshapeClamps();
    void scrollPutsDownPickedUpEdge();
    void editButtonsWhilePlacing_data();
    void editButtonsWhilePlacing();
};

void TestModifyingFrames::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestModifyingFrames::hoverAndGrab_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<Qt::Edges>("grabbed");
    QTest::addColumn<int>("shape");
    // The band of the frame placed at (20, 30) to (220, 130). Which edge a point takes is the
    // table of tst_geometry; here the widgets show each kind of pointer.
    // clang-format off
    QTest::newRow("near top-left corner") << QPoint(21, 29) << (Qt::TopEdge | Qt::LeftEdge) << MousePointer::ResizeCorner;
    QTest::newRow("below bottom edge") << QPoint(120, 131) << Qt::Edges(Qt::BottomEdge) << MousePointer::ResizeVertical;
    QTest::newRow("inside") << QPoint(120, 80) << Qt::Edges() << MousePointer::Modify;
    QTest::newRow("1 px above top edge") << QPoint(120, 29) << Qt::Edges(Qt::TopEdge) << MousePointer::ResizeVertical;
    QTest::newRow("right edge") << QPoint(221, 80) << Qt::Edges(Qt::RightEdge) << MousePointer::ResizeHorizontal;
    // clang-format on
}

void TestModifyingFrames::hoverAndGrab()
{
    QFETCH(QPoint, pointer);
    QFETCH(Qt::Edges, grabbed);
    QFETCH(int, shape);
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 220, 130);
    scene.chooseFrame(0);
    scene.button("BUTTON3");
    QCOMPARE(app.TrimState, TrimState::Modifying);
    scene.move(pointer.x(), pointer.y());
    QCOMPARE(app.BandLeft, 20.0f);
    QCOMPARE(app.BandTop, 30.0f);
    QCOMPARE(app.BandRight, 220.0f);
    QCOMPARE(app.BandBottom, 130.0f);
    QCOMPARE(grabbedEdges(app.GrabCode), grabbed);
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), shape);
    scene.press(pointer.x(), pointer.y());
    QCOMPARE(app.TrimState, grabbed ? TrimState::Dragging : TrimState::Modifying);
}

void TestModifyingFrames::reshapeClamps_data()
{
    QTest::addColumn<QPoint>("grab");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRectF>("expected");
    const QPointF tl(20, 30), br(220, 130);
    // clang-format off
    QTest::newRow("left edge moved") << QPoint(20, 80) << QPoint(50, 90) << QRectF(QPointF(50, 30), br);
    QTest::newRow("left past right") << QPoint(20, 80) << QPoint(300, 80) << QRectF(QPointF(210, 30), br);
    QTest::newRow("right past left") << QPoint(220, 80) << QPoint(0, 80) << QRectF(tl, QPointF(30, 130));
    QTest::newRow("top past bottom") << QPoint(120, 30) << QPoint(120, 250) << QRectF(QPointF(20, 120), br);
    QTest::newRow("bottom past top") << QPoint(120, 130) << QPoint(120, 0) << QRectF(tl, QPointF(220, 40));
    QTest::newRow("top-left corner past") << QPoint(20, 30) << QPoint(300, 250) << QRectF(QPointF(210, 120), br);
    QTest::newRow("top-right corner") << QPoint(220, 30) << QPoint(260, 10) << QRectF(QPointF(20, 10), QPointF(260, 130));
    QTest::newRow("bottom-left corner past") << QPoint(20, 130) << QPoint(250, 5) << QRectF(QPointF(210, 30), QPointF(220, 40));
    QTest::newRow("bottom-right corner past") << QPoint(220, 130) << QPoint(5, 5) << QRectF(tl, QPointF(30, 40));
    // clang-format on
}

void TestModifyingFrames::reshapeClamps()
{
    QFETCH(QPoint, grab);
    QFETCH(QPoint, to);
    QFETCH(QRectF, expected);
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 220, 130);
    scene.chooseFrame(0);
    scene.button("BUTTON3");
    QCOMPARE(app.rt.GetWindowText(app.BUTTON3), QStringLiteral("修正完了"));
    scene.move(grab.x(), grab.y());
    scene.press(grab.x(), grab.y());
    scene.release(grab.x(), grab.y());
    QCOMPARE(app.TrimState, TrimState::Dragging);
    scene.move((grab.x() + to.x()) / 2, (grab.y() + to.y()) / 2);
    scene.move(to.x(), to.y());
    QCOMPARE(QRectF(QPointF(app.SelX1, app.SelY1), QPointF(app.SelX2, app.SelY2)), expected);
    // The picture shows the view with exactly the band of the working frame on it.
    const QImage shown = shownPart(app);
    const int l = int(expected.left()), t = int(expected.top()), r = int(expected.right()),
              b = int(expected.bottom());
    const QSet<QPoint> band = xorOf(
        { linePixels(l, t, r, t), linePixels(l, t, l, b), linePixels(r, t, r, b), linePixels(l, b, r, b) });
    QCOMPARE(differences(shown, blockAtOrigin(app)), band);

    scene.press(to.x(), to.y()); // put down
    QCOMPARE(app.TrimState, TrimState::Modifying);
    scene.button("BUTTON3");
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON3), QStringLiteral("修正"));
    QCOMPARE(scene.frame(0), expected);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    QCOMPARE(rgb(view(app), l, t), rgb(scene.clean, l, t) ^ kHighlightMask);
    BOX2_SUB(app);
    QCOMPARE(view(app), scene.clean);
}

void TestModifyingFrames::scrollPutsDownPickedUpEdge()
{
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 220, 130);
    scene.chooseFrame(0);
    scene.button("BUTTON3");
    scene.move(20, 80);
    scene.press(20, 80);
    scene.move(60, 80);
    QCOMPARE(app.TrimState, TrimState::Dragging);
    scene.scrollTo("HSCROLL1", 25);
    QCOMPARE(app.TrimState, TrimState::Modifying);
    QCOMPARE(grabbedEdges(app.GrabCode), Qt::Edges());
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), MousePointer::Modify);
    QCOMPARE(app.SelX1, 60.0f);
    // The band is drawn where the edge was put down, at the new scroll position.
    QCOMPARE(app.BandDrawn, kFlagSet);
    QCOMPARE(app.BandLeft, 35.0f);
    const QImage block = blockAtOrigin(app);
    QCOMPARE(rgb(picture(app), 35, 80), rgb(block, 35, 80) ^ kHighlightMask);
    QCOMPARE(rgb(picture(app), 60, 80), rgb(block, 60, 80));
    // The pointer no longer drags the edge.
    scene.move(100, 80);
    QCOMPARE(app.SelX1, 60.0f);
}

void TestModifyingFrames::editButtonsWhilePlacing_data()
{
    QTest::addColumn<QString>("steps");
    // clang-format off
    QTest::newRow("modify") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | click 150 150 | move 250 200 | modify | modify";
    QTest::newRow("delete") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | click 150 150 | move 250 200 | delete";
    QTest::newRow("modify after recording") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | place 150 150 250 200 | modify | move 250 170 | press 250 170 | move 280 170 | press 280 170 | modify";
    QTest::newRow("delete after recording") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | place 150 150 250 200 | delete";
    // clang-format on
}

// A press on the picture while a frame is chosen starts placing with the modify and delete
// buttons still usable; using them then must not leave a frame drawn in the view.
void TestModifyingFrames::editButtonsWhilePlacing()
{
    QFETCH(QString, steps);
    Scene scene;
    App& app = scene.app();
    scene.run(steps);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    QCOMPARE(scene.frame(0), QRectF(QPointF(20, 30), QPointF(120, 90))); // the frame clicked is untouched
    BOX2_SUB(app);
    QCOMPARE(differences(view(app), scene.clean).size(), 0);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

QTEST_MAIN(TestModifyingFrames)
#include "tst_modifying_frames.moc"
