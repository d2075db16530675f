#include "core/App.h"
#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>

namespace {

// A program with a sequence of three images registered and categories 1 and 2 valid, as a user
// gets it after "登録終了": the image is larger than the picture, so both bars show.
struct Registered
{
    TestProgram program;

    explicit Registered(int width = 1600, int height = 1200)
    {
        for (int n = 1; n <= 3; ++n)
            patternImage(width, height, n).save(program.path(QStringLiteral("IMG00%1.BMP").arg(n)), "BMP");
        program.start();
        registerSource(program, program.path(QStringLiteral("IMG001.BMP")), 2);
    }
    App& app() { return program.app(); }
    QWidget* picture() { return program.widget(QStringLiteral("PICTURE1")); }
    void clickAt(int x, int y) { clickOnPicture(program, QPoint(x, y)); }
    void place(int x1, int y1, int x2, int y2) { placeFrame(program, QPoint(x1, y1), QPoint(x2, y2)); }
    void key(QKeyCombination combination) { pressKey(program, "MAINFORM", combination); }
    void wheel(QPoint notches, Qt::KeyboardModifiers modifiers = {})
    {
        turnWheel(picture(), QPoint(100, 100), notches, modifiers);
        program.runEvents();
    }
};

// Beside the registered sequence: a folder "others" of two images (A1 first in the folder
// list's order), a folder "one" holding a single image and a file that is no image, and a
// folder "empty" with no image.
void writeDropSources(TestProgram& program)
{
    patternImage(90, 70, 7).save(
        makeFolder(program, QStringLiteral("others")) + QStringLiteral("b2.BMP"), "BMP");
    patternImage(80, 60, 8).save(program.path(QStringLiteral("others/A1.BMP")), "BMP");
    patternImage(110, 50, 9)
        .save(makeFolder(program, QStringLiteral("one")) + QStringLiteral("single.BMP"), "BMP");
    writeBytes(program.path(QStringLiteral("one/junk.BMP")), "no picture here");
    writeBytes(makeFolder(program, QStringLiteral("empty")) + QStringLiteral("notes.txt"), "text");
}

// What a load of a new source leaves for the user to see and use.
QStringList sourceState(TestProgram& program)
{
    App& app = program.app();
    QStringList state { app.CurrentFilePath, QString::number(int(app.LoadMode)), app.TitleText,
        QString::number(app.SrcIndex), app.SrcList.join(QLatin1Char('|')) };
    for (const char* button : { "BUTTON2", "BUTTON9", "BUTTON11", "BUTTON12" }) {
        const QWidget* widget = program.widget(QString::fromLatin1(button));
        state << QStringLiteral("%1 %2 %3")
                     .arg(QLatin1String(button))
                     .arg(widget->isVisible())
                     .arg(widget->isEnabled());
    }
    return state;
}

// What the wheel can change of a list: the entry chosen, and of a list box also how far it is
// scrolled.
QString wheelState(QWidget* control)
{
    if (const auto* combo = qobject_cast<QComboBox*>(control)) return QString::number(combo->currentIndex());
    const auto* list = qobject_cast<QListWidget*>(control);
    return QStringLiteral("%1 %2").arg(list->currentRow()).arg(list->verticalScrollBar()->value());
}

// Counts the wheel events that reach a widget.
class WheelCounter : public QObject
{
public:
    explicit WheelCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel) ++count;
        return false;
    }
};

// What the program makes of the lists of the main window: current category, magnification
// entry, frames of category 1 and the frame chosen.
QString listsFollowed(App& app)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(app.CurCat)
        .arg(app.rt.GetCurSel(app.COMBO5))
        .arg(app.CatFrameCount[1])
        .arg(app.rt.GetCurSel(app.COMBO1));
}

} // namespace

Q_DECLARE_METATYPE(QKeyCombination)

class TestWorkflow : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void keysRunTheirButtons_data();
    void keysRunTheirButtons();
    void keysOfUnusableButtonsDoNothing_data();
    void keysOfUnusableButtonsDoNothing();
    void tooltipsAndTheKeyListShowTheKeys();
    void escapeGivesUpTheFrameBeingPlaced_data();
    void escapeGivesUpTheFrameBeingPlaced();
    void wheelScrollsThroughTheBars_data();
    void wheelScrollsThroughTheBars();
    void magnificationByKeyOrWheelAsksBeforeDroppingFrames_data();
    void magnificationByKeyOrWheelAsksBeforeDroppingFrames();
    void listsTakeTheWheelOnlyWithTheFocus_data();
    void listsTakeTheWheelOnlyWithTheFocus();
    void noteAfterASaveNamesThePiecesAndLeavesThePicture();
    void noteSitsInTheStripBesideTheSaveButtons_data();
    void noteSitsInTheStripBesideTheSaveButtons();
    void noteEndsAtAnswerToADialogOrAClickOnIt_data();
    void noteEndsAtAnswerToADialogOrAClickOnIt();
    void closingWithUnsavedFramesAsksFirst_data();
    void closingWithUnsavedFramesAsksFirst();
    void dropLoadsAsTheButtonsWould_data();
    void dropLoadsAsTheButtonsWould();
    void dropOfWhatCannotBeShownKeepsTheImage_data();
    void dropOfWhatCannotBeShownKeepsTheImage();
    void dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled_data();
    void dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled();
    void dropChecksTheCategoriesAsFinishingTheRegistrationDoes_data();
    void dropChecksTheCategoriesAsFinishingTheRegistrationDoes();
    void framesOfAnInvalidCategoryCountAsNoFramesPlaced_data();
    void framesOfAnInvalidCategoryCountAsNoFramesPlaced();
};

