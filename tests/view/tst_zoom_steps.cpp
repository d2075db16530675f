#include "fixture/Images.h"
#include "fixture/UserActions.h"
#include "view/Magnification.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTest>

#include <cmath>

namespace {

// The picture area of every case: the fits of an image follow from its size in this area.
constexpr int kAreaWidth = 900, kAreaHeight = 600;
constexpr int kFitMargins = 30; // the view's margins and a little room, which a fit leaves free

QString chosenEntry(TestProgram& program)
{
    return program.widget<QComboBox>(QStringLiteral("COMBO5"))->currentText();
}

void chooseMagnification(TestProgram& program, const QString& caption)
{
    auto* list = program.widget<QComboBox>(QStringLiteral("COMBO5"));
    chooseEntry(program, "COMBO5", list->findText(caption));
}

// The entries the program goes through from `start`, a step at a time with Ctrl+minus or
// Ctrl+plus, until a step changes nothing any more.
QStringList stepsFrom(TestProgram& program, const QString& start, Qt::Key key)
{
    chooseMagnification(program, start);
    QStringList steps { chosenEntry(program) };
    for (int step = 0; step < 16; ++step) {
        pressKey(program, "MAINFORM", QKeyCombination(Qt::ControlModifier, key));
        if (chosenEntry(program) == steps.last()) break;
        steps << chosenEntry(program);
    }
    return steps;
}

// The image point under a point of the picture, in the image's own pixels.
QPointF imagePointAt(const App& app, QPoint onPicture)
{
    return (QPointF(app.ViewOriginX, app.ViewOriginY) + QPointF(onPicture) - QPointF(kViewMargin, kViewMargin))
        / app.Magnification;
}

} // namespace

// Ctrl+wheel and Ctrl+plus/minus step the magnification by the scale it gives the image on show,
// and keep the image where the user looks at it.
class TestZoomSteps : public QObject
{
    Q_OBJECT
private slots:
    void stepsGoByScale_data();
    void stepsGoByScale();
    void pointUnderThePointerStays_data();
    void pointUnderThePointerStays();
};

void TestZoomSteps::stepsGoByScale_data()
{
    QTest::addColumn<double>("fitHeight"); // the scale 縦合わせ gives the image; 1: it fits as it is
    QTest::addColumn<double>("fitWidth"); // the scale 横合わせ gives it
    QTest::addColumn<QString>("smaller"); // the entries from 等倍 down, a step each
    const QString fixed = QStringLiteral("×０.９ ×０.８ ×０.７ ×０.６ ×０.５ ×０.４ ×０.３ ×０.２ ×０.１");
    // clang-format off
    QTest::newRow("tall page")             << 0.45 << 1.0  << "等倍 ×０.９ ×０.８ ×０.７ ×０.６ ×０.５ 縦合わせ ×０.４ ×０.３ ×０.２ ×０.１";
    QTest::newRow("wide panorama")         << 0.85 << 0.25 << "等倍 ×０.９ 縦合わせ ×０.８ ×０.７ ×０.６ ×０.５ ×０.４ ×０.３ 横合わせ ×０.２ ×０.１";
    QTest::newRow("scan wider than high")  << 0.35 << 0.55 << "等倍 ×０.９ ×０.８ ×０.７ ×０.６ 横合わせ ×０.５ ×０.４ 縦合わせ ×０.３ ×０.２ ×０.１";
    QTest::newRow("fits as it is")         << 1.0  << 1.0  << "等倍 " + fixed;
    QTest::newRow("fit equal to ×0.5")     << 0.5  << 1.0  << "等倍 " + fixed;
    QTest::newRow("both fits in one gap")  << 0.42 << 0.47 << "等倍 ×０.９ ×０.８ ×０.７ ×０.６ ×０.５ 横合わせ 縦合わせ ×０.４ ×０.３ ×０.２ ×０.１";
    // clang-format on
}

