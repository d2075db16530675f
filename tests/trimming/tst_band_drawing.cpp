#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "trimming/FrameDrawing.h"
#include "trimming/TrimmingMode.h"
#include "trimming/TrimmingStates.h"
#include "trimming/TrimmingSupport.h"
#include "view/Magnification.h"

#include <QTest>

namespace {

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

// The band of the working frame and the frames drawn by exclusive-or: what they change on the
// picture, and that drawing them again takes them back.
class TestBandDrawing : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void bandMask_data();
    void bandMask();
    void bandDrawnTwiceLeavesPicture();
    void sharedPixelsOfTwoFramesCancel();
    void penColours();
    void xorBookkeeping_data();
    void xorBookkeeping();
    void bandAfterScrollWhilePlacing_data();
    void bandAfterScrollWhilePlacing();
    void noBandBeforeFirstCorner();
};

void TestBandDrawing::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestBandDrawing::bandMask_data()
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

void TestBandDrawing::bandMask()
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

void TestBandDrawing::bandDrawnTwiceLeavesPicture()
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

void TestBandDrawing::sharedPixelsOfTwoFramesCancel()
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

void TestBandDrawing::penColours()
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

void TestBandDrawing::xorBookkeeping_data()
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
void TestBandDrawing::xorBookkeeping()
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

void TestBandDrawing::bandAfterScrollWhilePlacing_data()
{
    QTest::addColumn<QString>("scroll");
    // clang-format off
    QTest::newRow("horizontal bar") << "hscroll 80";
    QTest::newRow("vertical bar") << "vscroll 40";
    QTest::newRow("corner button") << "corner";
    // clang-format on
}

// The picture shows the view and the band of the working frame, nothing else.
void TestBandDrawing::bandAfterScrollWhilePlacing()
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
void TestBandDrawing::noBandBeforeFirstCorner()
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

QTEST_MAIN(TestBandDrawing)
#include "tst_band_drawing.moc"
