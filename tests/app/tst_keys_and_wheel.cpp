#include "app/WorkflowSupport.h"
#include "core/App.h"
#include "fixture/Images.h"
#include "fixture/Readers.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QTest>
#include <QWindow>

#include <map>

namespace {

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

// The key lists on show: top-level windows of their own.
QList<QWidget*> shownKeyLists()
{
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("TABLEWINDOW") && window->isVisible()) shown << window;
    return shown;
}

QWidget* shownKeyList()
{
    const QList<QWidget*> shown = shownKeyLists();
    return shown.size() == 1 ? shown.first() : nullptr;
}

// The labels of one column of the key list's grid below its heading, top to bottom.
QList<QLabel*> column(QWidget* keyList, int index)
{
    QList<QLabel*> cells;
    const QGridLayout* grid = keyList->findChild<QGridLayout*>();
    for (int row = 1; grid && row < grid->rowCount(); ++row) {
        const QLayoutItem* item = grid->itemAtPosition(row, index);
        if (item) cells << qobject_cast<QLabel*>(item->widget());
    }
    return cells;
}

// Each key a user reads in the key column, with the action of its row, in the list's order.
QList<QPair<QString, QString>> keysWithActions(QWidget* keyList)
{
    QList<QPair<QString, QString>> pairs;
    const QList<QLabel*> keys = column(keyList, 0);
    const QList<QLabel*> does = column(keyList, 1);
    for (qsizetype row = 0; row < keys.size() && row < does.size(); ++row) {
        const QString cell = keys[row]->text();
        // The digits' row "1〜9, 0" is one entry; other cells separate their keys by commas.
        const QStringList parts
            = cell.contains(QStringLiteral("〜")) ? QStringList { cell } : cell.split(QStringLiteral(", "));
        for (const QString& key : parts)
            pairs.append({ key, does[row]->text() });
    }
    return pairs;
}

} // namespace

Q_DECLARE_METATYPE(QKeyCombination)

// The keys of the main window run its buttons; the wheel scrolls the picture, and a list takes it
// only with the focus.
class TestKeysAndWheel : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void keysRunTheirButtons_data();
    void keysRunTheirButtons();
    void keysOfUnusableButtonsDoNothing_data();
    void keysOfUnusableButtonsDoNothing();
    void tooltipsShowTheKeys();
    void keyListHasOneAlignedRowPerAction();
    void keyListClosesWithEscapeOrItsCloseBox_data();
    void keyListClosesWithEscapeOrItsCloseBox();
    void keyListIsOneWindowThatBlocksNothing();
    void escapeGivesUpTheFrameBeingPlaced_data();
    void escapeGivesUpTheFrameBeingPlaced();
    void wheelScrollsThroughTheBars_data();
    void wheelScrollsThroughTheBars();
    void listsTakeTheWheelOnlyWithTheFocus_data();
    void listsTakeTheWheelOnlyWithTheFocus();
};

void TestKeysAndWheel::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestKeysAndWheel::keysRunTheirButtons_data()
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
void TestKeysAndWheel::keysRunTheirButtons()
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

void TestKeysAndWheel::keysOfUnusableButtonsDoNothing_data()
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
void TestKeysAndWheel::keysOfUnusableButtonsDoNothing()
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

void TestKeysAndWheel::tooltipsShowTheKeys()
{
    Registered scene;
    App& app = scene.app();
    QVERIFY(scene.program.widget(QStringLiteral("BUTTON9"))->toolTip().contains(QStringLiteral("PgDown")));
    const QString trimTip = scene.program.widget(QStringLiteral("BUTTON2"))->toolTip();
    QVERIFY2(trimTip.contains(QStringLiteral("(T)")) || trimTip.contains(QStringLiteral("（T）")),
        qPrintable(trimTip));
    QVERIFY2(trimTip.contains(QStringLiteral("Esc")), qPrintable(trimTip));
    for (const char* expected : { "枠を自動で置く（A）", "前の画像の枠を置く（Ctrl+V）" })
        QVERIFY2(trimTip.contains(QString::fromUtf8(expected)), qPrintable(trimTip));
    const QString modifyTip = scene.program.widget(QStringLiteral("BUTTON3"))->toolTip();
    QVERIFY2(modifyTip.contains(QStringLiteral("枠を中身に合わせる（S）")), qPrintable(modifyTip));

    // Escape gives up the frame being placed, as "トリミング中止" does.
    scene.clickAt(200, 150);
    QCOMPARE(app.TrimState, TrimState::Placing);
    scene.key(Qt::Key_Escape);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(app.rt.GetWindowText(app.BUTTON2), QStringLiteral("トリミング開始"));

    // The digits choose the categories of the list.
    scene.key(Qt::Key_2);
    QCOMPARE(app.CurCat, int16_t(2));
}

