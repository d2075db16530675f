#include "fixture/Images.h"
#include "fixture/UserActions.h"
#include "view/Layout.h"
#include "view/ViewGeometry.h"
#include "view/ViewSupport.h"

#include <QScrollBar>
#include <QTest>
#include <QWindow>

namespace {

// The geometry of a control if it is shown, else an empty rectangle.
QRect shownGeometry(TestProgram& program, const char* name)
{
    QWidget* widget = program.widget(QString::fromLatin1(name));
    return widget->isVisible() ? widget->geometry() : QRect();
}

} // namespace

// The layout of the picture, its bars and the corner button in the picture area, and of the window
// on a resize.
class TestLayout : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void barDecision_data();
    void barDecision();
    void placement_data();
    void placement();
    void resizeThatChangesNothingMovesNothing();
    void fitFollowsTheWindowOnResize_data();
    void fitFollowsTheWindowOnResize();
    void windowSnapsToSmallestSize_data();
    void windowSnapsToSmallestSize();
};

void TestLayout::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestLayout::barDecision_data()
{
    QTest::addColumn<int>("wider"); // view width - picture area width
    QTest::addColumn<int>("higher"); // view height - picture area height
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    // Every case of the decision is the placement table of tst_geometry; here each set of bars
    // is shown once on the widgets.
    // clang-format off
    QTest::newRow("fits") << -40 << -40 << false << false;
    QTest::newRow("1 wider, 16 lower") << 1 << -16 << true << false;
    QTest::newRow("1 wider, 15 lower: both") << 1 << -15 << true << true;
    QTest::newRow("1 higher, 16 narrower") << -16 << 1 << false << true;
    // clang-format on
}

void TestLayout::barDecision()
{
    QFETCH(int, wider);
    QFETCH(int, higher);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(app.PictureAreaWidth + wider - 20, app.PictureAreaHeight + higher - 20));
    QCOMPARE(app.NeedHScroll, horizontal ? 1.0f : 0.0f);
    QCOMPARE(app.NeedVScroll, vertical ? 1.0f : 0.0f);
    QCOMPARE(app.rt.IsWindowVisible(app.HSCROLL1), horizontal ? kTrue : kFalse);
    QCOMPARE(app.rt.IsWindowVisible(app.VSCROLL1), vertical ? kTrue : kFalse);
    QCOMPARE(app.rt.IsWindowVisible(app.BUTTON1), horizontal && vertical ? kTrue : kFalse);
    if (horizontal && vertical) {
        QCOMPARE(app.rt.GetWindowText(app.BUTTON1), QStringLiteral("┛"));
        QCOMPARE(app.CornerToggle, CornerToggle::ToBottomRight);
    }
}

void TestLayout::placement_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRect>("pictureRect");
    QTest::addColumn<QRect>("hBar"); // empty: hidden
    QTest::addColumn<QRect>("vBar");
    QTest::addColumn<QRect>("corner");
    QTest::addColumn<QList<int>>("hRange"); // maximum, page step
    QTest::addColumn<QList<int>>("vRange");
    // The picture area is 700 x 500 below the 25-pixel strip. Placements and ranges of every
    // kind are the tables of tst_geometry; here one of each set of bars is laid out on the widgets.
    // clang-format off
    QTest::newRow("no bar: centred") << QSize(380, 280) << QRect(150, 125, 400, 300) << QRect() << QRect() << QRect() << QList<int>() << QList<int>();
    QTest::newRow("horizontal bar, 110 wider") << QSize(790, 280) << QRect(0, 117, 700, 300) << QRect(0, 417, 700, 16) << QRect() << QRect() << QList<int> { 110, 11 } << QList<int>();
    QTest::newRow("vertical bar, 110 higher: centred horizontally") << QSize(380, 590) << QRect(142, 25, 400, 500) << QRect() << QRect(542, 25, 16, 500) << QRect() << QList<int>() << QList<int> { 110, 11 };
    QTest::newRow("both bars: top-left") << QSize(980, 880) << QRect(0, 25, 684, 484) << QRect(0, 509, 684, 16) << QRect(684, 25, 16, 484) << QRect(684, 509, 16, 16) << QList<int> { 316, 31 } << QList<int> { 416, 41 };
    // clang-format on
}

