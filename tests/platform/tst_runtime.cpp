#include "fixture/Images.h"
#include "fixture/ScriptedDialogs.h"
#include "fixture/UserActions.h"
#include "forms/Forms.h"
#include "image/BitmapStore.h"
#include "platform/Drawing.h"
#include "platform/FormRuntime.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTest>

#include <optional>

namespace {

// A runtime with the main window built, its handlers recording the events they receive.
struct Runtime
{
    ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<FormRuntime> rt;
    Control main;
    QStringList received;

    Runtime()
    {
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        rt = std::make_unique<FormRuntime>(createForm, std::move(scripted));
        main = rt->CreateWindow(QStringLiteral("MAINFORM"), true);
        for (const char* name : { "BUTTON5_ON", "COMBO5_CHANGE", "COMBO5_CLICK", "HSCROLL1_CHANGE",
                 "PICTURE1_MOUSEDOWN", "PICTURE1_MOUSEUP", "PICTURE1_MOUSEMOVE" })
            rt->SetHandler(QString::fromLatin1(name), [this](const ControlEvent& event) {
                received << QStringLiteral("%1 %2 %3,%4")
                                .arg(event.name)
                                .arg(event.button)
                                .arg(event.x)
                                .arg(event.y);
            });
    }
    QWidget* widget(const char* name)
    {
        return rt->Widget(main)->findChild<QWidget*>(QString::fromLatin1(name));
    }
    void drain()
    {
        while (rt->WaitEvent(FormRuntime::Wait::NoWait)) { }
    }
};

} // namespace

// The window runtime: its controls, the events they raise, its drawing, and the dialogs it asks.
class TestRuntime : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void xorOnPictureAndBitmapThroughRuntime();
    void programmaticChangesRaiseNoEvent();
    void userActionsRaiseNamedEvents();
    void wheelCarriesItsStepsAndTheKeysHeld_data();
    void wheelCarriesItsStepsAndTheKeysHeld();
    void handlersForEventsNoControlRaisesAreFound();
    void addingToAListSelectsNothing();
    void multiLineEditKeepsCrLf();
    void scriptedAnswerReachesHandler();
};

void TestRuntime::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestRuntime::xorOnPictureAndBitmapThroughRuntime()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    const Control picture = rt.GetDlgItem(runtime.main, QStringLiteral("PICTURE1"));
    BitmapStore bitmaps;
    Bitmap bitmap;
    QVERIFY(bitmaps.CreateBitmap(bitmap, 64, 48));
    *bitmaps.Image(bitmap) = noiseImage(64, 48);
    rt.BitBlt(picture, 0, 0, 64, 48, *bitmaps.Image(bitmap), 0, 0);
    const QImage shownBefore = *rt.Surface(picture);
    const QImage bitmapBefore = *bitmaps.Image(bitmap);
    for (int pass = 0; pass < 2; ++pass) {
        rt.DrawLine(picture, 3, 4, 60, 4, DrawMode::Xor, 1, Figure::Line);
        rt.DrawLine(picture, 10, 10, 40, 30, DrawMode::Xor, 1, Figure::Box, Pen::Second);
        bitmaps.DrawLine(bitmap, 2, 2, 50, 40, DrawMode::Xor, 1, Figure::Line);
        bitmaps.DrawLine(bitmap, 5, 5, 20, 25, DrawMode::Xor, 1, Figure::Box);
        if (pass == 0) QVERIFY(*rt.Surface(picture) != shownBefore);
    }
    QCOMPARE(*rt.Surface(picture), shownBefore);
    QCOMPARE(*bitmaps.Image(bitmap), bitmapBefore);
    bitmaps.DeleteObject(bitmap);
    QCOMPARE(bitmaps.CheckObject(bitmap), 0);
}

