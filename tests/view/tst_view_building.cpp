#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "fixture/UserActions.h"
#include "trimming/TrimmingStates.h"
#include "view/Layout.h"
#include "view/Magnification.h"
#include "view/Scrolling.h"
#include "view/ViewSupport.h"

#include <QTest>

namespace {

QImage solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

// The view built from the image at each magnification, and what a rebuild resets.
class TestViewBuilding : public QObject
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
    void magnificationListRebuildsAndShowsView();
    void rebuildResetsTrimmingState();
};

void TestViewBuilding::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// A load builds the view and the layout after it asks for it again: the view is kept while
// its inputs are the same and nothing was drawn into it; otherwise it is built anew, clean.
void TestViewBuilding::viewIsBuiltOnceForTheSameInputs()
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

void TestViewBuilding::actualSizeViewSharesTheSourceAndGivesItBack_data()
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
void TestViewBuilding::actualSizeViewSharesTheSourceAndGivesItBack()
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

void TestViewBuilding::magnification_data()
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

void TestViewBuilding::magnification()
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

void TestViewBuilding::viewHoldsImageInsideMarginAndBorder_data()
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

void TestViewBuilding::viewHoldsImageInsideMarginAndBorder()
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

void TestViewBuilding::thinLinesStayVisibleAtOneTenth()
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

void TestViewBuilding::viewWithoutSourceImageIsBlank_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QSize>("viewSize");
    // clang-format off
    QTest::newRow("等倍") << 0 << QSize(320, 220);
    QTest::newRow("×0.5") << 7 << QSize(170, 120);
    // clang-format on
}

void TestViewBuilding::viewWithoutSourceImageIsBlank()
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

void TestViewBuilding::magnificationListRebuildsAndShowsView()
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

void TestViewBuilding::rebuildResetsTrimmingState()
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

QTEST_MAIN(TestViewBuilding)
#include "tst_view_building.moc"