void TestLayout::placement()
{
    QFETCH(QSize, image);
    QFETCH(QRect, pictureRect);
    QFETCH(QRect, hBar);
    QFETCH(QRect, vBar);
    QFETCH(QRect, corner);
    QFETCH(QList<int>, hRange);
    QFETCH(QList<int>, vRange);
    TestProgram program;
    program.start();
    App& app = program.app();
    setPictureArea(program, 700, 500);
    showImage(app, patternImage(image.width(), image.height()));
    QCOMPARE(program.widget("PICTURE1")->geometry(), pictureRect);
    QCOMPARE(shownGeometry(program, "HSCROLL1"), hBar);
    QCOMPARE(shownGeometry(program, "VSCROLL1"), vBar);
    QCOMPARE(shownGeometry(program, "BUTTON1"), corner);
    const auto checkRange = [&](const char* name, const QList<int>& range) {
        if (range.isEmpty()) return;
        QScrollBar* scroll = program.widget<QScrollBar>(name);
        QCOMPARE(scroll->minimum(), 0);
        QCOMPARE(scroll->maximum(), range[0]);
        QCOMPARE(scroll->singleStep(), 1);
        QCOMPARE(scroll->pageStep(), range[1]);
        QCOMPARE(scroll->value(), 0);
    };
    checkRange("HSCROLL1", hRange);
    checkRange("VSCROLL1", vRange);
    // The separator under the strip spans the picture area.
    const QImage& window = *app.rt.Surface(app.MAINFORM);
    QCOMPARE(window.pixel(0, 24), kBlack);
    QCOMPARE(window.pixel(699, 24), kBlack);
    QVERIFY(window.pixel(0, 23) != kBlack);
    QCOMPARE(picture(app), view(app).copy(0, 0, pictureRect.width(), pictureRect.height()));
}

void TestLayout::resizeThatChangesNothingMovesNothing()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(3000, 2000));
    // Controls put out of place show whether the layout touched them.
    app.rt.MoveWindow(app.PICTURE1, 1, 1);
    app.rt.ShowWindow(app.HSCROLL1, kFalse);
    app.CatFrameCount[3] = 2;
    app.rt.PostEvent(ControlEvent { QStringLiteral("MAINFORM_RESIZE"), app.MAINFORM });
    program.runEvents();
    QCOMPARE(program.widget("PICTURE1")->pos(), QPoint(1, 1));
    QCOMPARE(app.rt.IsWindowVisible(app.HSCROLL1), kFalse);
    // The view was rebuilt all the same, and the frames went with it.
    QCOMPARE(app.CatFrameCount[3], 0);
}

void TestLayout::fitFollowsTheWindowOnResize_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("fromArea"); // the picture area before the resize
    QTest::addColumn<QSize>("toArea"); // and after it
    QTest::addColumn<bool>("horizontalBar");
    QTest::addColumn<bool>("verticalBar");
    // A tall image at 縦合わせ and a wide one at 横合わせ fit along the other axis at any of
    // these sizes, so no bar is ever needed; ×０.５ keeps its view and gets bars where it must.
    // clang-format off
    QTest::newRow("縦合わせ, window made larger") << 1 << QSize(500, 1600) << QSize(660, 300) << QSize(780, 540) << false << false;
    QTest::newRow("縦合わせ, window made smaller") << 1 << QSize(500, 1600) << QSize(780, 540) << QSize(660, 300) << false << false;
    QTest::newRow("横合わせ, window made larger") << 2 << QSize(1600, 300) << QSize(650, 300) << QSize(790, 540) << false << false;
    QTest::newRow("横合わせ, window made smaller") << 2 << QSize(1600, 300) << QSize(790, 540) << QSize(650, 300) << false << false;
    QTest::newRow("×０.５, window made larger")  << 7 << QSize(1300, 900) << QSize(660, 360) << QSize(780, 540) << false << false;
    QTest::newRow("×０.５, window made smaller") << 7 << QSize(1300, 900) << QSize(780, 540) << QSize(660, 360) << true  << true;
    // clang-format on
}

