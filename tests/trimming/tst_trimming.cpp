#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "fixture/UserActions.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "trimming/TrimmingStates.h"
#include "view/Magnification.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

constexpr QRgb kHighlightMask = 0x808080u;
constexpr QRgb kListMask = 0x008000u;

QRgb rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

QSet<QPoint> linePixels(int x1, int y1, int x2, int y2)
{
    QSet<QPoint> points;
    for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
        for (int x = std::min(x1, x2); x <= std::max(x1, x2); ++x)
            points.insert(QPoint(x, y));
    return points;
}

// Pixels that an odd number of the given lines cover: what exclusive-or lines leave changed.
QSet<QPoint> xorOf(const QList<QSet<QPoint>>& lines)
{
    QSet<QPoint> result;
    for (const QSet<QPoint>& line : lines)
        for (const QPoint& p : line) {
            if (result.contains(p))
                result.remove(p);
            else
                result.insert(p);
        }
    return result;
}

// What the band edges named by the mask leave changed on the picture.
QSet<QPoint> bandPixels(const App& app)
{
    const int l = int(app.BandLeft), t = int(app.BandTop), r = int(app.BandRight), b = int(app.BandBottom);
    QList<QSet<QPoint>> lines;
    const Qt::Edges edges = bandEdges(app.BandEdgeMask);
    if (edges & Qt::TopEdge) lines << linePixels(l, t, r, t);
    if (edges & Qt::LeftEdge) lines << linePixels(l, t, l, b);
    if (edges & Qt::RightEdge) lines << linePixels(r, t, r, b);
    if (edges & Qt::BottomEdge) lines << linePixels(l, b, r, b);
    return xorOf(lines);
}

} // namespace

class TestTrimming : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void placing_data();
    void placing();
    void pressDragReleaseLeavesSecondCornerPending();
    void frameLimit();
    void hoverAndGrab_data();
    void hoverAndGrab();
    void reshapeClamps_data();
    void reshapeClamps();
    void panning_data();
    void panning();
    void panningWithACoarseBarStaysInTheView();
    void bandMask_data();
    void bandMask();
    void bandDrawnTwiceLeavesPicture();
    void sharedPixelsOfTwoFramesCancel();
    void penColours();
    void xorBookkeeping_data();
    void xorBookkeeping();
    void controlSets();
    void deleteKeepsOrderAndSelectsLast();
    void deleteOnlyFrame();
    void scrollPutsDownPickedUpEdge();
    void cancelShowsFramesAgain();
    void categorySwitchKeepsFrames();
    void bandAfterScrollWhilePlacing_data();
    void bandAfterScrollWhilePlacing();
    void noBandBeforeFirstCorner();
    void editButtonsWhilePlacing_data();
    void editButtonsWhilePlacing();
    void relayoutForgetsAllFrames_data();
    void relayoutForgetsAllFrames();
    void inputOnDisabledControlsDoesNothing_data();
    void inputOnDisabledControlsDoesNothing();
    void doubleClickActsAsTwoClicks_data();
    void doubleClickActsAsTwoClicks();
    void everyTrimmingSituationCanBeLeft();
};

void TestTrimming::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestTrimming::placing_data()
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

void TestTrimming::placing()
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

void TestTrimming::pressDragReleaseLeavesSecondCornerPending()
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

void TestTrimming::frameLimit()
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

void TestTrimming::hoverAndGrab_data()
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

void TestTrimming::hoverAndGrab()
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

void TestTrimming::reshapeClamps_data()
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

void TestTrimming::reshapeClamps()
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

void TestTrimming::panning_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<bool>("hbar");
    QTest::addColumn<bool>("vbar");
    // clang-format off
    QTest::newRow("both bars") << QSize(1100, 700) << true << true;
    QTest::newRow("horizontal bar only") << QSize(1100, 150) << true << false;
    QTest::newRow("vertical bar only") << QSize(150, 700) << false << true;
    QTest::newRow("no bar") << QSize(150, 150) << false << false;
    // clang-format on
}

