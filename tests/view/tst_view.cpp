#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "fixture/UserActions.h"
#include "trimming/TrimmingStates.h"
#include "view/Layout.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"
#include "view/ViewGeometry.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <optional>

namespace {

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

QImage solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// An image each pixel of which tells where it lies: its column and its row, counted from 1, in
// 12 bits of the colour each, so that no pixel has the white of the view's margin or the black
// of its border. Images up to 4094 pixels wide and high.
QImage positionImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | QRgb(y + 1) << 12 | QRgb(x + 1);
    }
    return image;
}

// The pixel of a positionImage a colour shows; none for the margin and the border.
std::optional<QPoint> positionOf(QRgb colour)
{
    const int x = int(colour & 0xFFFu) - 1, y = int((colour >> 12) & 0xFFFu) - 1;
    if (x < 0 || y < 0 || x >= 4094 || y >= 4094) return std::nullopt;
    return QPoint(x, y);
}

// Where the picture does not show the view's pixel (VisibleLeft + x, VisibleTop + y) at its pixel
// (x, y), for a view built at actual size from a positionImage: where the view holds the image,
// that image pixel, elsewhere the margin or the border. Empty when it shows every one.
QString picturePixelsOffTheVisiblePart(TestProgram& program)
{
    App& app = program.app();
    const QImage surface = picture(app).convertToFormat(QImage::Format_RGB32);
    const QSize shown = program.widget("PICTURE1")->size();
    const QRect image(kViewMargin, kViewMargin, int(app.ImageWidth), int(app.ImageHeight));
    const QPoint visibleTopLeft(int(app.VisibleLeft), int(app.VisibleTop));
    QList<QPoint> off;
    for (int y = 0; y < shown.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(surface.constScanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            const QPoint inView = visibleTopLeft + QPoint(x, y);
            const std::optional<QPoint> imagePixel = positionOf(row[x]);
            if (image.contains(inView) ? imagePixel != inView - image.topLeft() : imagePixel.has_value())
                off << QPoint(x, y);
        }
    }
    if (off.isEmpty()) return QString();
    const QPoint first = off.first();
    const std::optional<QPoint> firstShown = positionOf(surface.pixel(first));
    return QStringLiteral("%1 pixels; the first, (%2, %3), shows %4 for view pixel (%5, %6)")
        .arg(off.size())
        .arg(first.x())
        .arg(first.y())
        .arg(firstShown ? QStringLiteral("image pixel (%1, %2)").arg(firstShown->x()).arg(firstShown->y())
                        : QStringLiteral("margin or border"))
        .arg(visibleTopLeft.x() + first.x())
        .arg(visibleTopLeft.y() + first.y());
}

// The geometry of a control if it is shown, else an empty rectangle.
QRect shownGeometry(TestProgram& program, const char* name)
{
    QWidget* widget = program.widget(QString::fromLatin1(name));
    return widget->isVisible() ? widget->geometry() : QRect();
}

} // namespace

class TestView : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void viewIsBuiltOnceForTheSameInputs();
    void actualSizeViewSharesTheSourceAndGivesItBack_data();
    void actualSizeViewSharesTheSourceAndGivesItBack();
    void magnification_data();
    void magnification();
    void viewHoldsImageInsideMarginAndBorder_data();
    void viewHoldsImageInsideMarginAndBorder();
    void thinLinesStayVisibleAtOneTenth();
    void viewWithoutSourceImageIsBlank_data();
    void viewWithoutSourceImageIsBlank();
    void barDecision_data();
    void barDecision();
    void placement_data();
    void placement();
    void scrollRange_data();
    void scrollRange();
    void scrollShowsBlockAtOrigin_data();
    void scrollShowsBlockAtOrigin();
    void largeViewScrollsInCoarseSteps();
    void cornerButtonJumpsAndToggles();
    void keptPositionBeyondNewRangeIsClamped();
    void magnificationListRebuildsAndShowsView();
    void resizeThatChangesNothingMovesNothing();
    void fitFollowsTheWindowOnResize_data();
    void fitFollowsTheWindowOnResize();
    void windowSnapsToSmallestSize_data();
    void windowSnapsToSmallestSize();
    void rebuildResetsTrimmingState();
    void scrollPutsDownPickedUpEdge_data();
    void scrollPutsDownPickedUpEdge();
    void modifyRepaintKeepsOrigin();
};