// A resize of the window by the window system lays the view out for the new size at once: at
// the fit magnifications the view is scaled to the new picture area, not to the one before.
void TestLayout::fitFollowsTheWindowOnResize()
{
    QFETCH(int, entry);
    QFETCH(QSize, image);
    QFETCH(QSize, fromArea);
    QFETCH(QSize, toArea);
    QFETCH(bool, horizontalBar);
    QFETCH(bool, verticalBar);
    TestProgram program;
    program.start();
    App& app = program.app();
    setPictureArea(program, fromArea.width(), fromArea.height());
    showImage(app, patternImage(image.width(), image.height()));
    selectByKeyboard(program, "COMBO5", entry);
    QCOMPARE(app.MagnificationIndex, int16_t(entry));

    // The window's inner size is the picture area and the strip above it.
    program.widget(QStringLiteral("MAINFORM"))->windowHandle()->resize(toArea + QSize(0, kStripHeight));
    program.runEvents();
    QCOMPARE(QSize(app.PictureAreaWidth, app.PictureAreaHeight), toArea);

    // The fitted side fills the area but for the margins (30, less one where the factor
    // rounds down); a fixed magnification keeps its view.
    const QSize viewSize(int(app.ViewWidth), int(app.ViewHeight));
    const auto fills
        = [](int viewSide, int areaSide) { return viewSide >= areaSide - 11 && viewSide <= areaSide - 10; };
    if (entry == 1)
        QVERIFY2(fills(viewSize.height(), toArea.height()), qPrintable(QString::number(viewSize.height())));
    if (entry == 2)
        QVERIFY2(fills(viewSize.width(), toArea.width()), qPrintable(QString::number(viewSize.width())));
    if (entry == 7) QCOMPARE(viewSize, image / 2 + QSize(20, 20));
    QCOMPARE(app.rt.IsWindowVisible(app.HSCROLL1), horizontalBar ? kTrue : kFalse);
    QCOMPARE(app.rt.IsWindowVisible(app.VSCROLL1), verticalBar ? kTrue : kFalse);
    const Placement expected = placePicture(viewSize, toArea, app.ScrollBarSize);
    QCOMPARE(program.widget("PICTURE1")->geometry(), expected.picture);
    QCOMPARE(picture(app), blockAtOrigin(app));
}

void TestLayout::windowSnapsToSmallestSize_data()
{
    QTest::addColumn<QSize>("dragged");
    QTest::addColumn<QSize>("laidOut");
    // clang-format off
    QTest::newRow("too narrow: design width") << QSize(600, 400) << QSize(730, 400);
    QTest::newRow("too low") << QSize(800, 250) << QSize(800, 300);
    QTest::newRow("both") << QSize(639, 299) << QSize(730, 300);
    QTest::newRow("smallest allowed") << QSize(640, 300) << QSize(640, 300);
    // clang-format on
}

void TestLayout::windowSnapsToSmallestSize()
{
    QFETCH(QSize, dragged);
    QFETCH(QSize, laidOut);
    TestProgram program;
    program.start();
    App& app = program.app();
    program.widget(QStringLiteral("MAINFORM"))->showNormal();
    app.rt.SetWindowSize(app.MAINFORM, dragged.width(), dragged.height());
    program.runEvents();
    QCOMPARE(QSize(app.rt.GetWidth(app.MAINFORM), app.rt.GetHeight(app.MAINFORM)), laidOut);
    QCOMPARE(QSize(app.FormWidth, app.FormHeight), laidOut);
    QCOMPARE(app.PictureAreaWidth, int16_t(laidOut.width() - 2 * app.FrameHeight));
    QCOMPARE(app.PictureAreaHeight, int16_t(laidOut.height() - app.CaptionHeight - app.FrameHeight - 25));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