void TestWorkflow::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestWorkflow::keysRunTheirButtons_data()
{
    QTest::addColumn<QString>("before"); // "frame": a frame is placed; "chosen": and chosen in the list
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("shows"); // the image on show afterwards
    QTest::addColumn<TrimState>("trimState");
    QTest::addColumn<int>("frames");
    // clang-format off
    QTest::newRow("PageDown saves and steps")     << "frame"  << QKeyCombination(Qt::Key_PageDown) << "IMG002.BMP" << TrimState::Idle << 0;
    QTest::newRow("F5 saves and reloads")         << "frame"  << QKeyCombination(Qt::Key_F5)       << "IMG001.BMP" << TrimState::Idle << 0;
    QTest::newRow("T starts trimming")            << ""       << QKeyCombination(Qt::Key_T)        << "IMG001.BMP" << TrimState::Armed << 0;
    QTest::newRow("Delete deletes the chosen")    << "chosen" << QKeyCombination(Qt::Key_Delete)   << "IMG001.BMP" << TrimState::Idle << 0;
    QTest::newRow("F2 modifies the chosen")       << "chosen" << QKeyCombination(Qt::Key_F2)       << "IMG001.BMP" << TrimState::Modifying << 1;
    // clang-format on
}

// A key does what a click on its button does.
void TestWorkflow::keysRunTheirButtons()
{
    QFETCH(QString, before);
    QFETCH(QKeyCombination, key);
    QFETCH(QString, shows);
    QFETCH(TrimState, trimState);
    QFETCH(int, frames);
    Registered scene;
    App& app = scene.app();
    if (!before.isEmpty()) scene.place(20, 20, 120, 90);
    if (before == QLatin1String("chosen")) chooseEntry(scene.program, "COMBO1", 0);
    scene.key(key);
    QCOMPARE(app.CurrentFileName, shows);
    QCOMPARE(app.TrimState, trimState);
    QCOMPARE(app.CatFrameCount[1], frames);
    if (key.key() == Qt::Key_PageDown)
        QVERIFY(QFile::exists(scene.program.path(QStringLiteral("CG01_001.BMP"))));
}

void TestWorkflow::keysOfUnusableButtonsDoNothing_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QKeyCombination>("key");
    // clang-format off
    QTest::newRow("PageDown while placing")           << "placing"      << QKeyCombination(Qt::Key_PageDown);
    QTest::newRow("Delete with no frame chosen")      << "frame"        << QKeyCombination(Qt::Key_Delete);
    QTest::newRow("T while a frame is chosen")        << "chosen"       << QKeyCombination(Qt::Key_T);
    QTest::newRow("Escape with nothing being placed") << "frame"        << QKeyCombination(Qt::Key_Escape);
    QTest::newRow("Escape with a frame chosen")       << "chosen"       << QKeyCombination(Qt::Key_Escape);
    QTest::newRow("a digit while placing")            << "placing"      << QKeyCombination(Qt::Key_2);
    QTest::newRow("F2 with no frame chosen")          << "frame"        << QKeyCombination(Qt::Key_F2);
    // clang-format on
}

// A key of a disabled button, or one that only has a meaning in another situation, changes
// nothing: neither the state nor what the picture shows.
void TestWorkflow::keysOfUnusableButtonsDoNothing()
{
    QFETCH(QString, situation);
    QFETCH(QKeyCombination, key);
    Registered scene;
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    if (situation == QLatin1String("placing")) scene.clickAt(200, 150);
    if (situation == QLatin1String("chosen")) chooseEntry(scene.program, "COMBO1", 0);
    const TrimState trimState = app.TrimState;
    const int16_t frames = app.CatFrameCount[1];
    const int16_t category = app.CurCat;
    const QImage shown = picture(app).copy();
    scene.key(key);
    QCOMPARE(app.TrimState, trimState);
    QCOMPARE(app.CatFrameCount[1], frames);
    QCOMPARE(app.CurCat, category);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(picture(app), shown);
    QCOMPARE(scene.program.dialogs().calls().size(), 0);
}