void TestView::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// A load builds the view and the layout after it asks for it again: the view is kept while
// its inputs are the same and nothing was drawn into it; otherwise it is built anew, clean.
void TestView::viewIsBuiltOnceForTheSameInputs()
{
    Scene scene(1100, 700);
    App& app = scene.app();
    app.rt.SetCurSel(app.COMBO5, 7);
    CG_ON_SUB(app);
    const auto built = app.bitmaps.Revision(app.ViewBitmap);
    const QImage clean = view(app);
    CG_ON_SUB(app);
    QCOMPARE(app.bitmaps.Revision(app.ViewBitmap), built);
    scene.place(20, 30, 120, 90);
    QVERIFY(view(app) != clean);
    CG_ON_SUB(app);
    QVERIFY(app.bitmaps.Revision(app.ViewBitmap) != built);
    QCOMPARE(view(app), clean);
    QCOMPARE(app.CatFrameCount[1], 0);
}

void TestView::actualSizeViewSharesTheSourceAndGivesItBack_data()
{
    QTest::addColumn<QString>("steps"); // what the user does with frames on show, then a rebuild
    // clang-format off
    QTest::newRow("frames, then a magnification")      << "place 20 30 120 90 | category 1 | place 40 50 200 150 | category 0 | choose 0";
    QTest::newRow("modifying, then a rebuild")         << "place 20 30 120 90 | place 200 150 300 250 | choose 0 | modify | click 20 60 | move 60 70";
    QTest::newRow("placing, then a rebuild")           << "place 20 30 120 90 | click 300 200 | move 350 260";
    // clang-format on
}

// At actual size the view is the source itself with a margin around it: no copy. The frames
// drawn into it are drawn into the source's pixels too, and every rebuild of the view takes
// them back, so the source is always the image as loaded.
void TestView::actualSizeViewSharesTheSourceAndGivesItBack()
{
    QFETCH(QString, steps);
    Scene scene;
    App& app = scene.app();
    const QImage loaded = patternImage(1100, 700);
    const QImage& source = *app.bitmaps.Image(app.SourceBitmap);
    QCOMPARE(source, loaded);
    const QImage& shared = *app.bitmaps.Image(app.ViewBitmap);
    QCOMPARE(source.constBits(), shared.constBits() + kViewMargin * shared.bytesPerLine() + kViewMargin * 4);

    scene.run(steps);
    QVERIFY(source != loaded); // the frames are drawn into the shared pixels
    app.rt.SetCurSel(app.COMBO5, 7);
    CG_ON_SUB(app);
    QCOMPARE(source, loaded);
    app.rt.SetCurSel(app.COMBO5, 0);
    CG_ON_SUB(app);
    QCOMPARE(source, loaded);
    QCOMPARE(view(app).copy(kViewMargin, kViewMargin, 1100, 700), loaded);
}