void TestTrimming::panning()
{
    QFETCH(QSize, image);
    QFETCH(bool, hbar);
    QFETCH(bool, vbar);
    Scene scene(image.width(), image.height());
    App& app = scene.app();
    QCOMPARE(bool(app.rt.IsWindowVisible(app.HSCROLL1)), hbar);
    QCOMPARE(bool(app.rt.IsWindowVisible(app.VSCROLL1)), vbar);
    const float excessX = hbar ? app.ViewWidth - float(app.VisibleWidth) : 0;
    const float excessY = vbar ? app.ViewHeight - float(app.VisibleHeight) : 0;

    // Every drag starts on the picture, which is only as large as the view where the view is
    // smaller than the area; the pointer may leave the picture while the button is held.
    // Pointer left and up: the origin moves right and down by as much, up to the far end.
    scene.drag(160, 160, 10, 40, Qt::RightButton);
    QCOMPARE(app.ViewOriginX, std::min(150.0f, excessX));
    QCOMPARE(app.ViewOriginY, std::min(120.0f, excessY));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    // Far the other way: stops at 0.
    scene.drag(10, 40, 170, 170, Qt::RightButton);
    QCOMPARE(app.ViewOriginX, 0.0f);
    QCOMPARE(app.ViewOriginY, 0.0f);
    // Far again: stops where the view's far edge meets the picture's.
    scene.drag(160, 160, -400, -400, Qt::RightButton);
    scene.drag(160, 160, -400, -400, Qt::RightButton);
    QCOMPARE(app.ViewOriginX, excessX);
    QCOMPARE(app.ViewOriginY, excessY);
    if (hbar) QCOMPARE(scene.bar("HSCROLL1")->value(), int(excessX));
    if (vbar) QCOMPARE(scene.bar("VSCROLL1")->value(), int(excessY));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    QCOMPARE(app.TrimState, TrimState::Idle); // the right button never starts trimming
}