// F1 lists every key of the main window, one row per action in two columns that line up, the
// digits as one row, the wheel below.
void TestKeysAndWheel::keyListHasOneAlignedRowPerAction()
{
    Registered scene;
    scene.key(Qt::Key_F1);
    QWidget* list = shownKeyList();
    QVERIFY(list);
    QCOMPARE(list->windowTitle(), QStringLiteral("キーの一覧"));
    const QLayoutItem* heading = list->findChild<QGridLayout*>()->itemAtPosition(0, 0);
    QCOMPARE(qobject_cast<QLabel*>(heading->widget())->text(),
        QStringLiteral("キーで使える操作（ボタンが使えるときだけ働きます）"));

    const QList<QLabel*> keys = column(list, 0);
    const QList<QLabel*> does = column(list, 1);
    QCOMPARE(keys.size(), does.size());
    QStringList actions;
    for (const QLabel* action : does) {
        QVERIFY2(!actions.contains(action->text()), qPrintable(action->text()));
        actions << action->text();
    }
    std::map<QString, QString> actionOf;
    for (const auto& [key, action] : keysWithActions(list)) {
        QVERIFY2(!actionOf.count(key), qPrintable(key + QStringLiteral(" listed twice")));
        actionOf[key] = action;
    }
    // Every key the main window takes is in the list, the digits in one row of their own.
    int digits = 0;
    for (const QShortcut* shortcut :
        scene.program.widget(QStringLiteral("MAINFORM"))->findChildren<QShortcut*>()) {
        const QString key = shortcut->key().toString(QKeySequence::NativeText);
        if (key.size() == 1 && key[0].isDigit())
            ++digits;
        else
            QVERIFY2(actionOf.count(key), qPrintable(key));
    }
    QCOMPARE(digits, 10);
    const std::map<QString, QString> expected = {
        { "1〜9, 0", "分類一覧の 1〜10 番目を選ぶ（0 は 10 番目）" },
        { "PgDown", "保存して次の画像へ" },
        { "A", "枠を自動で置く" },
        { "S", "枠を中身に合わせる" },
        { "Ctrl+V", "前の画像の枠を置く" },
        { "Ctrl++", "倍率を一段上げる" },
        { "Ctrl+=", "倍率を一段上げる" },
        { "F1", "キーの一覧" },
        { "ホイール", "上下にスクロール" },
        { "Shift+ホイール", "左右にスクロール" },
        { "Ctrl+ホイール", "倍率を一段上げる／下げる" },
    };
    for (const auto& [key, action] : expected) {
        QVERIFY2(actionOf.count(key), qPrintable(key));
        QCOMPARE(actionOf.at(key), action);
    }

    // Each column starts at one x, the actions right of the widest key; nothing is cut short.
    for (const QList<QLabel*>& cells : { keys, does }) {
        for (const QLabel* cell : cells) {
            QCOMPARE(cell->mapTo(list, QPoint()).x(), cells.first()->mapTo(list, QPoint()).x());
            QVERIFY2(cell->width() >= cell->sizeHint().width(), qPrintable(cell->text()));
            QVERIFY2(
                cell->mapTo(list, QPoint(cell->width(), 0)).x() <= list->width(), qPrintable(cell->text()));
        }
    }
    for (const QLabel* key : keys)
        QVERIFY2(key->mapTo(list, QPoint(key->sizeHint().width(), 0)).x()
                < does.first()->mapTo(list, QPoint()).x(),
            qPrintable(key->text()));
}

void TestKeysAndWheel::keyListClosesWithEscapeOrItsCloseBox_data()
{
    QTest::addColumn<bool>("escape"); // false: the close box, through the window system
    QTest::newRow("Escape") << true;
    QTest::newRow("close box") << false;
}

// Escape on the key list or its close box closes it; the frame being placed on the main window
// stays, as Escape there belongs to the list. F1 opens it again.
void TestKeysAndWheel::keyListClosesWithEscapeOrItsCloseBox()
{
    QFETCH(bool, escape);
    Registered scene;
    App& app = scene.app();
    scene.clickAt(200, 150);
    QCOMPARE(app.TrimState, TrimState::Placing);
    scene.key(Qt::Key_F1);
    QPointer<QWidget> list = shownKeyList();
    QVERIFY(list);
    QWindow* window = list->windowHandle();
    if (escape) {
        list->activateWindow();
        QTRY_VERIFY(list->isActiveWindow());
        QTest::keyClick(window, Qt::Key_Escape);
    } else {
        QVERIFY(window->close());
    }
    scene.program.runEvents();
    QTRY_VERIFY(!list);
    QVERIFY(shownKeyLists().isEmpty());
    QCOMPARE(app.TrimState, TrimState::Placing);

    scene.key(Qt::Key_F1);
    QVERIFY(shownKeyList());
}

// The key list blocks no window: the main window's keys go on working while it is open, its
// Escape included, which leaves the list open; F1 again brings the same list forward instead of
// a second one.
void TestKeysAndWheel::keyListIsOneWindowThatBlocksNothing()
{
    Registered scene;
    App& app = scene.app();
    scene.clickAt(200, 150);
    scene.key(Qt::Key_F1);
    QWidget* list = shownKeyList();
    QVERIFY(list);
    QVERIFY(!list->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    scene.key(Qt::Key_Escape);
    QCOMPARE(app.TrimState, TrimState::Idle);
    QCOMPARE(shownKeyLists(), QList<QWidget*>({ list }));
    scene.key(Qt::Key_T);
    QCOMPARE(app.TrimState, TrimState::Armed);
    scene.key(Qt::Key_F1);
    QCOMPARE(shownKeyLists(), QList<QWidget*>({ list }));
    QTRY_VERIFY(list->isActiveWindow());
}

void TestKeysAndWheel::escapeGivesUpTheFrameBeingPlaced_data()
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
void TestKeysAndWheel::escapeGivesUpTheFrameBeingPlaced()
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

void TestKeysAndWheel::wheelScrollsThroughTheBars_data()
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
void TestKeysAndWheel::wheelScrollsThroughTheBars()
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

void TestKeysAndWheel::listsTakeTheWheelOnlyWithTheFocus_data()
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
void TestKeysAndWheel::listsTakeTheWheelOnlyWithTheFocus()
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

QTEST_MAIN(TestKeysAndWheel)
#include "tst_keys_and_wheel.moc"
