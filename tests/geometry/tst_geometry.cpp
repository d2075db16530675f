#include "fixture/ScriptedDialogs.h"
#include "trimming/BandGeometry.h"
#include "trimming/TrimmingStates.h"
#include "view/ViewGeometry.h"

#include <QTest>

namespace {

constexpr Qt::Edges kTopLeft = Qt::TopEdge | Qt::LeftEdge;
constexpr Qt::Edges kTopRight = Qt::TopEdge | Qt::RightEdge;
constexpr Qt::Edges kBottomLeft = Qt::BottomEdge | Qt::LeftEdge;
constexpr Qt::Edges kBottomRight = Qt::BottomEdge | Qt::RightEdge;
constexpr Qt::Edges kAllEdges = Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge;

// A rectangle given by its corner points, as the band and the visible part of the view are.
QRectF corners(qreal left, qreal top, qreal right, qreal bottom)
{
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The part of the view the band tests look through: columns 100..499, rows 50..349.
const QRectF kVisible = corners(100, 50, 499, 349);

} // namespace

// Pure geometry of the picture, the band and the scroll bars; no program is started.
class TestGeometry : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void grab_data();
    void grab();
    void grabCodes_data();
    void grabCodes();
    void grabCodesOutsideTheStoredOnes();
    void band_data();
    void band();
    void panStep_data();
    void panStep();
    void barPositionOfOrigin_data();
    void barPositionOfOrigin();
    void scrollRanges_data();
    void scrollRanges();
    void placement_data();
    void placement();
};

void TestGeometry::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestGeometry::grab_data()
{
    QTest::addColumn<QRectF>("band");
    QTest::addColumn<QPointF>("pointer");
    QTest::addColumn<qreal>("reach");
    QTest::addColumn<Qt::Edges>("grabbed");
    const QRectF band = corners(20, 30, 220, 130);
    // clang-format off
    QTest::newRow("on the top edge")                 << band << QPointF(120, 30)  << 1.0 << Qt::Edges(Qt::TopEdge);
    QTest::newRow("1 px above the top edge")         << band << QPointF(120, 29)  << 1.0 << Qt::Edges(Qt::TopEdge);
    QTest::newRow("2 px above the top edge")         << band << QPointF(120, 28)  << 1.0 << Qt::Edges();
    QTest::newRow("2 px above, reach 2")             << band << QPointF(120, 28)  << 2.0 << Qt::Edges(Qt::TopEdge);
    QTest::newRow("left edge")                       << band << QPointF(19, 80)   << 1.0 << Qt::Edges(Qt::LeftEdge);
    QTest::newRow("right edge")                      << band << QPointF(221, 80)  << 1.0 << Qt::Edges(Qt::RightEdge);
    QTest::newRow("below the bottom edge")           << band << QPointF(120, 131) << 1.0 << Qt::Edges(Qt::BottomEdge);
    QTest::newRow("inside")                          << band << QPointF(120, 80)  << 1.0 << Qt::Edges();
    QTest::newRow("outside")                         << band << QPointF(300, 200) << 1.0 << Qt::Edges();
    QTest::newRow("beyond the top edge's end")       << band << QPointF(225, 30)  << 1.0 << Qt::Edges();
    // Y snaps onto the top edge, X onto the left edge, then the corner test wins.
    QTest::newRow("near the top-left corner")        << band << QPointF(21, 29)   << 1.0 << kTopLeft;
    QTest::newRow("diagonally off the top-left")     << band << QPointF(19, 29)   << 1.0 << kTopLeft;
    QTest::newRow("2 px above the top-left")         << band << QPointF(19, 28)   << 1.0 << Qt::Edges();
    QTest::newRow("top-right corner")                << band << QPointF(220, 30)  << 1.0 << kTopRight;
    QTest::newRow("bottom-left corner")              << band << QPointF(19, 131)  << 1.0 << kBottomLeft;
    QTest::newRow("bottom-right corner")             << band << QPointF(219, 129) << 1.0 << kBottomRight;
    // A band cut to a line at the picture's left border: the right edge is tested last and wins.
    QTest::newRow("band cut to the left border")     << corners(0, 0, 0, 100) << QPointF(0, 50) << 1.0 << Qt::Edges(Qt::RightEdge);
    // clang-format on
}