// A view wider than the bar can count in pixels is spread over coarse bar positions; where
// the unit rounds down, a position computed from the origin could pass the bar's end.
void TestTrimming::panningWithACoarseBarStaysInTheView()
{
    Scene scene(34780, 100);
    App& app = scene.app();
    QVERIFY(app.rt.IsWindowVisible(app.HSCROLL1));
    QVERIFY(float(std::lround(app.HScrollUnit)) < app.HScrollUnit);
    const float lastOrigin = app.ViewWidth - float(app.VisibleWidth);
    scene.scrollTo("HSCROLL1", app.HScrollMax - 10);
    scene.drag(700, 50, 500, 50, Qt::RightButton);
    QCOMPARE(app.ViewOriginX, lastOrigin);
    QVERIFY(app.HScrollPos <= app.HScrollMax);
    QCOMPARE(scene.bar("HSCROLL1")->value(), int(app.HScrollPos));
    // Placing a frame repaints from the bar position: the view stays within its end.
    scene.place(100, 20, 200, 60);
    QVERIFY(app.ViewOriginX <= lastOrigin);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestTrimming::bandMask_data()
{
    QTest::addColumn<QRectF>("frame");
    QTest::addColumn<Qt::Edges>("shown");
    QTest::addColumn<QRectF>("band");
    QTest::addColumn<QList<QLine>>("lines");
    // Visible part of the view: (100, 50) to (499, 349). The band of every kind of frame is the
    // table of tst_geometry; here the lines drawn on the picture are checked.
    // clang-format off
    QTest::newRow("left and bottom outside") << QRectF(QPointF(50, 80), QPointF(300, 400)) << (Qt::TopEdge | Qt::RightEdge) << QRectF(QPointF(0, 30), QPointF(200, 299)) << QList<QLine> { QLine(0, 30, 200, 30), QLine(200, 30, 200, 299) };
    QTest::newRow("left edge outside") << QRectF(QPointF(50, 80), QPointF(300, 200)) << (Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge) << QRectF(QPointF(0, 30), QPointF(200, 150)) << QList<QLine> { QLine(0, 30, 200, 30), QLine(200, 30, 200, 150), QLine(0, 150, 200, 150) };
    QTest::newRow("exceeds every side") << QRectF(QPointF(50, 20), QPointF(600, 400)) << Qt::Edges() << QRectF() << QList<QLine> {};
    // clang-format on
}

void TestTrimming::bandMask()
{
    QFETCH(QRectF, frame);
    QFETCH(Qt::Edges, shown);
    QFETCH(QRectF, band);
    QFETCH(QList<QLine>, lines);
    Scene scene(1000, 800, 800, 450);
    App& app = scene.app();
    app.VisibleLeft = 100;
    app.VisibleTop = 50;
    app.VisibleRight = 499;
    app.VisibleBottom = 349;
    app.TrimState = TrimState::Placing;
    app.BandDrawn = kFlagClear;
    // The anchor is the bottom-right corner: the computation orders a copy only.
    app.SelX1 = float(frame.right());
    app.SelY1 = float(frame.bottom());
    app.SelX2 = float(frame.left());
    app.SelY2 = float(frame.top());
    const QImage before = picture(app).copy();

    P1BOX_SUB(app);
    QCOMPARE(bandEdges(app.BandEdgeMask), shown);
    QCOMPARE(app.SelX1, float(frame.right()));
    QCOMPARE(app.SelY2, float(frame.top()));
    QCOMPARE(app.BandDrawn, shown ? kFlagSet : kFlagClear);
    if (shown)
        QCOMPARE(QRectF(QPointF(app.BandLeft, app.BandTop), QPointF(app.BandRight, app.BandBottom)), band);
    QList<QSet<QPoint>> drawn;
    for (const QLine& line : lines)
        drawn << linePixels(line.x1(), line.y1(), line.x2(), line.y2());
    const QSet<QPoint> changed = differences(picture(app), before);
    QCOMPARE(changed, xorOf(drawn));
    for (const QPoint& p : changed)
        QCOMPARE(rgb(picture(app), p.x(), p.y()), rgb(before, p.x(), p.y()) ^ kHighlightMask);
}

void TestTrimming::bandDrawnTwiceLeavesPicture()
{
    Scene scene;
    App& app = scene.app();
    scene.click(40, 30);
    scene.move(200, 150);
    const QImage withBand = picture(app).copy();
    P1LINE_SUB(app);
    QCOMPARE(app.BandDrawn, kFlagClear);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    P1BOX_SUB(app);
    QCOMPARE(picture(app), withBand);
    P1BOX_SUB(app);
    QCOMPARE(app.BandDrawn, kFlagClear);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestTrimming::sharedPixelsOfTwoFramesCancel()
{
    Scene scene;
    App& app = scene.app();
    scene.place(20, 30, 100, 80);
    scene.place(100, 80, 180, 140);
    scene.place(200, 150, 250, 200); // selected: the first two are drawn with the list pen
    QCOMPARE(rgb(view(app), 100, 80), rgb(scene.clean, 100, 80));
    QCOMPARE(rgb(view(app), 100, 79), rgb(scene.clean, 100, 79) ^ kListMask);
    QCOMPARE(rgb(view(app), 101, 80), rgb(scene.clean, 101, 80) ^ kListMask);
    QCOMPARE(rgb(view(app), 200, 150), rgb(scene.clean, 200, 150) ^ kHighlightMask);
}

void TestTrimming::penColours()
{
    // The highlight pen moves every channel of any pixel, mid-grey included, by half its range;
    // the list pen moves green alike and leaves a result far from the highlight pen's.
    auto distance = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    };
    for (QRgb pixel : { 0x000000u, 0xFFFFFFu, 0x808080u, 0x7F7F7Fu, 0x8080FFu, 0x123456u }) {
        const QRgb highlight = pixel ^ (penColour(Pen::Default, DrawMode::Xor) & 0xFFFFFFu);
        const QRgb list = pixel ^ (penColour(Pen::Second, DrawMode::Xor) & 0xFFFFFFu);
        QCOMPARE(distance(highlight, pixel), 384);
        QCOMPARE(distance(list, pixel), 128);
        QCOMPARE(distance(highlight, list), 256);
    }
    QCOMPARE(penColour(Pen::Default, DrawMode::Normal) & 0xFFFFFFu, 0u);
}

void TestTrimming::xorBookkeeping_data()
{
    QTest::addColumn<QString>("steps");
    // clang-format off
    QTest::newRow("one frame") << "place 20 30 120 90";
    QTest::newRow("three frames") << "place 20 30 120 90 | place 60 50 200 160 | place 210 20 300 100";
    QTest::newRow("cancel before the first corner") << "place 20 30 120 90 | trim | trim";
    QTest::newRow("cancel after the first corner") << "place 20 30 120 90 | place 40 40 90 90 | click 150 150 | move 250 200 | trim";
    QTest::newRow("zero-width release, then a frame") << "place 20 30 120 90 | click 50 50 | move 50 120 | click 50 120 | move 140 130 | click 140 130";
    QTest::newRow("select with the mouse") << "place 20 30 120 90 | place 60 50 200 160 | place 210 20 300 100 | choose 0 | choose 1";
    QTest::newRow("select from the keyboard") << "place 20 30 120 90 | place 60 50 200 160 | place 210 20 300 100 | key 0 | key 1 | choose 2 | key 0";
    QTest::newRow("modify edges and corners") << "place 20 30 220 130 | place 60 50 200 160 | choose 0 | modify | move 20 80 | press 20 80 | release 20 80 | move 60 85 | press 60 85 | move 220 130 | press 220 130 | move 260 170 | press 260 170 | modify";
    QTest::newRow("modify then select another") << "place 20 30 220 130 | place 60 50 200 160 | choose 0 | modify | move 220 80 | press 220 80 | move 250 80 | press 250 80 | modify | choose 1";
    QTest::newRow("delete the middle frame") << "place 20 30 120 90 | place 60 50 200 160 | place 210 20 300 100 | choose 1 | delete";
    QTest::newRow("delete everything") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | delete | choose 0 | delete";
    QTest::newRow("category switch and back") << "place 20 30 120 90 | place 60 50 200 160 | category 1 | place 30 40 150 150 | category 0 | place 100 100 180 180 | category 1 | category 0";
    QTest::newRow("scroll while placing") << "place 20 30 120 90 | click 150 150 | move 200 180 | hscroll 80 | move 250 200 | click 250 200";
    QTest::newRow("scroll while modifying") << "place 20 30 220 130 | choose 0 | modify | move 220 80 | press 220 80 | move 240 90 | vscroll 40 | move 200 60 | hscroll 30 | move 150 60 | press 150 60 | modify";
    QTest::newRow("pan while placing") << "place 20 30 120 90 | click 150 150 | move 200 180 | pan 200 180 150 120 | move 250 200 | click 250 200";
    QTest::newRow("corner button and press from a chosen frame") << "place 20 30 120 90 | place 60 50 200 160 | choose 0 | corner | place 30 30 80 80 | corner";
    // clang-format on
}

// Whatever the user did, erasing the frames of the current category leaves the view exactly
// as a rebuild makes it: every exclusive-or figure was drawn an even number of times.
void TestTrimming::xorBookkeeping()
{
    QFETCH(QString, steps);
    Scene scene;
    App& app = scene.app();
    scene.run(steps);
    QCOMPARE(app.TrimState, TrimState::Idle);
    BOX2_SUB(app);
    const QSet<QPoint> stray = differences(view(app), scene.clean);
    QVERIFY2(stray.isEmpty(),
        qPrintable(QStringLiteral("%1 stray pixels, first at (%2, %3)")
                       .arg(stray.size())
                       .arg(stray.isEmpty() ? 0 : stray.begin()->x())
                       .arg(stray.isEmpty() ? 0 : stray.begin()->y())));
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    BAI_SUB(app);
    QCOMPARE(view(app), scene.clean);
}

void TestTrimming::controlSets()
{
    Scene scene;
    App& app = scene.app();
    const QList<Control> all { app.BUTTON2, app.BUTTON3, app.BUTTON4, app.BUTTON5, app.BUTTON9, app.BUTTON11,
        app.BUTTON12, app.COMBO1, app.COMBO2, app.COMBO5 };
    auto usable = [&](const QList<Control>& expected, const char* situation) {
        for (Control control : all)
            QVERIFY2(app.rt.IsWindowEnabled(control) == (expected.contains(control) ? kTrue : kFalse),
                qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(situation), app.rt.NameOf(control))));
    };
    const int normalFont = app.rt.GetFontSize(app.BUTTON3);
    const QList<Control> normal { app.BUTTON2, app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12,
        app.COMBO2, app.COMBO5 };
    usable(normal, "normal without frames");

    scene.button("BUTTON2");
    QCOMPARE(app.TrimState, TrimState::Armed);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング中止"));
    usable({ app.BUTTON2 }, "placing");
    scene.click(30, 30);
    scene.click(90, 90);
    usable(normal + QList<Control> { app.COMBO1 }, "normal with a frame");

    scene.chooseFrame(0);
    usable({ app.COMBO1, app.BUTTON3, app.BUTTON4 }, "frame chosen");
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON1), kTrue);

    scene.button("BUTTON3");
    QCOMPARE(app.TrimState, TrimState::Modifying);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON3), QStringLiteral("修正完了"));
    QVERIFY(app.rt.GetFontSize(app.BUTTON3) < normalFont);
    usable({ app.BUTTON3 }, "modifying");
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON1), kFalse);
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), MousePointer::Default);
    scene.move(150, 150);
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), MousePointer::Modify);

    scene.button("BUTTON3");
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON3), QStringLiteral("修正"));
    QCOMPARE(app.rt.GetFontSize(app.BUTTON3), normalFont);
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), MousePointer::Default);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON1), kTrue);
    usable(normal + QList<Control> { app.COMBO1 }, "normal after modifying");

    // A press on the picture while a frame is chosen still starts trimming; the chosen-frame
    // buttons stay as they were, and recording re-enables only the placing set.
    scene.chooseFrame(0);
    scene.click(120, 120);
    QCOMPARE(app.TrimState, TrimState::Placing);
    usable({ app.BUTTON3, app.BUTTON4 }, "placing from a chosen frame");
    scene.click(170, 170);
    usable({ app.BUTTON3, app.BUTTON4, app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12, app.COMBO1,
               app.COMBO2, app.COMBO5 },
        "recorded from a chosen frame");
}