void TestView::magnification_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QSize>("area");
    QTest::addColumn<float>("factor");
    QTest::addColumn<QSize>("viewSize");
    const QSize area(796, 600);
    // clang-format off
    QTest::newRow("等倍 640x480") << QSize(640, 480) << 0 << area << 1.0f << QSize(660, 500);
    QTest::newRow("縦合わせ 570/2000") << QSize(1000, 2000) << 1 << area << 0.285f << QSize(305, 590);
    QTest::newRow("縦合わせ never enlarges") << QSize(400, 300) << 1 << area << 1.0f << QSize(420, 320);
    QTest::newRow("横合わせ 770/1540") << QSize(1540, 100) << 2 << QSize(800, 600) << 0.5f << QSize(790, 70);
    QTest::newRow("横合わせ never enlarges") << QSize(300, 300) << 2 << area << 1.0f << QSize(320, 320);
    // 0.9 is a little less in single precision; the product is rounded before truncation.
    QTest::newRow("×0.9 of 1000 is 900") << QSize(1000, 1000) << 3 << area << 0.9f << QSize(920, 920);
    QTest::newRow("×0.3 of 1000 is 300") << QSize(1000, 1000) << 9 << area << 0.3f << QSize(320, 320);
    QTest::newRow("×0.5 truncates") << QSize(641, 481) << 7 << area << 0.5f << QSize(340, 260);
    QTest::newRow("×0.1 of 3 high keeps height") << QSize(200, 3) << 11 << area << 0.1f << QSize(40, 23);
    QTest::newRow("×0.1 of 5 wide keeps width") << QSize(5, 200) << 11 << area << 0.1f << QSize(25, 40);
    QTest::newRow("no selection keeps factor") << QSize(400, 200) << -1 << area << 0.5f << QSize(220, 120);
    // clang-format on
}

void TestView::magnification()
{
    QFETCH(QSize, image);
    QFETCH(int, entry);
    QFETCH(QSize, area);
    QFETCH(float, factor);
    QFETCH(QSize, viewSize);
    TestProgram program;
    program.start();
    App& app = program.app();
    putImage(app, patternImage(image.width(), image.height()));
    app.PictureAreaWidth = int16_t(area.width());
    app.PictureAreaHeight = int16_t(area.height());
    app.Magnification = 0.5f;
    app.rt.SetCurSel(app.COMBO5, entry);
    BAI_SUB(app);
    QCOMPARE(app.MagnificationIndex, int16_t(entry));
    QCOMPARE(app.Magnification, factor);
    QCOMPARE(app.ViewWidth, float(viewSize.width()));
    QCOMPARE(app.ViewHeight, float(viewSize.height()));
    QCOMPARE(view(app).size(), viewSize);
    if (factor != 1.0f) {
        QCOMPARE(app.ScaledWidth, float(viewSize.width() - 20));
        QCOMPARE(app.ScaledHeight, float(viewSize.height() - 20));
    }
}

void TestView::viewHoldsImageInsideMarginAndBorder_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QImage>("imagePart");
    const QImage photo = patternImage(640, 480);
    // clang-format off
    QTest::newRow("等倍: unscaled copy") << photo << 0 << photo;
    QTest::newRow("×0.5: scaled into the part") << solid(200, 100, 0xFFFF0000u) << 7 << solid(100, 50, 0xFFFF0000u);
    // clang-format on
}

void TestView::viewHoldsImageInsideMarginAndBorder()
{
    QFETCH(QImage, image);
    QFETCH(int, entry);
    QFETCH(QImage, imagePart);
    TestProgram program;
    program.start();
    App& app = program.app();
    putImage(app, image);
    app.rt.SetCurSel(app.COMBO5, entry);
    BAI_SUB(app);
    const QImage built = view(app);
    const int width = built.width(), height = built.height();
    QCOMPARE(built.size(), imagePart.size() + QSize(20, 20));
    QCOMPARE(built.copy(10, 10, imagePart.width(), imagePart.height()), imagePart);
    // A border 5 pixels wide centred on the outermost pixels: 3 of them lie inside the view.
    for (QPoint border : { QPoint(0, 0), QPoint(2, 2), QPoint(width / 2, 1), QPoint(1, height / 2),
             QPoint(width - 1, height - 1), QPoint(width - 3, height - 3) })
        QCOMPARE(built.pixel(border), kBlack);
    for (QPoint margin : { QPoint(3, 3), QPoint(9, 9), QPoint(width / 2, 9), QPoint(width - 4, height - 4),
             QPoint(width - 10, height - 10) })
        QCOMPARE(built.pixel(margin), kWhite);
}