void TestGeometry::grab()
{
    QFETCH(QRectF, band);
    QFETCH(QPointF, pointer);
    QFETCH(qreal, reach);
    QFETCH(Qt::Edges, grabbed);
    QCOMPARE(grabAt(band, pointer, reach), grabbed);
}

void TestGeometry::grabCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<Qt::Edges>("edges");
    // clang-format off
    QTest::newRow("nothing")       << 0 << Qt::Edges();
    QTest::newRow("top")           << 1 << Qt::Edges(Qt::TopEdge);
    QTest::newRow("left")          << 2 << Qt::Edges(Qt::LeftEdge);
    QTest::newRow("right")         << 3 << Qt::Edges(Qt::RightEdge);
    QTest::newRow("bottom")        << 4 << Qt::Edges(Qt::BottomEdge);
    QTest::newRow("top-left")      << 5 << kTopLeft;
    QTest::newRow("top-right")     << 6 << kTopRight;
    QTest::newRow("bottom-left")   << 7 << kBottomLeft;
    QTest::newRow("bottom-right")  << 8 << kBottomRight;
    // clang-format on
}

void TestGeometry::grabCodes()
{
    QFETCH(int, code);
    QFETCH(Qt::Edges, edges);
    QCOMPARE(grabbedEdges(int16_t(code)), edges);
    QCOMPARE(grabCode(edges), int16_t(code));
}

// Codes beyond the stored ones read as nothing, and edges that make neither an edge nor a
// corner are stored as nothing.
void TestGeometry::grabCodesOutsideTheStoredOnes()
{
    QCOMPARE(grabbedEdges(9), Qt::Edges());
    QCOMPARE(grabbedEdges(-1), Qt::Edges());
    QCOMPARE(grabCode(Qt::LeftEdge | Qt::RightEdge), int16_t(0));
}

void TestGeometry::band_data()
{
    QTest::addColumn<QRectF>("frame"); // view pixels, ordered
    QTest::addColumn<Qt::Edges>("shown");
    QTest::addColumn<QRectF>("band"); // picture pixels
    // Visible part of the view: (100, 50) to (499, 349); the picture's last column 399, row 299.
    // clang-format off
    QTest::newRow("wholly visible")              << corners(150, 80, 300, 200) << kAllEdges                                  << corners(50, 30, 200, 150);
    QTest::newRow("the visible part exactly")    << corners(100, 50, 499, 349) << kAllEdges                                  << corners(0, 0, 399, 299);
    QTest::newRow("only the top crosses")        << corners(50, 80, 600, 400)  << Qt::Edges(Qt::TopEdge)                     << corners(0, 30, 399, 350);
    QTest::newRow("only the left crosses")       << corners(150, 20, 600, 400) << Qt::Edges(Qt::LeftEdge)                    << corners(50, 0, 500, 299);
    QTest::newRow("top and left")                << corners(150, 80, 600, 400) << kTopLeft                                   << corners(50, 30, 399, 299);
    QTest::newRow("only the right crosses")      << corners(50, 20, 300, 400)  << Qt::Edges(Qt::RightEdge)                   << corners(0, 0, 200, 299);
    QTest::newRow("left and bottom outside")     << corners(50, 80, 300, 400)  << kTopRight                                  << corners(0, 30, 200, 299);
    QTest::newRow("left and right")              << corners(150, 20, 300, 400) << (Qt::LeftEdge | Qt::RightEdge)             << corners(50, 0, 200, 299);
    QTest::newRow("bottom outside")              << corners(150, 80, 300, 400) << (kTopLeft | Qt::RightEdge)                 << corners(50, 30, 200, 299);
    QTest::newRow("only the bottom crosses")     << corners(50, 20, 600, 200)  << Qt::Edges(Qt::BottomEdge)                  << corners(0, 0, 399, 150);
    QTest::newRow("top and bottom")              << corners(50, 80, 600, 200)  << (Qt::TopEdge | Qt::BottomEdge)             << corners(0, 30, 399, 150);
    QTest::newRow("left and bottom")             << corners(150, 20, 600, 200) << kBottomLeft                                << corners(50, 0, 399, 150);
    QTest::newRow("right edge outside")          << corners(150, 80, 600, 200) << (kTopLeft | Qt::BottomEdge)                << corners(50, 30, 399, 150);
    QTest::newRow("right and bottom")            << corners(50, 20, 300, 200)  << kBottomRight                               << corners(0, 0, 200, 150);
    QTest::newRow("left edge outside")           << corners(50, 80, 300, 200)  << (kTopRight | Qt::BottomEdge)               << corners(0, 30, 200, 150);
    QTest::newRow("top edge outside")            << corners(150, 20, 300, 200) << (kBottomLeft | Qt::RightEdge)              << corners(50, 0, 200, 150);
    // Nothing is drawn; the band still follows the frame, kept off negative coordinates.
    QTest::newRow("exceeds every side")          << corners(50, 20, 600, 400)  << Qt::Edges()                                << corners(0, 0, 500, 350);
    QTest::newRow("1 px beyond every side")      << corners(99, 49, 500, 350)  << Qt::Edges()                                << corners(0, 0, 400, 300);
    QTest::newRow("wholly right of the view")    << corners(600, 80, 700, 200) << Qt::Edges()                                << corners(500, 30, 600, 150);
    // clang-format on
}