void TestTrimming::deleteKeepsOrderAndSelectsLast()
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

void TestTrimming::deleteOnlyFrame()
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

void TestTrimming::scrollPutsDownPickedUpEdge()
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

void TestTrimming::cancelShowsFramesAgain()
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

void TestTrimming::categorySwitchKeepsFrames()
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

void TestTrimming::relayoutForgetsAllFrames_data()
{
    QTest::addColumn<QString>("relayout");
    // clang-format off
    QTest::newRow("magnification") << "magnification";
    QTest::newRow("window resize") << "resize";
    QTest::newRow("new image") << "image";
    // clang-format on
}

void TestTrimming::relayoutForgetsAllFrames()
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

void TestTrimming::bandAfterScrollWhilePlacing_data()
{
    QTest::addColumn<QString>("scroll");
    // clang-format off
    QTest::newRow("horizontal bar") << "hscroll 80";
    QTest::newRow("vertical bar") << "vscroll 40";
    QTest::newRow("corner button") << "corner";
    // clang-format on
}

// The picture shows the view and the band of the working frame, nothing else.
void TestTrimming::bandAfterScrollWhilePlacing()
{
    QFETCH(QString, scroll);
    Scene scene;
    App& app = scene.app();
    scene.run(QStringLiteral("click 100 100 | move 200 180 | ") + scroll + QStringLiteral(" | move 250 200"));
    QCOMPARE(app.BandDrawn, kFlagSet);
    QVERIFY(bandEdges(app.BandEdgeMask));
    QCOMPARE(differences(shownPart(app), blockAtOrigin(app)), bandPixels(app));
}

