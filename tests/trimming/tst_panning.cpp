#include "fixture/Images.h"
#include "fixture/Scene.h"

#include <QScrollBar>
#include <QTest>

// The view dragged with the right button, within its ends.
class TestPanning : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void panning_data();
    void panning();
    void panningWithACoarseBarStaysInTheView();
};

void TestPanning::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestPanning::panning_data()
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

void TestPanning::panning()
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
void TestPanning::panningWithACoarseBarStaysInTheView()
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

QTEST_MAIN(TestPanning)
#include "tst_panning.moc"