void TestGeometry::band()
{
    QFETCH(QRectF, frame);
    QFETCH(Qt::Edges, shown);
    QFETCH(QRectF, band);
    QCOMPARE(bandEdgesShown(frame, kVisible), shown);
    QCOMPARE(bandOnPicture(frame, kVisible, shown), band);
}

void TestGeometry::panStep_data()
{
    QTest::addColumn<float>("origin");
    QTest::addColumn<int>("step"); // pointer movement
    QTest::addColumn<float>("viewSide");
    QTest::addColumn<int>("visibleSide");
    QTest::addColumn<float>("panned");
    // clang-format off
    QTest::newRow("pointer right: origin left")  << 100.0f << 30  << 1000.0f << 400 << 70.0f;
    QTest::newRow("pointer left: origin right")  << 100.0f << -30 << 1000.0f << 400 << 130.0f;
    QTest::newRow("stops at 0")                  << 20.0f  << 50  << 1000.0f << 400 << 0.0f;
    QTest::newRow("stops at the far end")        << 580.0f << -50 << 1000.0f << 400 << 600.0f;
    QTest::newRow("at the far end already")      << 600.0f << 0   << 1000.0f << 400 << 600.0f;
    QTest::newRow("unquantised origin")          << 12.5f  << 2   << 1000.0f << 400 << 10.5f;
    // clang-format on
}

void TestGeometry::panStep()
{
    QFETCH(float, origin);
    QFETCH(int, step);
    QFETCH(float, viewSide);
    QFETCH(int, visibleSide);
    QFETCH(float, panned);
    QCOMPARE(pannedOrigin(origin, step, viewSide, visibleSide), panned);
}

void TestGeometry::barPositionOfOrigin_data()
{
    QTest::addColumn<float>("origin");
    QTest::addColumn<float>("unit");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    // clang-format off
    QTest::newRow("one pixel a position")              << 70.0f    << 1.0f    << 600   << 70;
    QTest::newRow("origin rounded")                    << 70.6f    << 1.0f    << 600   << 71;
    QTest::newRow("coarse: integer division")          << 4002.0f  << 4.0f    << 10000 << 1000;
    QTest::newRow("unit rounded up")                   << 100.0f   << 3.5f    << 10000 << 25;
    // 3.2768 rounds to 3: the far end would be position 10922.
    QTest::newRow("unit rounded down: kept in range")  << 32768.0f << 3.2768f << 10000 << 10000;
    QTest::newRow("unit below half a pixel")           << 100.0f   << 0.4f    << 10000 << 0;
    // clang-format on
}

void TestGeometry::barPositionOfOrigin()
{
    QFETCH(float, origin);
    QFETCH(float, unit);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QCOMPARE(barPosition(origin, unit, int16_t(maximum)), int16_t(position));
}

void TestGeometry::scrollRanges_data()
{
    QTest::addColumn<float>("viewSide");
    QTest::addColumn<int>("visibleSide");
    QTest::addColumn<float>("excess");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<float>("unit");
    QTest::addColumn<int>("page");
    // clang-format off
    QTest::newRow("no excess")                       << 500.0f   << 600 << -100.0f  << 0     << 1.0f    << 1;
    QTest::newRow("exactly the visible side")        << 700.0f   << 700 << 0.0f     << 0     << 1.0f    << 1;
    QTest::newRow("excess 10: page step 1")          << 710.0f   << 700 << 10.0f    << 10    << 1.0f    << 1;
    QTest::newRow("excess 11")                       << 711.0f   << 700 << 11.0f    << 11    << 1.0f    << 1;
    QTest::newRow("excess 110: page step 11")        << 810.0f   << 700 << 110.0f   << 110   << 1.0f    << 11;
    QTest::newRow("excess 32767: one pixel a step")  << 33467.0f << 700 << 32767.0f << 32767 << 1.0f    << 3276;
    QTest::newRow("excess 32768: 10000 steps")       << 33468.0f << 700 << 32768.0f << 10000 << 3.2768f << 1000;
    QTest::newRow("excess 40000")                    << 40700.0f << 700 << 40000.0f << 10000 << 4.0f    << 1000;
    // clang-format on
}