// Trimming started by the button has no working frame until the first corner is set: a
// repaint then shows no band, not one made from the corners of the frame placed before.
void TestTrimming::noBandBeforeFirstCorner()
{
    Scene scene;
    App& app = scene.app();
    scene.run(QStringLiteral("place 20 30 120 90 | trim | hscroll 30 | move 200 150"));
    QCOMPARE(app.TrimState, TrimState::Armed);
    QCOMPARE(app.BandLeft, kNoBand);
    QCOMPARE(app.BandDrawn, kFlagClear);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
    scene.run(QStringLiteral("click 100 100 | move 200 150"));
    QCOMPARE(differences(shownPart(app), blockAtOrigin(app)), bandPixels(app));
}

void TestTrimming::editButtonsWhilePlacing_data()
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
void TestTrimming::editButtonsWhilePlacing()
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

namespace {

// The controls of the main window's strip, in the order situations list them.
constexpr const char* kStrip[] = { "BUTTON1", "BUTTON2", "BUTTON3", "BUTTON4", "BUTTON5", "BUTTON9",
    "BUTTON11", "BUTTON12", "COMBO1", "COMBO2", "COMBO5" };

bool usable(Scene& scene, const char* name)
{
    QWidget* control = scene.program.widget(QString::fromLatin1(name));
    return control->isVisible() && control->isEnabled();
}

// What the user is faced with: the trimming state, the frames of the current category, and
// which controls of the strip are usable under which captions.
QString situation(Scene& scene)
{
    App& a = scene.app();
    QString text = QStringLiteral("state %1, %2 frames |")
                       .arg(int(a.TrimState))
                       .arg(std::min(int(a.CatFrameCount[a.CurCat]), 2));
    for (const char* name : kStrip)
        if (usable(scene, name)) text += QLatin1Char(' ') + QLatin1String(name);
    return text
        + QStringLiteral(" | %1 %2").arg(a.rt.GetWindowText(a.BUTTON2), a.rt.GetWindowText(a.BUTTON3));
}

// The normal situation: nothing being placed or modified, and the controls of its set usable.
bool isNormal(Scene& scene)
{
    for (const char* name : { "BUTTON2", "BUTTON5", "BUTTON9", "COMBO2", "COMBO5" })
        if (!usable(scene, name)) return false;
    return scene.app().TrimState == TrimState::Idle && !usable(scene, "BUTTON3") && !usable(scene, "BUTTON4");
}

// Everything a disabled control could wrongly change.
struct Snapshot
{
    QString situation;
    QImage view, picture;
    float originX, originY;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(Scene& scene)
{
    App& a = scene.app();
    return { situation(scene), view(a), picture(a).copy(), a.ViewOriginX, a.ViewOriginY };
}

// Clicks the named control of the strip as a user does, whether it is usable or not.
void clickControl(Scene& scene, const char* name)
{
    if (QString::fromLatin1(name).startsWith(QLatin1String("COMBO"))) {
        openList(scene.combo(name));
        scene.program.runEvents();
        // A list that opened after all is closed again, as the user would.
        if (scene.combo(name)->view()->isVisible())
            QTest::keyClick(scene.combo(name)->view()->window()->windowHandle(), Qt::Key_Escape);
    } else {
        QTest::mouseClick(scene.program.widget(QString::fromLatin1(name)), Qt::LeftButton);
    }
    scene.program.runEvents();
}

// One step a user can take on the main window: its name, whether it is possible now, and
// the input it makes.
struct UserStep
{
    const char* name;
    std::function<bool(Scene&)> possible;
    std::function<void(Scene&)> take;
};

// A point on the left edge of the frame being modified, or else of the first frame.
QPoint onLeftEdge(Scene& scene)
{
    App& a = scene.app();
    const bool modifying = a.TrimState >= TrimState::Modifying;
    const float left = modifying ? std::min(a.SelX1, a.SelX2) : a.FrameLeft[0][a.CurCat];
    const float top = modifying ? a.SelY1 : a.FrameTop[0][a.CurCat];
    const float bottom = modifying ? a.SelY2 : a.FrameBottom[0][a.CurCat];
    return QPoint(int(left - a.ViewOriginX), int((top + bottom) / 2 - a.ViewOriginY));
}

bool onPicture(Scene& scene, QPoint point)
{
    return scene.pictureWidget()->rect().adjusted(2, 2, -2, -2).contains(point);
}

QList<UserStep> userSteps()
{
    auto button = [](const char* name) {
        return UserStep { name, [=](Scene& s) { return usable(s, name); },
            [=](Scene& s) { s.button(name); } };
    };
    auto pictureClick = [](const char* name, QPoint at) {
        return UserStep { name, [](Scene&) { return true; }, [=](Scene& s) { s.click(at.x(), at.y()); } };
    };
    auto otherEntry = [](const char* list, int entry, int otherwise) {
        return [=](Scene& s) {
            chooseEntry(s.program, list, s.combo(list)->currentIndex() == entry ? otherwise : entry);
        };
    };
    return {
        button("BUTTON1"),
        button("BUTTON2"),
        button("BUTTON3"),
        button("BUTTON4"),
        { "first frame", [](Scene& s) { return usable(s, "COMBO1"); }, [](Scene& s) { s.chooseFrame(0); } },
        { "last frame", [](Scene& s) { return usable(s, "COMBO1") && s.combo("COMBO1")->count() > 1; },
            [](Scene& s) { s.chooseFrame(s.combo("COMBO1")->count() - 1); } },
        { "other category", [](Scene& s) { return usable(s, "COMBO2"); }, otherEntry("COMBO2", 1, 0) },
        { "magnification", [](Scene& s) { return usable(s, "COMBO5"); }, otherEntry("COMBO5", 3, 4) },
        { "scroll", [](Scene& s) { return s.bar("HSCROLL1")->isVisible(); },
            [](Scene& s) {
                QScrollBar* bar = s.bar("HSCROLL1");
                QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 4, bar->height() / 2));
                s.program.runEvents();
            } },
        { "click on an edge",
            [](Scene& s) {
                return (s.app().TrimState >= TrimState::Modifying
                           || s.app().CatFrameCount[s.app().CurCat] > 0)
                    && onPicture(s, onLeftEdge(s));
            },
            [](Scene& s) {
                const QPoint at = onLeftEdge(s);
                s.click(at.x(), at.y());
            } },
        pictureClick("click at A", QPoint(200, 150)),
        pictureClick("click at B", QPoint(320, 230)),
    };
}

} // namespace