// From 等倍 each step down shows the image smaller, the fits in the places their scale gives
// them; a fit that shows the image as a fixed entry does is passed over, and where nothing is
// smaller the step stays. Up from the smallest the steps come back the same way, and from a fit
// a step goes to its neighbour by scale, not by its place in the list.
void TestZoomSteps::stepsGoByScale()
{
    QFETCH(double, fitHeight);
    QFETCH(double, fitWidth);
    QFETCH(QString, smaller);
    TestProgram program;
    program.start();
    App& app = program.app();
    setPictureArea(program, kAreaWidth, kAreaHeight);
    const auto sideFor = [](int room, double fit) {
        return fit >= 1.0 ? room / 2 : int(std::lround((room - kFitMargins) / fit));
    };
    showImage(app, patternImage(sideFor(kAreaWidth, fitWidth), sideFor(kAreaHeight, fitHeight)));

    const QStringList down = smaller.split(QLatin1Char(' '));
    QCOMPARE(stepsFrom(program, QStringLiteral("等倍"), Qt::Key_Minus), down);
    QStringList up(down.rbegin(), down.rend());
    QCOMPARE(stepsFrom(program, up.first(), Qt::Key_Plus), up);
    for (const QString fit : { QStringLiteral("縦合わせ"), QStringLiteral("横合わせ") }) {
        const qsizetype at = down.indexOf(fit);
        if (at <= 0 || at + 1 >= down.size()) continue;
        QCOMPARE(stepsFrom(program, fit, Qt::Key_Minus).value(1), down[at + 1]);
        QCOMPARE(stepsFrom(program, fit, Qt::Key_Plus).value(1), down[at - 1]);
    }
}

void TestZoomSteps::pointUnderThePointerStays_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("notches"); // the wheel's turn with Ctrl: away from the user enlarges; 0: the key
    QTest::addColumn<QPoint>("pointer"); // where on the picture; the key keeps the picture's centre
    QTest::addColumn<QString>("to");
    // clang-format off
    QTest::newRow("wheel down from 等倍")       << "等倍"   << -1 << QPoint(700, 400) << "×０.９";
    QTest::newRow("wheel up to 等倍")           << "×０.９" << 1  << QPoint(150, 500) << "等倍";
    QTest::newRow("wheel up from ×0.5")         << "×０.５" << 1  << QPoint(420, 260) << "×０.６";
    QTest::newRow("wheel down from ×0.4")       << "×０.４" << -1 << QPoint(300, 200) << "×０.３";
    QTest::newRow("Ctrl+plus from ×0.8")        << "×０.８" << 0  << QPoint()         << "×０.９";
    // clang-format on
}

// The image point under the pointer is under the pointer after the step, to the pixel the new
// scale allows, as the key keeps the point under the picture's centre; the picture then shows
// the view where the bars stand.
void TestZoomSteps::pointUnderThePointerStays()
{
    QFETCH(QString, from);
    QFETCH(int, notches);
    QFETCH(QPoint, pointer);
    QFETCH(QString, to);
    TestProgram program;
    program.start();
    App& app = program.app();
    setPictureArea(program, kAreaWidth, kAreaHeight);
    showImage(app, patternImage(4000, 3000));
    chooseMagnification(program, from);
    scrollTo(program, "HSCROLL1", program.widget<QScrollBar>("HSCROLL1")->maximum() / 3);
    scrollTo(program, "VSCROLL1", program.widget<QScrollBar>("VSCROLL1")->maximum() / 2);
    QWidget* pictureWidget = program.widget(QStringLiteral("PICTURE1"));
    const QPoint onPicture = notches ? pointer : QPoint(app.VisibleWidth / 2, app.VisibleHeight / 2);
    const QPointF looked = imagePointAt(app, onPicture);
    const QPoint onWindow = pictureWidget->mapTo(pictureWidget->window(), onPicture);

    if (notches)
        turnWheel(pictureWidget, pointer, QPoint(0, notches * 1), Qt::ControlModifier);
    else
        pressKey(program, "MAINFORM", QKeyCombination(Qt::ControlModifier, Qt::Key_Plus));
    program.runEvents();
    QCOMPARE(chosenEntry(program), to);
    const QPoint after = notches ? pictureWidget->mapFrom(pictureWidget->window(), onWindow)
                                 : QPoint(app.VisibleWidth / 2, app.VisibleHeight / 2);
    const QPointF shown = imagePointAt(app, after);
    const double reach = 1.0 / app.Magnification + 1.0; // a view pixel, and the bars' whole pixels
    QVERIFY2(std::abs(shown.x() - looked.x()) <= reach && std::abs(shown.y() - looked.y()) <= reach,
        qPrintable(QStringLiteral("looked at (%1, %2), now (%3, %4)")
                .arg(looked.x())
                .arg(looked.y())
                .arg(shown.x())
                .arg(shown.y())));
    QCOMPARE(picture(app), blockAtOrigin(app));
}

QTEST_MAIN(TestZoomSteps)
#include "tst_zoom_steps.moc"
