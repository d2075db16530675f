#include "categories/SavingSupport.h"
#include "fixture/Files.h"
#include "fixture/UserActions.h"

#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <cmath>

// Run once for each screen scale the test is started with (QT_SCALE_FACTOR 1, 1.5 and 2).

namespace {

// The screen's pixels per logical pixel, and how many of them one pixel of the picture takes
// along each side: the whole part of the scale.
double screenScale(QWidget* widget)
{
    return widget->devicePixelRatioF();
}
int devicePixelsPerPicturePixel(QWidget* widget)
{
    return std::max(1, int(std::floor(screenScale(widget) + 1e-9)));
}

// The first device pixel of the window that the picture covers whole: at a fractional scale the
// picture may begin inside one.
QPoint pictureOnScreen(QWidget* picture)
{
    const QPointF place = QPointF(picture->mapTo(picture->window(), QPoint(0, 0))) * screenScale(picture);
    return { int(std::ceil(place.x() - 1e-6)), int(std::ceil(place.y() - 1e-6)) };
}

// A press or release at a point given in the screen's pixels, counted from the picture's first
// device pixel, delivered to the main window's QWindow as the window system delivers it: a whole
// device pixel of the window, in logical coordinates, which at a fractional scale are fractional.
void mouseAtDevicePoint(QWidget* picture, QPoint device, QEvent::Type type, Qt::MouseButtons held)
{
    QWindow* window = picture->window()->windowHandle();
    const QPointF inWindow = QPointF(pictureOnScreen(picture) + device) / screenScale(picture);
    const QPointF global = QPointF(window->mapToGlobal(QPoint(0, 0))) + inWindow;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QTest::lastMouseTimestamp += 20;
    qt_handleMouseEvent(window, inWindow, global, held, button, type, Qt::NoModifier, QTest::lastMouseTimestamp);
    QCoreApplication::processEvents();
}

void clickAtDevicePoint(TestProgram& program, QWidget* picture, QPoint device)
{
    mouseAtDevicePoint(picture, device, QEvent::MouseButtonPress, Qt::LeftButton);
    mouseAtDevicePoint(picture, device, QEvent::MouseButtonRelease, Qt::NoButton);
    program.runEvents();
}

} // namespace

// On a screen scaled by Qt the scan is shown in the screen's own pixels, and a frame placed by
// the pointer cuts exactly the pixels under the points clicked.
class TestScreenScale : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void pictureShowsTheViewPixelForPixel();
    void framePlacedAtScreenPointsCutsThePixelsUnderThem_data();
    void framePlacedAtScreenPointsCutsThePixelsUnderThem();
    void captionsScaleAsQtScalesThem();
};

void TestScreenScale::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

// Every device pixel of the picture on screen shows the view pixel it stands for, undimmed and
// unblended: one device pixel per view pixel, or a square of them at a scale of 2.
void TestScreenScale::pictureShowsTheViewPixelForPixel()
{
    TestProgram program;
    const QImage scan = noiseImage(900, 700, 3);
    scan.save(program.path(QStringLiteral("IMG001.BMP")), "BMP");
    program.start();
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    App& app = program.app();
    QCOMPARE(app.Magnification, 1.0f);
    QWidget* picture = program.widget(QStringLiteral("PICTURE1"));
    const int k = devicePixelsPerPicturePixel(picture);
    qInfo("screen scale %g: %d device pixels per picture pixel", screenScale(picture), k);

    // The window as it goes to the screen, in device pixels; the picture begins at the first
    // whole device pixel of its place, which at a fractional scale may begin inside one.
    QWidget* window = picture->window();
    const QImage onScreen = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = pictureOnScreen(picture);
    qInfo("picture from device pixel (%d, %d)", origin.x(), origin.y());
    const QImage shown = blockAtOrigin(app);
    QVERIFY(onScreen.rect().contains(QRect(origin, QSize(app.VisibleWidth * k, app.VisibleHeight * k))));
    int wrong = 0;
    for (int y = 0; y < app.VisibleHeight * k; ++y)
        for (int x = 0; x < app.VisibleWidth * k; ++x)
            wrong += onScreen.pixel(origin + QPoint(x, y)) != shown.pixel(x / k, y / k);
    QCOMPARE(wrong, 0);
}

void TestScreenScale::framePlacedAtScreenPointsCutsThePixelsUnderThem_data()
{
    // Device pixels counted from the picture's first; the expected block is that of the picture
    // pixels they lie on. The last device pixel of a picture pixel must not round to the next.
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("second");
    QTest::newRow("first device pixels of their picture pixels") << QPoint(60, 80) << QPoint(300, 260);
    QTest::newRow("last device pixels of their picture pixels") << QPoint(61, 81) << QPoint(301, 261);
    QTest::newRow("odd and even mixed") << QPoint(101, 40) << QPoint(222, 333);
}

void TestScreenScale::framePlacedAtScreenPointsCutsThePixelsUnderThem()
{
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    TestProgram program;
    const QImage scan = noiseImage(900, 700, 5);
    scan.save(program.path(QStringLiteral("IMG001.BMP")), "BMP");
    scan.save(program.path(QStringLiteral("IMG002.BMP")), "BMP");
    program.start();
    registerSource(program, program.path(QStringLiteral("IMG001.BMP")));
    App& app = program.app();
    app.CatFolder[1] = program.dir() + QLatin1Char('/');
    QWidget* picture = program.widget(QStringLiteral("PICTURE1"));
    const int k = devicePixelsPerPicturePixel(picture);

    clickAtDevicePoint(program, picture, first);
    mouseAtDevicePoint(picture, second, QEvent::MouseMove, Qt::NoButton);
    clickAtDevicePoint(program, picture, second);
    QCOMPARE(app.CatFrameCount[1], int16_t(1));
    click(program, "BUTTON9");

    const QPoint origin(int(app.ViewOriginX), int(app.ViewOriginY));
    const QRect frame(origin + QPoint(first.x() / k, first.y() / k), origin + QPoint(second.x() / k, second.y() / k));
    verifyPiece(program.path(QStringLiteral("CG01_001.BMP")), scan, blockOf(frame));
}

// The controls keep their designed logical sizes, which Qt enlarges on the screen with their
// captions: the caption of "ファイル" covers as many device pixels more as the scale says.
void TestScreenScale::captionsScaleAsQtScalesThem()
{
    TestProgram program;
    program.start();
    auto* button = program.widget<QPushButton>(QStringLiteral("BUTTON5"));
    const double scale = screenScale(button);
    QCOMPARE(button->size(), QSize(64, 24)); // as designed
    const QImage drawn = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(drawn.size(), (QSizeF(button->size()) * scale).toSize());
    // The caption's dark pixels: their count grows with the square of the scale.
    int dark = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            dark += qGray(drawn.pixel(x, y)) < 96;
    const double atScaleOne = dark / (scale * scale);
    qInfo("dark caption pixels: %d, %.0f per scale squared", dark, atScaleOne);
    QVERIFY2(dark > 40 * scale * scale, qPrintable(QString::number(dark)));
}

QTEST_MAIN(TestScreenScale)
#include "tst_screen_scale.moc"