void TestTrimming::inputOnDisabledControlsDoesNothing_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("control"); // what the user clicks
    // The frame list while a frame is modified: taking it would make "削除" usable and leave a
    // modification that cannot be finished.
    // clang-format off
    QTest::newRow("frame list while modifying") << "place 20 30 120 90 | choose 0 | modify" << "COMBO1";
    QTest::newRow("delete while normal") << "place 20 30 120 90" << "BUTTON4";
    QTest::newRow("trimming button while a frame is chosen") << "place 20 30 120 90 | choose 0" << "BUTTON2";
    QTest::newRow("magnification while placing") << "place 20 30 120 90 | trim | click 50 50" << "COMBO5";
    QTest::newRow("save while modifying") << "place 20 30 120 90 | choose 0 | modify" << "BUTTON9";
    // Behind the registration window the whole main window is disabled.
    QTest::newRow("picture behind the registration window") << "place 20 30 120 90 | registration" << "PICTURE1";
    // clang-format on
}

void TestTrimming::inputOnDisabledControlsDoesNothing()
{
    QFETCH(QString, before);
    QFETCH(QString, control);
    Scene scene;
    scene.run(before);
    QVERIFY(!scene.program.widget(control)->isEnabled());
    const Snapshot unchanged = snapshot(scene);
    if (control == QLatin1String("PICTURE1")) {
        scene.run("click 200 150 | click 300 220 | pan 300 220 100 100");
        scene.doubleClickAt(250, 180);
    } else {
        clickControl(scene, qPrintable(control));
    }
    QCOMPARE(situation(scene), unchanged.situation);
    QVERIFY(snapshot(scene) == unchanged);
}