void TestView::thinLinesStayVisibleAtOneTenth()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QImage scan = solid(1000, 1000, kWhite);
    for (int i = 0; i < 1000; ++i) {
        scan.setPixel(i, 503, kBlack);
        scan.setPixel(497, i, kBlack);
    }
    putImage(app, scan);
    app.rt.SetCurSel(app.COMBO5, 11);
    BAI_SUB(app);
    const QImage part = view(app).copy(10, 10, 100, 100);
    // Each line of one pixel darkens its row or column of the scaled part along its whole length.
    for (int i = 0; i < 100; ++i) {
        if (i == 49) continue; // where the lines cross
        QVERIFY2(qRed(part.pixel(i, 50)) < 240, qPrintable(QStringLiteral("row at column %1").arg(i)));
        QVERIFY2(qRed(part.pixel(49, i)) < 240, qPrintable(QStringLiteral("column at row %1").arg(i)));
        QCOMPARE(qRed(part.pixel(i, 20)), 255);
    }
}

void TestView::viewWithoutSourceImageIsBlank_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QSize>("viewSize");
    // clang-format off
    QTest::newRow("等倍") << 0 << QSize(320, 220);
    QTest::newRow("×0.5") << 7 << QSize(170, 120);
    // clang-format on
}

void TestView::viewWithoutSourceImageIsBlank()
{
    QFETCH(int, entry);
    QFETCH(QSize, viewSize);
    TestProgram program;
    program.start();
    App& app = program.app();
    putImage(app, patternImage(300, 200));
    // A failed load with nothing to fall back to leaves no source image but its size.
    app.bitmaps.DeleteObject(app.SourceBitmap);
    app.rt.SetCurSel(app.COMBO5, entry);
    CG_ON_SUB(app);
    QCOMPARE(view(app).size(), viewSize);
    QCOMPARE(view(app).copy(10, 10, viewSize.width() - 20, viewSize.height() - 20),
        solid(viewSize.width() - 20, viewSize.height() - 20, kWhite));
    QCOMPARE(view(app).pixel(0, 0), kBlack);
    QCOMPARE(shownPart(app), blockAtOrigin(app));
}

void TestView::barDecision_data()
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

void TestView::barDecision()
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

void TestView::placement_data()
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

void TestView::placement()
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

void TestView::scrollRange_data()
{
    QTest::addColumn<QSizeF>("viewSize");
    QTest::addColumn<QSize>("visibleSize");
    // The range of every excess is the table of tst_geometry; here each routine is shown to store
    // that table's function of its own axis, for a fine and a coarse range.
    // clang-format off
    QTest::newRow("fine across, coarse down") << QSizeF(710, 33468) << QSize(700, 480);
    QTest::newRow("coarse across, fine down") << QSizeF(33468, 490) << QSize(700, 480);
    // clang-format on
}

void TestView::scrollRange()
{
    QFETCH(QSizeF, viewSize);
    QFETCH(QSize, visibleSize);
    // The routines read and write the state record only: no window is needed.
    TestProgram program;
    App& app = program.app();
    app.ViewWidth = float(viewSize.width());
    app.ViewHeight = float(viewSize.height());
    app.VisibleWidth = int16_t(visibleSize.width());
    app.VisibleHeight = int16_t(visibleSize.height());
    app.HScrollUnit = app.VScrollUnit = 0; // so that a unit left unwritten shows
    SCROLL_XD_SUB(app);
    SCROLL_YD_SUB(app);
    const ScrollRange across = ::scrollRange(app.ViewWidth, app.VisibleWidth);
    const ScrollRange down = ::scrollRange(app.ViewHeight, app.VisibleHeight);
    QCOMPARE(app.ExcessWidth, across.excess);
    QCOMPARE(app.HScrollMax, across.maximum);
    QCOMPARE(app.HScrollUnit, across.unit);
    QCOMPARE(app.ExcessHeight, down.excess);
    QCOMPARE(app.VScrollMax, down.maximum);
    QCOMPARE(app.VScrollUnit, down.unit);
}

