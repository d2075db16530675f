#include "fixture/Images.h"
#include "fixture/UserActions.h"
#include "trimming/TrimmingStates.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"
#include "view/ViewGeometry.h"
#include "view/ViewSupport.h"

#include <QScrollBar>
#include <QTest>

#include <optional>

namespace {

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

} // namespace

// Scrolling the view by the bars and the corner button: the range, and the block the picture shows.
class TestScrolling : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void scrollRange_data();
    void scrollRange();
    void scrollShowsBlockAtOrigin_data();
    void scrollShowsBlockAtOrigin();
    void largeViewScrollsInCoarseSteps();
    void cornerButtonJumpsAndToggles();
    void keptPositionBeyondNewRangeIsClamped();
    void scrollPutsDownPickedUpEdge_data();
    void scrollPutsDownPickedUpEdge();
    void modifyRepaintKeepsOrigin();
};

void TestScrolling::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestScrolling::scrollRange_data()
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

void TestScrolling::scrollRange()
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

void TestScrolling::scrollShowsBlockAtOrigin_data()
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

void TestScrolling::scrollShowsBlockAtOrigin()
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

void TestScrolling::largeViewScrollsInCoarseSteps()
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

void TestScrolling::cornerButtonJumpsAndToggles()
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

void TestScrolling::keptPositionBeyondNewRangeIsClamped()
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

void TestScrolling::scrollPutsDownPickedUpEdge_data()
{
    QTest::addColumn<TrimState>("trimState");
    QTest::addColumn<TrimState>("afterwards");
    QTest::addColumn<int>("pointer");
    // clang-format off
    QTest::newRow("edge picked up") << TrimState::Dragging << TrimState::Modifying << MousePointer::Modify;
    QTest::newRow("placing a frame") << TrimState::Placing << TrimState::Placing << MousePointer::Default;
    // clang-format on
}

void TestScrolling::scrollPutsDownPickedUpEdge()
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

void TestScrolling::modifyRepaintKeepsOrigin()
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

QTEST_MAIN(TestScrolling)
#include "tst_scrolling.moc"