void TestTrimming::doubleClickActsAsTwoClicks_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<TrimState>("state"); // the trimming state after the double click
    QTest::addColumn<int>("frames");
    // clang-format off
    QTest::newRow("idle: first corner, then no size") << "" << QPoint(200, 150) << TrimState::Placing << 0;
    QTest::newRow("trimming started") << "trim" << QPoint(200, 150) << TrimState::Placing << 0;
    // The first click records the frame, the second starts the next one.
    QTest::newRow("first corner set") << "click 20 30 | move 120 90" << QPoint(120, 90) << TrimState::Placing << 1;
    // Picked up and put down again.
    QTest::newRow("modifying, on an edge") << "place 20 30 120 90 | choose 0 | modify" << QPoint(20, 60) << TrimState::Modifying << 1;
    QTest::newRow("modifying, edge picked up") << "place 20 30 120 90 | choose 0 | modify | click 20 60 | move 40 60" << QPoint(40, 60) << TrimState::Modifying << 1;
    // clang-format on
}

void TestTrimming::doubleClickActsAsTwoClicks()
{
    QFETCH(QString, before);
    QFETCH(QPoint, at);
    QFETCH(TrimState, state);
    QFETCH(int, frames);
    Scene twoClicks;
    twoClicks.run(before);
    twoClicks.click(at.x(), at.y());
    twoClicks.click(at.x(), at.y());
    Scene doubleClick;
    doubleClick.run(before);
    doubleClick.doubleClickAt(at.x(), at.y());
    App& app = doubleClick.app();
    QCOMPARE(app.TrimState, state);
    QCOMPARE(app.CatFrameCount[1], frames);
    QCOMPARE(situation(doubleClick), situation(twoClicks));
    QCOMPARE(QRectF(QPointF(app.SelX1, app.SelY1), QPointF(app.SelX2, app.SelY2)),
        QRectF(QPointF(twoClicks.app().SelX1, twoClicks.app().SelY1),
            QPointF(twoClicks.app().SelX2, twoClicks.app().SelY2)));
    QCOMPARE(picture(app), picture(twoClicks.app()));
    QCOMPARE(view(app), view(twoClicks.app()));
}