void TestView::scrollShowsBlockAtOrigin_data()
{
    QTest::addColumn<int>("action"); // a QAbstractSlider::SliderAction, or -1 to drag to `value`
    QTest::addColumn<int>("value");
    // clang-format off
    QTest::newRow("line step") << int(QAbstractSlider::SliderSingleStepAdd) << 0;
    QTest::newRow("page step") << int(QAbstractSlider::SliderPageStepAdd) << 0;
    QTest::newRow("dragged") << -1 << 123;
    QTest::newRow("to the end") << int(QAbstractSlider::SliderToMaximum) << 0;
    // clang-format on
}

void TestView::scrollShowsBlockAtOrigin()
{
    QFETCH(int, action);
    QFETCH(int, value);
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, positionImage(3000, 2000));
    for (const char* name : { "HSCROLL1", "VSCROLL1" }) {
        QScrollBar* scroll = program.widget<QScrollBar>(name);
        if (action < 0)
            scroll->setValue(value);
        else
            scroll->triggerAction(QAbstractSlider::SliderAction(action));
        program.runEvents();
    }
    QVERIFY(app.HScrollPos > 0);
    QCOMPARE(int(app.HScrollPos), program.widget<QScrollBar>("HSCROLL1")->value());
    QCOMPARE(int(app.VScrollPos), program.widget<QScrollBar>("VSCROLL1")->value());
    QCOMPARE(app.ViewOriginX, float(app.HScrollPos));
    QCOMPARE(app.ViewOriginY, float(app.VScrollPos));
    QCOMPARE(picture(app), blockAtOrigin(app));
    // The visible part of the view is what the picture shows: its first and last columns and
    // rows are the picture's, and every pixel between is the view's pixel there.
    const QSize shown = program.widget("PICTURE1")->size();
    QVERIFY(picture(app).rect().contains(QRect(QPoint(), shown)));
    QCOMPARE(app.VisibleRight - app.VisibleLeft + 1, float(shown.width()));
    QCOMPARE(app.VisibleBottom - app.VisibleTop + 1, float(shown.height()));
    QCOMPARE(picturePixelsOffTheVisiblePart(program), QString());
}

void TestView::largeViewScrollsInCoarseSteps()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(40000, 40));
    QCOMPARE(app.NeedHScroll, 1.0f);
    QCOMPARE(app.HScrollMax, int16_t(10000));
    const float excess = 40020.0f - float(app.VisibleWidth);
    QCOMPARE(app.HScrollUnit, excess / 10000);
    for (int position : { 1, 5000, 10000 }) {
        scrollTo(program, "HSCROLL1", position);
        QCOMPARE(app.ViewOriginX, float(position) * app.HScrollUnit);
        QCOMPARE(picture(app), blockAtOrigin(app));
    }
    // The last position shows the right edge of the view, border included.
    QVERIFY(qAbs(app.ViewOriginX - excess) < 1);
    QCOMPARE(picture(app).pixel(app.VisibleWidth - 1, 0), kBlack);
}

