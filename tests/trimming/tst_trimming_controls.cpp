#include "fixture/Images.h"
#include "fixture/Scene.h"
#include "fixture/UserActions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHash>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>

// Which controls trimming leaves usable in each situation: a disabled one changes nothing, and every
// situation can be left.
class TestTrimmingControls : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void controlSets();
    void inputOnDisabledControlsDoesNothing_data();
    void inputOnDisabledControlsDoesNothing();
    void doubleClickActsAsTwoClicks_data();
    void doubleClickActsAsTwoClicks();
    void everyTrimmingSituationCanBeLeft();
};

void TestTrimmingControls::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestTrimmingControls::controlSets()
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

void TestTrimmingControls::inputOnDisabledControlsDoesNothing_data()
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

void TestTrimmingControls::inputOnDisabledControlsDoesNothing()
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

void TestTrimmingControls::doubleClickActsAsTwoClicks_data()
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

void TestTrimmingControls::doubleClickActsAsTwoClicks()
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
void TestTrimmingControls::everyTrimmingSituationCanBeLeft()
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

QTEST_MAIN(TestTrimmingControls)
#include "tst_trimming_controls.moc"