void TestRuntime::programmaticChangesRaiseNoEvent()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    const Control combo = rt.GetDlgItem(runtime.main, QStringLiteral("COMBO5"));
    const Control bar = rt.GetDlgItem(runtime.main, QStringLiteral("HSCROLL1"));
    rt.AddString(combo, QStringLiteral("a"));
    rt.AddString(combo, QStringLiteral("b"));
    rt.SetCurSel(combo, 1);
    rt.ResetContent(combo);
    rt.SetScrollRange(bar, 0, 100);
    rt.SetScrollPos(bar, 50);
    rt.SetScrollRange(bar, 0, 10); // clamps the position
    runtime.drain();
    QCOMPARE(runtime.received, QStringList());
    QCOMPARE(rt.GetScrollPos(bar), 10);
}

void TestRuntime::userActionsRaiseNamedEvents()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    const Control combo = rt.GetDlgItem(runtime.main, QStringLiteral("COMBO5"));
    rt.AddString(combo, QStringLiteral("a"));
    rt.AddString(combo, QStringLiteral("b"));
    rt.SetCurSel(combo, 0);
    QWidget* picture = runtime.widget("PICTURE1");
    QTest::mouseClick(runtime.widget("BUTTON5"), Qt::LeftButton);
    auto* list = static_cast<QComboBox*>(runtime.widget("COMBO5"));
    openList(list);
    clickEntry(list, 1);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(7, 9));
    // Two quick clicks: Qt makes the second press a double-click event; it is a press all the same.
    doubleClick(picture, QPoint(3, 4));
    QTest::mousePress(picture, Qt::RightButton, {}, QPoint(10, 10));
    moveMouse(picture, QPoint(20, 30), Qt::RightButton);
    QTest::mouseRelease(picture, Qt::RightButton, {}, QPoint(20, 30));
    static_cast<QScrollBar*>(runtime.widget("HSCROLL1"))->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    runtime.drain();
    // Moves without a button held come from the pointer reaching each click's place.
    runtime.received.removeIf([](const QString& event) { return event.startsWith("PICTURE1_MOUSEMOVE 0"); });
    QCOMPARE(runtime.received,
        QStringList(
            { "BUTTON5_ON 0 0,0", "COMBO5_CLICK 0 0,0", "COMBO5_CHANGE 0 0,0", "PICTURE1_MOUSEDOWN 1 7,9",
                "PICTURE1_MOUSEUP 1 7,9", "PICTURE1_MOUSEDOWN 1 3,4", "PICTURE1_MOUSEUP 1 3,4",
                "PICTURE1_MOUSEDOWN 1 3,4", "PICTURE1_MOUSEUP 1 3,4", "PICTURE1_MOUSEDOWN 2 10,10",
                "PICTURE1_MOUSEMOVE 2 20,30", "PICTURE1_MOUSEUP 2 20,30", "HSCROLL1_CHANGE 0 0,0" }));
}

void TestRuntime::wheelCarriesItsStepsAndTheKeysHeld_data()
{
    QTest::addColumn<QPoint>("notches"); // how far the wheel turns, along x and y
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("shift"); // the ModifierKey bits the event carries
    // clang-format off
    QTest::newRow("away from the user")   << QPoint(0, 1)  << Qt::KeyboardModifiers()                      << 0;
    QTest::newRow("towards it, Shift")    << QPoint(0, -2) << Qt::KeyboardModifiers(Qt::ShiftModifier)     << ModifierKey::Shift;
    QTest::newRow("sideways, Ctrl")       << QPoint(3, 0)  << Qt::KeyboardModifiers(Qt::ControlModifier)   << ModifierKey::Control;
    QTest::newRow("both ways, Alt, Ctrl") << QPoint(-1, 2) << (Qt::AltModifier | Qt::ControlModifier)      << (ModifierKey::Alt | ModifierKey::Control);
    QTest::newRow("Shift, Ctrl and Alt")  << QPoint(0, 1)  << (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)
                                          << (ModifierKey::Shift | ModifierKey::Control | ModifierKey::Alt);
    // clang-format on
}