void TestWorkflow::tooltipsAndTheKeyListShowTheKeys()
{
    Registered scene;
    App& app = scene.app();
    QVERIFY(scene.program.widget(QStringLiteral("BUTTON9"))->toolTip().contains(QStringLiteral("PgDown")));
    const QString trimTip = scene.program.widget(QStringLiteral("BUTTON2"))->toolTip();
    QVERIFY2(trimTip.contains(QStringLiteral("(T)")) || trimTip.contains(QStringLiteral("（T）")),
        qPrintable(trimTip));
    QVERIFY2(trimTip.contains(QStringLiteral("Esc")), qPrintable(trimTip));

    // Escape gives up the frame being placed, as "トリミング中止" does.
    scene.clickAt(200, 150);
    QCOMPARE(app.TrimState, TrimState::Placing);
    scene.key(Qt::Key_Escape);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));

    // The digits choose the categories of the list.
    scene.key(Qt::Key_2);
    QCOMPARE(app.CurCat, int16_t(2));

    scene.key(Qt::Key_F1);
    QWidget* list = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("TEXTWINDOW") && window->isVisible()) list = window;
    QVERIFY(list);
    const QString keys = qobject_cast<QLabel*>(list)->text();
    for (const char* expected :
        { "PgDown", "PgUp", "F5", "Esc", "Del", "F2", "Ctrl+O", "Ctrl+-", "ホイール" })
        QVERIFY2(keys.contains(QString::fromUtf8(expected)), expected);
}

void TestWorkflow::escapeGivesUpTheFrameBeingPlaced_data()
{
    QTest::addColumn<QString>("begun"); // how placing the frame began
    QTest::addColumn<TrimState>("trimState"); // where placing stands when Escape is pressed
    // clang-format off
    QTest::newRow("with トリミング開始")                << "button"  << TrimState::Armed;
    QTest::newRow("with a press on the picture")        << "press"   << TrimState::Placing;
    QTest::newRow("from a frame chosen in the list")    << "chosen"  << TrimState::Placing;
    // clang-format on
}

// Escape gives up the frame being placed however placing began, also from a frame chosen in
// the frame list, where "トリミング中止" cannot be clicked: everything is as before it began.
void TestWorkflow::escapeGivesUpTheFrameBeingPlaced()
{
    QFETCH(QString, begun);
    QFETCH(TrimState, trimState);
    Registered scene;
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    if (begun == QLatin1String("chosen")) chooseEntry(scene.program, "COMBO1", 0);
    const auto controls = [&] {
        QStringList usable;
        for (const char* name : { "BUTTON1", "BUTTON2", "BUTTON3", "BUTTON4", "BUTTON5", "BUTTON9", "COMBO1",
                 "COMBO2", "COMBO5" })
            if (enabled(scene.program, name)) usable << QString::fromLatin1(name);
        return usable;
    };
    const QStringList usableBefore = controls();
    const QImage shownBefore = picture(app).copy();
    if (begun == QLatin1String("button"))
        click(scene.program, "BUTTON2");
    else
        scene.clickAt(200, 150);
    QCOMPARE(app.TrimState, trimState);

    scene.key(Qt::Key_Escape);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));
    QCOMPARE(app.CatFrameCount[1], 1);
    QCOMPARE(controls(), usableBefore);
    QCOMPARE(picture(app), shownBefore);
    // The next press on the picture sets the first corner of a new frame.
    scene.clickAt(200, 150);
    QCOMPARE(app.TrimState, TrimState::Placing);
}

void TestWorkflow::wheelScrollsThroughTheBars_data()
{
    QTest::addColumn<QPoint>("notches");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<int>("direction"); // +1: towards the end of the bar
    // clang-format off
    QTest::newRow("towards the user: down")       << QPoint(0, -2) << int(Qt::NoModifier)    << false << 1;
    QTest::newRow("Shift: right")                  << QPoint(0, -2) << int(Qt::ShiftModifier) << true  << 1;
    QTest::newRow("sideways wheel: right")         << QPoint(-2, 0) << int(Qt::NoModifier)    << true  << 1;
    // clang-format on
}