void TestView::cornerButtonJumpsAndToggles()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(3000, 2000));
    QWidget* corner = program.widget("BUTTON1");
    QCOMPARE(app.rt.GetWindowText(app.BUTTON1), QStringLiteral("┛"));

    QTest::mouseClick(corner, Qt::LeftButton);
    program.runEvents();
    QCOMPARE(app.rt.GetWindowText(app.BUTTON1), QStringLiteral("┏"));
    QCOMPARE(app.CornerToggle, CornerToggle::ToTopLeft);
    QCOMPARE(app.HScrollPos, app.HScrollMax);
    QCOMPARE(app.VScrollPos, app.VScrollMax);
    QCOMPARE(program.widget<QScrollBar>("HSCROLL1")->value(), int(app.HScrollMax));
    QCOMPARE(program.widget<QScrollBar>("VSCROLL1")->value(), int(app.VScrollMax));
    QCOMPARE(picture(app), blockAtOrigin(app));
    QCOMPARE(picture(app).pixel(app.VisibleWidth - 1, app.VisibleHeight - 1), kBlack); // the border's corner

    QTest::mouseClick(corner, Qt::LeftButton);
    program.runEvents();
    QCOMPARE(app.rt.GetWindowText(app.BUTTON1), QStringLiteral("┛"));
    QCOMPARE(app.CornerToggle, CornerToggle::ToBottomRight);
    QCOMPARE(app.HScrollPos, int16_t(0));
    QCOMPARE(app.VScrollPos, int16_t(0));
    QCOMPARE(program.widget<QScrollBar>("HSCROLL1")->value(), 0);
    QCOMPARE(picture(app), view(app).copy(0, 0, app.VisibleWidth, app.VisibleHeight));
}

void TestView::keptPositionBeyondNewRangeIsClamped()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(3000, 2000));
    QTest::mouseClick(program.widget("BUTTON1"), Qt::LeftButton);
    program.runEvents();
    const int16_t farRight = app.HScrollPos;
    selectByKeyboard(program, "COMBO5", 7); // ×0.5
    QVERIFY(app.HScrollMax < farRight);
    QCOMPARE(app.HScrollPos, app.HScrollMax);
    QCOMPARE(app.VScrollPos, app.VScrollMax);
    QCOMPARE(program.widget<QScrollBar>("HSCROLL1")->value(), int(app.HScrollMax));
    QCOMPARE(picture(app), blockAtOrigin(app));
    QCOMPARE(picture(app).pixel(app.VisibleWidth - 1, app.VisibleHeight - 1), kBlack);
}

void TestView::magnificationListRebuildsAndShowsView()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(640, 480));
    QCOMPARE(app.ViewWidth, 660.0f);
    selectByKeyboard(program, "COMBO5", 7);
    QCOMPARE(app.Magnification, 0.5f);
    QCOMPARE(app.MagnificationIndex, int16_t(7));
    QCOMPARE(view(app).size(), QSize(340, 260));
    QCOMPARE(app.rt.IsWindowVisible(app.HSCROLL1), kFalse);
    QCOMPARE(program.widget("PICTURE1")->size(), QSize(340, 260));
    QCOMPARE(picture(app), view(app));
}

void TestView::resizeThatChangesNothingMovesNothing()
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

void TestView::fitFollowsTheWindowOnResize_data()
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
void TestView::fitFollowsTheWindowOnResize()
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

void TestView::windowSnapsToSmallestSize_data()
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

void TestView::windowSnapsToSmallestSize()
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