// The wheel over the picture raises PICTURE1_WHEEL with how far it turned in its own member,
// apart from the pointer, and with the keys held as ModifierKey bits.
void TestRuntime::wheelCarriesItsStepsAndTheKeysHeld()
{
    QFETCH(QPoint, notches);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, shift);
    Runtime runtime;
    std::optional<ControlEvent> raised;
    runtime.rt->SetHandler(
        QStringLiteral("PICTURE1_WHEEL"), [&](const ControlEvent& event) { raised = event; });
    turnWheel(runtime.widget("PICTURE1"), QPoint(5, 5), notches, modifiers);
    runtime.drain();
    QVERIFY(raised);
    QCOMPARE(raised->wheelSteps, QPointF(notches));
    QCOMPARE(raised->shift, shift);
    QCOMPARE(raised->button, 0);
}

void TestRuntime::handlersForEventsNoControlRaisesAreFound()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    QCOMPARE(rt.UnknownEvents(), QStringList());
    for (const char* name :
        { "BUTTON5_CLICK", "BUTON5_ON", "MAINFORM_END", "MAINFORM_RESIZE", "LIST1_CLICK" })
        rt.SetHandler(QString::fromLatin1(name), [](const ControlEvent&) {});
    // LIST1 belongs to the registration window, which this runtime has not created.
    QCOMPARE(rt.UnknownEvents(), QStringList({ "BUTON5_ON", "BUTTON5_CLICK", "LIST1_CLICK" }));
}

void TestRuntime::addingToAListSelectsNothing()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    const Control combo = rt.GetDlgItem(runtime.main, QStringLiteral("COMBO2"));
    QCOMPARE(rt.GetCurSel(combo), -1);
    rt.AddString(combo, QStringLiteral("分類 4"));
    rt.AddString(combo, QStringLiteral("分類 9"));
    QCOMPARE(rt.GetCurSel(combo), -1);
    rt.SetCurSel(combo, 1);
    QCOMPARE(rt.GetCurSel(combo), 1);
    QCOMPARE(rt.GetItemText(combo, 1), QStringLiteral("分類 9"));
}

void TestRuntime::multiLineEditKeepsCrLf()
{
    auto scripted = std::make_unique<ScriptedDialogs>();
    FormRuntime rt(createForm, std::move(scripted));
    rt.CreateWindow(QStringLiteral("MAINFORM"), false);
    const Control form2 = rt.CreateWindow(QStringLiteral("FORM2"), false);
    const Control edit = rt.GetDlgItem(form2, QStringLiteral("EDIT10"));
    const QString text = QStringLiteral("分類 1　有効\r\n分類名：a\r\n\r\n分類 2　無効\r\n");
    rt.SetWindowText(edit, text);
    QCOMPARE(rt.GetWindowText(edit), text);
}

void TestRuntime::scriptedAnswerReachesHandler()
{
    Runtime runtime;
    FormRuntime& rt = *runtime.rt;
    int answer = 0;
    QString chosen;
    rt.SetHandler(QStringLiteral("BUTTON5_ON"), [&](const ControlEvent& event) {
        answer = rt.MessageBox(event.owner, QStringLiteral("t"), QStringLiteral("本当に？"),
            MessageButtons::YesNo, MessageIcon::Exclamation);
        chosen = rt.WinOpenDlg(
            event.owner, QStringLiteral("p"), QStringLiteral("/x"), QStringLiteral("(*.BMP,*.JPG);(*.*)"), 0);
    });
    runtime.dialogs->answerMessage(MessageAnswer::Yes);
    runtime.dialogs->answerOpenFile(QStringLiteral("/x/a.BMP"));
    QTest::mouseClick(runtime.widget("BUTTON5"), Qt::LeftButton);
    runtime.drain();
    QCOMPARE(answer, MessageAnswer::Yes);
    QCOMPARE(chosen, QStringLiteral("/x/a.BMP"));
    QCOMPARE(runtime.dialogs->calls().size(), 2);
    QCOMPARE(runtime.dialogs->calls()[0].owner, QStringLiteral("MAINFORM"));
    QCOMPARE(runtime.dialogs->calls()[0].text, QStringLiteral("本当に？"));
    QCOMPARE(runtime.dialogs->calls()[0].buttons, MessageButtons::YesNo);
    QCOMPARE(runtime.dialogs->unanswered(), 0);
}

QTEST_MAIN(TestRuntime)
#include "tst_runtime.moc"