// The wheel moves a bar as the bar itself would: the picture shows the view at the bar's
// position, and a frame being placed keeps its band.
void TestWorkflow::wheelScrollsThroughTheBars()
{
    QFETCH(QPoint, notches);
    QFETCH(int, modifiers);
    QFETCH(bool, horizontal);
    QFETCH(int, direction);
    Registered scene;
    App& app = scene.app();
    auto* bar = scene.program.widget<QScrollBar>(horizontal ? "HSCROLL1" : "VSCROLL1");
    auto* other = scene.program.widget<QScrollBar>(horizontal ? "VSCROLL1" : "HSCROLL1");
    QVERIFY(bar->isVisible());
    scene.wheel(notches, Qt::KeyboardModifiers(modifiers));
    QVERIFY(bar->value() * direction > 0);
    QCOMPARE(other->value(), 0);
    QCOMPARE(horizontal ? app.HScrollPos : app.VScrollPos, int16_t(bar->value()));
    QCOMPARE(picture(app).copy(0, 0, app.VisibleWidth, app.VisibleHeight), blockAtOrigin(app));
    // Turning it back far enough stops at the start.
    scene.wheel(-notches * 50, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(picture(app).copy(0, 0, app.VisibleWidth, app.VisibleHeight), blockAtOrigin(app));
}

void TestWorkflow::magnificationByKeyOrWheelAsksBeforeDroppingFrames_data()
{
    QTest::addColumn<bool>("byWheel");
    QTest::addColumn<bool>("framePlaced");
    QTest::addColumn<int>("answer"); // 0: no question expected
    QTest::addColumn<int>("entry"); // the magnification entry afterwards
    // clang-format off
    QTest::newRow("key, no frame")        << false << false << 0                          << 1;
    QTest::newRow("wheel, no frame")      << true  << false << 0                          << 1;
    QTest::newRow("key, frame, no")       << false << true  << int(MessageAnswer::No)     << 0;
    QTest::newRow("wheel, frame, yes")    << true  << true  << int(MessageAnswer::Yes)    << 1;
    // clang-format on
}

void TestWorkflow::magnificationByKeyOrWheelAsksBeforeDroppingFrames()
{
    QFETCH(bool, byWheel);
    QFETCH(bool, framePlaced);
    QFETCH(int, answer);
    QFETCH(int, entry);
    Registered scene;
    App& app = scene.app();
    if (framePlaced) scene.place(20, 20, 120, 90);
    if (answer) scene.program.dialogs().answerMessage(answer);
    if (byWheel)
        scene.wheel(QPoint(0, -1), Qt::ControlModifier);
    else
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Minus));
    QCOMPARE(scene.program.dialogs().messages().size(), answer ? 1 : 0);
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), entry);
    QCOMPARE(app.CatFrameCount[1], framePlaced && entry == 0 ? 1 : 0);
    // One step back up: 等倍 again.
    if (entry == 1) {
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Equal));
        QCOMPARE(app.rt.GetCurSel(app.COMBO5), 0);
    }
}

void TestWorkflow::listsTakeTheWheelOnlyWithTheFocus_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("notches"); // towards an entry there is (or down a list box)
    QTest::addColumn<bool>("focused");
    QTest::addColumn<QString>("followed"); // listsFollowed afterwards; before: "1 0 2 1"
    // clang-format off
    QTest::newRow("frame list")                  << "COMBO1" << 1  << false << "1 0 2 1";
    QTest::newRow("frame list, focused")         << "COMBO1" << 1  << true  << "1 0 2 0";
    QTest::newRow("category list")               << "COMBO2" << -1 << false << "1 0 2 1";
    QTest::newRow("category list, focused")      << "COMBO2" << -1 << true  << "2 0 2 -1";
    QTest::newRow("magnification")               << "COMBO5" << -1 << false << "1 0 2 1";
    QTest::newRow("magnification, focused")      << "COMBO5" << -1 << true  << "1 1 0 -1";
    QTest::newRow("load fill")                   << "COMBO3" << 1  << false << "1 0 2 1";
    QTest::newRow("load fill, focused")          << "COMBO3" << 1  << true  << "1 0 2 1";
    QTest::newRow("save fill")                   << "COMBO4" << 1  << false << "1 0 2 1";
    QTest::newRow("save fill, focused")          << "COMBO4" << 1  << true  << "1 0 2 1";
    QTest::newRow("registration list")           << "LIST1"  << -1 << false << "1 0 2 1";
    QTest::newRow("registration list, focused")  << "LIST1"  << -1 << true  << "1 0 2 1";
    // clang-format on
}

// A wheel notch over a closed list that merely passes under the pointer changes nothing: only
// the list that has the keyboard focus takes the wheel, and then as it always did. The frames
// placed stay, and nothing is asked.
void TestWorkflow::listsTakeTheWheelOnlyWithTheFocus()
{
    QFETCH(QString, control);
    QFETCH(int, notches);
    QFETCH(bool, focused);
    QFETCH(QString, followed);
    Registered scene;
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    scene.place(150, 100, 250, 180);
    QWidget* list = scene.program.widget(control);
    if (list->window() != scene.program.widget(QStringLiteral("MAINFORM"))) click(scene.program, "BUTTON5");
    QVERIFY(list->isVisible() && list->isEnabled());
    list->window()->activateWindow();
    QTRY_VERIFY(list->window()->isActiveWindow());
    if (focused)
        list->setFocus(Qt::TabFocusReason);
    else
        list->clearFocus();
    QCOMPARE(list->hasFocus(), focused);
    const QString before = wheelState(list);
    const WheelCounter parent(list->parentWidget());

    turnWheel(list, list->rect().center(), QPoint(0, notches));
    scene.program.runEvents();
    QCOMPARE(wheelState(list) != before, focused);
    QCOMPARE(list->hasFocus(), focused);
    QCOMPARE(parent.count, focused ? 0 : 1); // where Qt sends a wheel that a widget leaves
    QCOMPARE(listsFollowed(app), followed);
    QCOMPARE(scene.program.dialogs().calls().size(), 0);
    QCOMPARE(app.CatFrameCount[1] > 0, control != QLatin1String("COMBO5") || !focused);
}