void TestView::rebuildResetsTrimmingState()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(640, 480));
    for (int category = 0; category <= kCategoryCount; ++category)
        app.CatFrameCount[category] = 4;
    app.rt.AddString(app.COMBO1, QStringLiteral("範囲1"));
    app.rt.EnableWindow(app.COMBO1, kTrue);
    app.rt.SetWindowText(app.BUTTON2, QStringLiteral("トリミング中止"));
    app.rt.SetWindowText(app.BUTTON3, QStringLiteral("修正完了"));
    for (Control control :
        { app.BUTTON2, app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12, app.COMBO2, app.BUTTON1 })
        app.rt.EnableWindow(control, kFalse);
    app.rt.EnableWindow(app.BUTTON3, kTrue);
    app.rt.EnableWindow(app.BUTTON4, kTrue);
    app.rt.SetMousePointer(app.PICTURE1, MousePointer::Modify);
    app.TrimState = TrimState::Placing;
    app.FrameListMode = FrameListMode::Drawn;
    app.HighlightDrawn = app.BandDrawn = app.SkipBandRedraw = kFlagSet;
    app.SelectedFrame = app.PreviousFrame = 3;
    app.GrabCode = grabCode(Qt::TopEdge | Qt::LeftEdge);
    app.BandEdgeMask = bandEdgeMask(Qt::TopEdge | Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    app.BandLeft = 7;

    selectByKeyboard(program, "COMBO5", 3);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
    QCOMPARE(app.rt.IsWindowEnabled(app.COMBO1), kFalse);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    QCOMPARE(app.rt.GetWindowText(app.BUTTON3), QStringLiteral("修正"));
    for (Control usable : { app.BUTTON1, app.BUTTON2, app.BUTTON5, app.BUTTON9, app.BUTTON11, app.BUTTON12,
             app.COMBO2, app.COMBO5 })
        QCOMPARE(app.rt.IsWindowEnabled(usable), kTrue);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON3), kFalse);
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON4), kFalse);
    QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), MousePointer::Default);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.FrameListMode, FrameListMode::NotDrawn);
    for (int16_t flag : { app.HighlightDrawn, app.BandDrawn, app.SkipBandRedraw })
        QCOMPARE(flag, kFlagClear);
    QCOMPARE(app.SelectedFrame, int16_t(0));
    QCOMPARE(app.PreviousFrame, int16_t(0));
    QCOMPARE(grabbedEdges(app.GrabCode), Qt::Edges());
    QCOMPARE(bandEdges(app.BandEdgeMask), Qt::Edges());
    for (int category = 0; category <= kCategoryCount; ++category)
        QCOMPARE(app.CatFrameCount[category], 0);
    QCOMPARE(app.BandLeft, kNoBand);
}

void TestView::scrollPutsDownPickedUpEdge_data()
{
    QTest::addColumn<TrimState>("trimState");
    QTest::addColumn<TrimState>("afterwards");
    QTest::addColumn<int>("pointer");
    // clang-format off
    QTest::newRow("edge picked up") << TrimState::Dragging << TrimState::Modifying << MousePointer::Modify;
    QTest::newRow("placing a frame") << TrimState::Placing << TrimState::Placing << MousePointer::Default;
    // clang-format on
}

void TestView::scrollPutsDownPickedUpEdge()
{
    QFETCH(TrimState, trimState);
    QFETCH(TrimState, afterwards);
    QFETCH(int, pointer);
    const Qt::Edges grabbed = Qt::TopEdge | Qt::RightEdge;
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(3000, 2000));
    for (const char* name : { "HSCROLL1", "VSCROLL1", "BUTTON1" }) {
        app.TrimState = trimState;
        app.GrabCode = grabCode(grabbed);
        app.rt.SetMousePointer(app.PICTURE1, MousePointer::Default);
        if (QScrollBar* scroll = program.widget<QScrollBar>(name))
            scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
        else
            QTest::mouseClick(program.widget(QString::fromLatin1(name)), Qt::LeftButton);
        program.runEvents();
        QCOMPARE(app.TrimState, afterwards);
        QCOMPARE(grabbedEdges(app.GrabCode), trimState == TrimState::Dragging ? Qt::Edges() : grabbed);
        QCOMPARE(app.rt.GetMousePointer(app.PICTURE1), pointer);
        QCOMPARE(picture(app), blockAtOrigin(app));
    }
}

void TestView::modifyRepaintKeepsOrigin()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    showImage(app, patternImage(3000, 2000));
    // A drag may have moved the origin away from the bar positions; modify mode keeps it.
    app.TrimState = TrimState::Modifying;
    app.ViewOriginX = 57;
    app.ViewOriginY = 31;
    CG_UP(app);
    QCOMPARE(app.VisibleLeft, 57.0f);
    QCOMPARE(app.VisibleBottom, 31.0f + app.VisibleHeight - 1);
    QCOMPARE(picture(app), view(app).copy(57, 31, app.VisibleWidth, app.VisibleHeight));
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