void TestGeometry::scrollRanges()
{
    QFETCH(float, viewSide);
    QFETCH(int, visibleSide);
    QFETCH(float, excess);
    QFETCH(int, maximum);
    QFETCH(float, unit);
    QFETCH(int, page);
    const ScrollRange range = scrollRange(viewSide, visibleSide);
    QCOMPARE(range.excess, excess);
    QCOMPARE(range.maximum, int16_t(maximum));
    QCOMPARE(range.unit, unit);
    QCOMPARE(pageStep(range.maximum), page);
}

void TestGeometry::placement_data()
{
    QTest::addColumn<QSize>("view");
    QTest::addColumn<QRect>("picture");
    QTest::addColumn<QRect>("hBar"); // null: hidden
    QTest::addColumn<QRect>("vBar");
    QTest::addColumn<QRect>("corner");
    // A picture area of 700 x 500 below the 25-pixel strip; bars 16 thick.
    // clang-format off
    QTest::newRow("no bar: centred")                 << QSize(400, 300)  << QRect(150, 125, 400, 300) << QRect()                  << QRect()                 << QRect();
    QTest::newRow("no bar: odd room halves down")    << QSize(401, 301)  << QRect(149, 124, 401, 301) << QRect()                  << QRect()                 << QRect();
    QTest::newRow("exactly the area")                << QSize(700, 500)  << QRect(0, 25, 700, 500)    << QRect()                  << QRect()                 << QRect();
    QTest::newRow("horizontal bar: centred in y")    << QSize(710, 300)  << QRect(0, 117, 700, 300)   << QRect(0, 417, 700, 16)   << QRect()                 << QRect();
    QTest::newRow("1 wider, 16 lower")               << QSize(701, 484)  << QRect(0, 25, 700, 484)    << QRect(0, 509, 700, 16)   << QRect()                 << QRect();
    QTest::newRow("1 wider, 15 lower: both")         << QSize(701, 485)  << QRect(0, 25, 684, 484)    << QRect(0, 509, 684, 16)   << QRect(684, 25, 16, 484) << QRect(684, 509, 16, 16);
    QTest::newRow("vertical bar: centred in x")      << QSize(400, 610)  << QRect(142, 25, 400, 500)  << QRect()                  << QRect(542, 25, 16, 500) << QRect();
    QTest::newRow("1 higher, 16 narrower")           << QSize(684, 501)  << QRect(0, 25, 684, 500)    << QRect()                  << QRect(684, 25, 16, 500) << QRect();
    QTest::newRow("1 higher, 15 narrower: both")     << QSize(685, 501)  << QRect(0, 25, 684, 484)    << QRect(0, 509, 684, 16)   << QRect(684, 25, 16, 484) << QRect(684, 509, 16, 16);
    QTest::newRow("larger both ways: top-left")      << QSize(1000, 900) << QRect(0, 25, 684, 484)    << QRect(0, 509, 684, 16)   << QRect(684, 25, 16, 484) << QRect(684, 509, 16, 16);
    // clang-format on
}

void TestGeometry::placement()
{
    QFETCH(QSize, view);
    QFETCH(QRect, picture);
    QFETCH(QRect, hBar);
    QFETCH(QRect, vBar);
    QFETCH(QRect, corner);
    const Placement at = placePicture(view, QSize(700, 500), 16);
    QCOMPARE(at.picture, picture);
    QCOMPARE(at.horizontalBar, hBar);
    QCOMPARE(at.verticalBar, vBar);
    QCOMPARE(at.cornerButton, corner);
    QCOMPARE(at.hasHorizontalBar(), !hBar.isNull());
    QCOMPARE(at.hasVerticalBar(), !vBar.isNull());
}

QTEST_APPLESS_MAIN(TestGeometry)
#include "tst_geometry.moc"