// After a save a note beside the save buttons says what was written where; it covers no pixel of the
// picture and goes at the next action.
void TestWorkflow::noteAfterASaveNamesThePiecesAndLeavesThePicture()
{
    Registered scene(400, 300);
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    chooseEntry(scene.program, "COMBO2", 1);
    scene.place(50, 60, 150, 160);
    click(scene.program, "BUTTON9");
    const QString note = app.rt.ShownNote();
    QVERIFY2(note.startsWith(QStringLiteral("2 枚を保存しました")), qPrintable(note));
    QVERIFY(note.contains(QStringLiteral("CG01_001.BMP（") + scene.program.dir() + QLatin1Char('/')));
    QVERIFY(note.contains(QStringLiteral("CG02_001.BMP（")));
    QCOMPARE(picture(app).copy(0, 0, app.VisibleWidth, app.VisibleHeight), blockAtOrigin(app));
    // The pointer passing over leaves it; the next click ends it.
    moveOnPicture(scene.program, QPoint(60, 60));
    QCOMPARE(app.rt.ShownNote(), note);
    scene.clickAt(60, 60);
    QCOMPARE(app.rt.ShownNote(), QString());
}

void TestWorkflow::noteSitsInTheStripBesideTheSaveButtons_data()
{
    QTest::addColumn<QString>("action"); // a button clicked, "PageDown" or "drop"
    QTest::addColumn<QString>("summary"); // the note's first line
    const QString saved = QStringLiteral("2 枚を保存しました");
    // clang-format off
    QTest::newRow("保存実行")                   << "BUTTON9"  << saved;
    QTest::newRow("PageDown")                   << "PageDown" << saved;
    QTest::newRow("保存後再読込")               << "BUTTON11" << saved;
    QTest::newRow("a drop while frames are placed") << "drop" << "枠を置いている間は、ドロップした画像を読み込みません";
    // clang-format on
}

// The user frames the next image at once, so the note after a save leaves the whole picture in
// sight: it sits in the strip, right of the save buttons, covering no control, and shows its
// summary as far as the room takes, the whole text in its tooltip.
void TestWorkflow::noteSitsInTheStripBesideTheSaveButtons()
{
    QFETCH(QString, action);
    QFETCH(QString, summary);
    Registered scene; // the image fills the picture area: no pixel below the strip is free
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    chooseEntry(scene.program, "COMBO2", 1);
    scene.place(50, 60, 150, 160);
    if (action == QLatin1String("drop"))
        QVERIFY(dropOnPicture(scene.program, scene.program.path(QStringLiteral("IMG003.BMP"))));
    else if (action == QLatin1String("PageDown"))
        scene.key(QKeyCombination(Qt::Key_PageDown));
    else
        click(scene.program, action.toLatin1().constData());
    const QString note = app.rt.ShownNote();
    QVERIFY2(note.startsWith(summary), qPrintable(note));

    QWidget* window = scene.program.widget(QStringLiteral("MAINFORM"));
    auto* label = scene.program.widget<QLabel>(QStringLiteral("qt_note"));
    QVERIFY(label && label->isVisible());
    const QRect noteRect(label->mapTo(window, QPoint(0, 0)), label->size());
    QVERIFY2(
        noteRect.bottom() < 24 && noteRect.right() < window->width(), qPrintable(QDebug::toString(noteRect)));
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (control != label && control->isVisible())
            QVERIFY2(!noteRect.intersects(control->geometry()), qPrintable(control->objectName()));
    // On screen the picture shows its surface pixel for pixel.
    QWidget* shown = scene.picture();
    QCOMPARE(window->grab(shown->geometry()).toImage().convertToFormat(QImage::Format_RGB32),
        picture(app).copy(shown->rect()));

    // One line: the summary leads, the rest follows as far as it fits.
    QString text = label->text();
    if (text.endsWith(QChar(0x2026))) text.chop(1);
    QVERIFY2(!text.isEmpty(), qPrintable(label->text()));
    QVERIFY2(QString(note).replace(QLatin1Char('\n'), QStringLiteral("　")).startsWith(text),
        qPrintable(label->text()));
    QCOMPARE(label->toolTip(), note);
}