// In the situation the scene is in, a click on each disabled control of the strip changes nothing.
void clicksOnDisabledControlsChangeNothing(Scene& scene, const QString& here)
{
    for (const char* name : kStrip) {
        if (usable(scene, name) || !scene.program.widget(QString::fromLatin1(name))->isVisible()) continue;
        const Snapshot before = snapshot(scene);
        clickControl(scene, name);
        QVERIFY2(snapshot(scene) == before, qPrintable(here + QStringLiteral(" / ") + name));
    }
}

// Every situation from which one of `normal` can be reached, found backwards from them.
QSet<QString> situationsLeadingTo(const QSet<QString>& normal, const QHash<QString, QSet<QString>>& leadsTo)
{
    QSet<QString> canReturn = normal;
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = leadsTo.cbegin(); it != leadsTo.cend(); ++it)
            if (!canReturn.contains(it.key()) && it.value().intersects(canReturn)) {
                canReturn << it.key();
                grew = true;
            }
    }
    return canReturn;
}

// Walks every situation the trimming controls lead to, breadth first: in each, every step a
// user can take is taken from a fresh program that was led there. Then it shows that from every
// situation some usable steps lead back to the normal one. In each situation, a click on each
// disabled control of the strip changes nothing.
void TestTrimming::everyTrimmingSituationCanBeLeft()
{
    const QList<UserStep> steps = userSteps();
    auto replay = [&](Scene& scene, const QList<int>& path) {
        for (int step : path)
            steps[step].take(scene);
    };
    QHash<QString, QList<int>> pathTo; // a shortest way to each situation from the start
    QHash<QString, QSet<QString>> leadsTo;
    QSet<QString> normal;
    QList<QString> unexplored;
    auto arrive = [&](Scene& scene, const QList<int>& path) {
        const QString here = situation(scene);
        if (pathTo.contains(here)) return here;
        pathTo[here] = path;
        unexplored << here;
        if (isNormal(scene)) normal << here;
        clicksOnDisabledControlsChangeNothing(scene, here);
        return here;
    };
    {
        Scene scene;
        arrive(scene, {});
    }
    while (!unexplored.isEmpty() && !QTest::currentTestFailed()) {
        QVERIFY2(pathTo.size() < 100, "the situations do not close");
        const QString from = unexplored.takeFirst();
        // The steps possible here, seen on one program led here; that program takes the first of
        // them, and each other one is taken from a fresh program led here. One program at a time.
        auto scene = std::make_unique<Scene>();
        replay(*scene, pathTo[from]);
        QList<int> possible;
        for (int step = 0; step < steps.size(); ++step)
            if (steps[step].possible(*scene)) possible << step;
        for (int step : possible) {
            if (!scene) {
                scene = std::make_unique<Scene>();
                replay(*scene, pathTo[from]);
            }
            steps[step].take(*scene);
            leadsTo[from] << arrive(*scene, pathTo[from] + QList<int> { step });
            scene.reset();
        }
    }
    if (QTest::currentTestFailed()) return;

    const QSet<QString> canReturn = situationsLeadingTo(normal, leadsTo);
    for (auto it = pathTo.cbegin(); it != pathTo.cend(); ++it) {
        QStringList way;
        for (int step : it.value())
            way << QString::fromLatin1(steps[step].name);
        QVERIFY2(canReturn.contains(it.key()),
            qPrintable(QStringLiteral("no way out of \"%1\", reached by %2").arg(it.key(), way.join(", "))));
    }
    qInfo("%lld situations, %lld of them normal", qlonglong(pathTo.size()), qlonglong(normal.size()));
}

QTEST_MAIN(TestTrimming)
#include "tst_trimming.moc"