void TestWorkflow::noteEndsAtAnswerToADialogOrAClickOnIt_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("message box answered") << "message";
    QTest::newRow("file chosen") << "file";
    QTest::newRow("folder chosen") << "folder";
    QTest::newRow("click on the note") << "click";
}

// Any action of the user ends the note after a save, also one the program's own events do not
// see: an answer to a dialog, a click on the note itself.
void TestWorkflow::noteEndsAtAnswerToADialogOrAClickOnIt()
{
    QFETCH(QString, action);
    Registered scene(400, 300);
    App& app = scene.app();
    scene.place(20, 20, 120, 90);
    click(scene.program, "BUTTON9");
    QVERIFY(!app.rt.ShownNote().isEmpty());
    const QString folder = scene.program.dir() + QLatin1Char('/');
    ScriptedDialogs& dialogs = scene.program.dialogs();
    if (action == QLatin1String("message")) {
        dialogs.answerMessage();
        app.rt.MessageBox(
            app.MAINFORM, QString(), QStringLiteral("?"), MessageButtons::Ok, MessageIcon::None);
    } else if (action == QLatin1String("file")) {
        dialogs.answerOpenFile(folder + QStringLiteral("IMG001.BMP"));
        app.rt.WinOpenDlg(app.MAINFORM, QStringLiteral("?"), folder, QStringLiteral("(*.BMP)"), 0);
    } else if (action == QLatin1String("folder")) {
        dialogs.answerFolder(folder);
        app.rt.WinSaveDlg(app.MAINFORM, QStringLiteral("?"), folder + QStringLiteral("DUMMY"), QString(), 0);
    } else {
        QTest::mouseClick(scene.program.widget(QStringLiteral("qt_note")), Qt::LeftButton);
        scene.program.runEvents();
    }
    QCOMPARE(app.rt.ShownNote(), QString());
    QVERIFY(!scene.program.widget(QStringLiteral("qt_note"))->isVisible());
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG002.BMP"));
}

void TestWorkflow::closingWithUnsavedFramesAsksFirst_data()
{
    QTest::addColumn<bool>("framePlaced");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ended");
    // clang-format off
    QTest::newRow("no frame: no question") << false << 0                       << true;
    QTest::newRow("frame, no")             << true  << int(MessageAnswer::No)  << false;
    QTest::newRow("frame, yes")            << true  << int(MessageAnswer::Yes) << true;
    // clang-format on
}

void TestWorkflow::closingWithUnsavedFramesAsksFirst()
{
    QFETCH(bool, framePlaced);
    QFETCH(int, answer);
    QFETCH(bool, ended);
    Registered scene;
    App& app = scene.app();
    if (framePlaced) scene.place(20, 20, 120, 90);
    if (answer) scene.program.dialogs().answerMessage(answer);
    closeMainWindow(scene.program);
    QCOMPARE(app.rt.Ended(), ended);
    QCOMPARE(scene.program.dialogs().messages().size(), answer ? 1 : 0);
    if (answer) {
        QCOMPARE(scene.program.dialogs().messages().first().text,
            QStringLiteral("保存していない枠があります。終了しますか？"));
        QCOMPARE(scene.program.dialogs().messages().first().buttons, int(MessageButtons::YesNo));
    }
    QCOMPARE(QFile::exists(scene.program.path(QStringLiteral("KANKYO.TXT"))), ended);
    if (!ended) QCOMPARE(app.CatFrameCount[1], 1); // everything as it was
}

void TestWorkflow::dropLoadsAsTheButtonsWould_data()
{
    QTest::addColumn<QString>("dropped"); // below the program's folder
    QTest::addColumn<QString>("chosen"); // the file the user chooses through the button instead
    QTest::addColumn<QString>("button"); // of the registration window
    QTest::addColumn<QString>("next"); // shown after "保存実行"
    // clang-format off
    QTest::newRow("an image file") << "one/single.BMP" << "one/single.BMP" << "BUTTON6"  << "single.BMP";
    QTest::newRow("a folder")      << "others"         << "others/A1.BMP"  << "BUTTON15" << "b2.BMP";
    // clang-format on
}

// A file dropped on the picture is shown as "直接ファイル名を指定して画像を読み込む" and
// "登録終了" show it; a folder as "全画像" with its first image chosen does: the same file,
// source mode, title, folder list and buttons, and "保存実行" goes on from there.
void TestWorkflow::dropLoadsAsTheButtonsWould()
{
    QFETCH(QString, dropped);
    QFETCH(QString, chosen);
    QFETCH(QString, button);
    QFETCH(QString, next);
    Registered byButton;
    writeDropSources(byButton.program);
    click(byButton.program, "BUTTON5");
    byButton.program.dialogs().answerOpenFile(byButton.program.path(chosen));
    click(byButton.program, button.toLatin1().constData());
    click(byButton.program, "BUTTON8");

    Registered byDrop;
    writeDropSources(byDrop.program);
    QVERIFY(dropOnPicture(byDrop.program, byDrop.program.path(dropped)));
    QCOMPARE(byDrop.program.dialogs().messages().size(), 0);
    const auto relative = [](TestProgram& program) {
        QStringList state = sourceState(program);
        return state.replaceInStrings(program.dir(), QStringLiteral("<dir>"));
    };
    QCOMPARE(relative(byDrop.program), relative(byButton.program));
    QCOMPARE(
        sourceImage(byDrop.app()), QImage(byDrop.program.path(chosen)).convertToFormat(QImage::Format_RGB32));

    byDrop.place(10, 10, 40, 30);
    click(byDrop.program, "BUTTON9");
    QCOMPARE(byDrop.app().CurrentFileName, next);
    QVERIFY(QFile::exists(byDrop.program.path(QStringLiteral("CG01_001.BMP"))));
}

void TestWorkflow::dropOfWhatCannotBeShownKeepsTheImage_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("message"); // title|text|icon
    // clang-format off
    QTest::newRow("a file that is no image") << "one/junk.BMP" << "junk.BMP|このファイルは表示できません|0";
    QTest::newRow("a file that is gone")     << "one/gone.BMP" << "gone.BMP|このファイルは存在しません|0";
    QTest::newRow("a folder with no image")  << "empty"        << "<dir>/empty|このフォルダには読み込める画像がありません|2";
    // clang-format on
}

// What the buttons refuse, a drop refuses with the same message; the registered source stays.
void TestWorkflow::dropOfWhatCannotBeShownKeepsTheImage()
{
    QFETCH(QString, dropped);
    QFETCH(QString, message);
    Registered scene;
    writeDropSources(scene.program);
    const QStringList before = sourceState(scene.program);
    scene.program.dialogs().answerMessage();
    QVERIFY(dropOnPicture(scene.program, scene.program.path(dropped)));
    QCOMPARE(
        messageLines(scene.program.dialogs()).replaceInStrings(scene.program.dir(), QStringLiteral("<dir>")),
        QStringList { message });
    QCOMPARE(sourceState(scene.program), before);
    click(scene.program, "BUTTON9");
    QCOMPARE(scene.app().CurrentFileName, QStringLiteral("IMG002.BMP"));
}

void TestWorkflow::dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("dragTaken"); // the pointer shows that a drop is possible
    // clang-format off
    QTest::newRow("a frame placed")             << "frame"        << true;
    QTest::newRow("a frame being placed")       << "placing"      << true;
    QTest::newRow("registration window open")   << "registration" << false;
    // clang-format on
}

// Loading would forget the frames, so with frames placed or being placed a drop only gets a
// note; behind the registration window the main window takes no drag at all.
void TestWorkflow::dropIsNotTakenWhileFramesArePlacedOrTheWindowIsDisabled()
{
    QFETCH(QString, situation);
    QFETCH(bool, dragTaken);
    Registered scene;
    App& app = scene.app();
    writeDropSources(scene.program);
    if (situation == QLatin1String("frame")) scene.place(20, 20, 120, 90);
    if (situation == QLatin1String("placing")) scene.clickAt(20, 20);
    if (situation == QLatin1String("registration")) click(scene.program, "BUTTON5");
    const TrimState trimState = app.TrimState;
    const QImage viewBefore = view(app);
    QCOMPARE(dropOnPicture(scene.program, scene.program.path(QStringLiteral("one/single.BMP"))), dragTaken);
    QCOMPARE(app.CurrentFileName, QStringLiteral("IMG001.BMP"));
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.TrimState, trimState);
    QCOMPARE(view(app), viewBefore);
    QCOMPARE(app.rt.ShownNote().isEmpty(), !dragTaken);
    if (situation == QLatin1String("frame")) QCOMPARE(app.CatFrameCount[1], 1);
}

void TestWorkflow::dropChecksTheCategoriesAsFinishingTheRegistrationDoes_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message"); // title|text|icon; none: the drop is loaded
    // clang-format off
    QTest::newRow("first run, no valid category") << "first run"
        << "分類設定エラー|全ての分類の設定が有効ではありません|2";
    QTest::newRow("save folder gone")             << "folder gone"
        << "保存先エラー　[<dir>/out/]|分類 1には保存フォルダーがありません|2";
    QTest::newRow("valid category and folder")    << "registered" << "";
    // clang-format on
}

// A drop loads only where "登録終了" would: with a valid category whose save folder is there.
// Otherwise it says what "登録終了" says and loads nothing, and the registration window stays
// closed. What a drop loads is saved into the category's folder.
void TestWorkflow::dropChecksTheCategoriesAsFinishingTheRegistrationDoes()
{
    QFETCH(QString, situation);
    QFETCH(QString, message);
    TestProgram program;
    writeDropSources(program);
    patternImage(160, 120, 1).save(program.path(QStringLiteral("IMG001.BMP")), "BMP");
    program.start();
    const QString out = makeFolder(program, QStringLiteral("out"));
    if (situation != QLatin1String("first run")) {
        click(program, "BUTTON5");
        clickValidBox(program);
        program.dialogs().answerFolder(out);
        click(program, "BUTTON10");
        program.dialogs().answerOpenFile(program.path(QStringLiteral("IMG001.BMP")));
        click(program, "BUTTON7");
        click(program, "BUTTON8");
        program.dialogs().clearCalls();
    }
    if (situation == QLatin1String("folder gone")) QVERIFY(QDir(out).removeRecursively());
    const QStringList before = sourceState(program);
    if (!message.isEmpty()) program.dialogs().answerMessage();

    QVERIFY(dropOnPicture(program, program.path(QStringLiteral("one/single.BMP"))));
    QCOMPARE(messageLines(program.dialogs()).replaceInStrings(program.dir(), QStringLiteral("<dir>")),
        message.isEmpty() ? QStringList() : QStringList { message });
    QVERIFY(!shown(program, "FORM2"));
    QVERIFY(enabled(program, "BUTTON5"));
    if (!message.isEmpty()) {
        QCOMPARE(sourceState(program), before);
        return;
    }
    QCOMPARE(program.app().CurrentFileName, QStringLiteral("single.BMP"));
    QVERIFY(shown(program, "BUTTON9") && enabled(program, "BUTTON9"));
    placeFrame(program, QPoint(15, 15), QPoint(40, 30));
    click(program, "BUTTON9");
    QCOMPARE(filesIn(out), QStringList { QStringLiteral("CG01_001.BMP") });
}

void TestWorkflow::framesOfAnInvalidCategoryCountAsNoFramesPlaced_data()
{
    QTest::addColumn<int>("invalidated"); // the category made invalid; the frame is in category 1
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("framesPlaced"); // the frame counts as placed
    // clang-format off
    QTest::newRow("frame in the invalid category: drop")          << 1 << "drop"    << false;
    QTest::newRow("frame in the invalid category: close")         << 1 << "close"   << false;
    QTest::newRow("frame in the invalid category: magnification") << 1 << "magnify" << false;
    QTest::newRow("frame in a valid category: drop")              << 2 << "drop"    << true;
    QTest::newRow("frame in a valid category: close")             << 2 << "close"   << true;
    QTest::newRow("frame in a valid category: magnification")     << 2 << "magnify" << true;
    // clang-format on
}

// A frame left in a category made invalid in the registration window (where "登録終了" could not
// load the source, so the frames stayed) is neither shown nor saved: it keeps no drop out, and
// neither closing nor a new magnification asks for it. A frame a save would write does, as ever.
void TestWorkflow::framesOfAnInvalidCategoryCountAsNoFramesPlaced()
{
    QFETCH(int, invalidated);
    QFETCH(QString, action);
    QFETCH(bool, framesPlaced);
    Registered scene;
    App& app = scene.app();
    writeDropSources(scene.program);
    scene.place(20, 20, 120, 90);
    click(scene.program, "BUTTON5");
    selectRow(scene.program, invalidated - 1);
    clickValidBox(scene.program);
    QVERIFY(QFile::remove(scene.program.path(QStringLiteral("IMG001.BMP"))));
    scene.program.dialogs().answerMessage();
    click(scene.program, "BUTTON8");
    QVERIFY(!shown(scene.program, "FORM2"));
    QCOMPARE(app.CatValid[size_t(invalidated)], kFlagClear);
    QCOMPARE(app.CatFrameCount[1], 1);
    scene.program.dialogs().clearCalls();

    if (framesPlaced && action != QLatin1String("drop"))
        scene.program.dialogs().answerMessage(MessageAnswer::No);
    if (action == QLatin1String("drop")) {
        QVERIFY(dropOnPicture(scene.program, scene.program.path(QStringLiteral("one/single.BMP"))));
        QCOMPARE(
            app.CurrentFileName, framesPlaced ? QStringLiteral("IMG001.BMP") : QStringLiteral("single.BMP"));
        QCOMPARE(app.rt.ShownNote().isEmpty(), !framesPlaced);
    } else if (action == QLatin1String("close")) {
        closeMainWindow(scene.program);
        QCOMPARE(app.rt.Ended(), !framesPlaced);
    } else {
        scene.key(QKeyCombination(Qt::ControlModifier, Qt::Key_Minus));
        QCOMPARE(app.rt.GetCurSel(app.COMBO5), framesPlaced ? 0 : 1);
    }
    QCOMPARE(
        scene.program.dialogs().messages().size(), framesPlaced && action != QLatin1String("drop") ? 1 : 0);
    if (framesPlaced) QCOMPARE(app.CatFrameCount[1], 1);
}

QTEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
