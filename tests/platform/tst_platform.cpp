#include "fixture/Files.h"
#include "fixture/Images.h"
#include "fixture/ResourceCaps.h"
#include "fixture/ScriptedDialogs.h"
#include "fixture/UserActions.h"
#include "forms/Forms.h"
#include "image/BitmapStore.h"
#include "image/ImageFiles.h"
#include "image/ImagePrefetcher.h"
#include "platform/Drawing.h"
#include "platform/DurableFiles.h"
#include "platform/FormRuntime.h"
#include "platform/NoteOverlay.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFileInfo>
#include <QImageWriter>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What the file system was asked to make durable or to name, in order: "sync <path>" and
// "name <from> <to>".
QStringList& fileEvents()
{
    static QStringList events;
    return events;
}

QString pathOf(int fd)
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

} // namespace

// These stand in for the C library's functions in this test program, to see the order in which a
// file is made durable and named; each does the C library's work through the system call.
extern "C" int fsync(int fd)
{
    fileEvents() << QStringLiteral("sync ") + pathOf(fd);
    return int(syscall(SYS_fsync, fd));
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    fileEvents() << QStringLiteral("name %1 %2").arg(QFile::decodeName(from), QFile::decodeName(to));
    return int(syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

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

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void xorFigureDrawnTwiceLeavesNoTrace_data();
    void xorFigureDrawnTwiceLeavesNoTrace();
    void boxOutlineTouchesEachPixelOnce_data();
    void boxOutlineTouchesEachPixelOnce();
    void copyBlockClipsBothSides_data();
    void copyBlockClipsBothSides();
    void xorOnPictureAndBitmapThroughRuntime();
    void programmaticChangesRaiseNoEvent();
    void userActionsRaiseNamedEvents();
    void wheelCarriesItsStepsAndTheKeysHeld_data();
    void wheelCarriesItsStepsAndTheKeysHeld();
    void handlersForEventsNoControlRaisesAreFound();
    void noteRoomLiesRightOfTheControl_data();
    void noteRoomLiesRightOfTheControl();
    void noteFitsItsRoom_data();
    void noteFitsItsRoom();
    void qtTextsAreJapanese();
    void addingToAListSelectsNothing();
    void multiLineEditKeepsCrLf();
    void scriptedAnswerReachesHandler();
    void unscriptedDialogFailsTheTest();
    void fileDialogFilter();
    void newBmpFileHoldsTheExactPixels();
    void newBmpFileNeverReplacesAFile();
    void failedBmpWriteLeavesNothing_data();
    void failedBmpWriteLeavesNothing();
    void newBmpFileIsSyncedBeforeItGetsItsName();
    void temporariesOfEndedProcessesAreRemoved();
    void takingAnImageWaitsOnlyForItsOwnDecode_data();
    void takingAnImageWaitsOnlyForItsOwnDecode();
    void failureOnTheDecodeThreadLeavesTheFileToTheOpening_data();
    void failureOnTheDecodeThreadLeavesTheFileToTheOpening();
    void pixelWindowsKeepTheirBuffer();
    void sessionEndClosesTheDialogOnShowAndComesFirst();
};

void TestPlatform::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

void TestPlatform::xorFigureDrawnTwiceLeavesNoTrace_data()
{
    QTest::addColumn<QRect>("corners"); // (x1, y1) and (x2, y2) as left/top and width/height fields
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("box");
    // clang-format off
    QTest::newRow("horizontal line") << QRect(3, 7, 40, 0) << 1 << false;
    QTest::newRow("vertical line") << QRect(9, 2, 0, 30) << 1 << false;
    QTest::newRow("slanted line") << QRect(1, 1, 45, 28) << 1 << false;
    QTest::newRow("line past the edge") << QRect(-10, 5, 100, 0) << 1 << false;
    QTest::newRow("box") << QRect(5, 5, 30, 20) << 1 << true;
    QTest::newRow("box of one pixel") << QRect(8, 8, 0, 0) << 1 << true;
    QTest::newRow("box one pixel high") << QRect(4, 8, 20, 0) << 1 << true;
    QTest::newRow("wide box") << QRect(0, 0, 49, 39) << 5 << true;
    QTest::newRow("wide box thinner than its pen") << QRect(10, 10, 3, 2) << 5 << true;
    QTest::newRow("box partly outside") << QRect(-5, 20, 80, 40) << 1 << true;
    // clang-format on
}

void TestPlatform::xorFigureDrawnTwiceLeavesNoTrace()
{
    QFETCH(QRect, corners);
    QFETCH(int, width);
    QFETCH(bool, box);
    const QImage original = noiseImage(50, 40);
    QImage image = original;
    const int x2 = corners.x() + corners.width(), y2 = corners.y() + corners.height();
    const Figure figure = box ? Figure::Box : Figure::Line;
    drawFigure(image, corners.x(), corners.y(), x2, y2, DrawMode::Xor, width, figure, 0xFFFFFF);
    QVERIFY(image != original);
    drawFigure(image, corners.x(), corners.y(), x2, y2, DrawMode::Xor, width, figure, 0xFFFFFF);
    QCOMPARE(differences(image, original).size(), 0);
}

void TestPlatform::boxOutlineTouchesEachPixelOnce_data()
{
    QTest::addColumn<QRect>("box");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pixels");
    // clang-format off
    QTest::newRow("10 x 6 outline") << QRect(QPoint(2, 3), QPoint(11, 8)) << 1 << 2 * 10 + 2 * 6 - 4;
    QTest::newRow("single pixel") << QRect(QPoint(5, 5), QPoint(5, 5)) << 1 << 1;
    QTest::newRow("one row") << QRect(QPoint(5, 5), QPoint(14, 5)) << 1 << 10;
    // Pen 5 is centred on the outline; inside a 30 x 20 image only 3 pixels of each side show.
    QTest::newRow("width 5 at the image border") << QRect(QPoint(0, 0), QPoint(29, 19)) << 5 << 30 * 20 - 24 * 14;
    // clang-format on
}

void TestPlatform::boxOutlineTouchesEachPixelOnce()
{
    QFETCH(QRect, box);
    QFETCH(int, width);
    QFETCH(int, pixels);
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(0xFF000000u);
    drawFigure(
        image, box.left(), box.top(), box.right(), box.bottom(), DrawMode::Xor, width, Figure::Box, 0xFFFFFF);
    int white = 0, other = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xFFFFFFu;
            white += pixel == 0xFFFFFFu;
            other += pixel != 0xFFFFFFu && pixel != 0;
        }
    QCOMPARE(white, pixels);
    QCOMPARE(other, 0);
}

void TestPlatform::copyBlockClipsBothSides_data()
{
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("from");
    QTest::addColumn<QRect>("written"); // the part of the 20 x 20 target that changes
    // clang-format off
    QTest::newRow("inside") << QPoint(2, 3) << QRect(0, 0, 5, 4) << QRect(2, 3, 5, 4);
    QTest::newRow("past target right and bottom") << QPoint(17, 18) << QRect(0, 0, 10, 10) << QRect(17, 18, 3, 2);
    QTest::newRow("negative target") << QPoint(-3, -2) << QRect(0, 0, 10, 10) << QRect(0, 0, 7, 8);
    QTest::newRow("past source") << QPoint(0, 0) << QRect(25, 26, 10, 10) << QRect(0, 0, 5, 4);
    QTest::newRow("negative source") << QPoint(5, 5) << QRect(-2, -1, 4, 4) << QRect(7, 6, 2, 3);
    // clang-format on
}

void TestPlatform::copyBlockClipsBothSides()
{
    QFETCH(QPoint, to);
    QFETCH(QRect, from);
    QFETCH(QRect, written);
    const QImage source = noiseImage(30, 30);
    QImage target(20, 20, QImage::Format_RGB32);
    target.fill(0xFF000000u);
    copyBlock(target, to.x(), to.y(), from.width(), from.height(), source, from.x(), from.y());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const QRgb expected = written.contains(x, y)
                ? source.pixel(x - to.x() + from.x(), y - to.y() + from.y())
                : 0xFF000000u;
            QCOMPARE(target.pixel(x, y), expected);
        }
}

void TestPlatform::xorOnPictureAndBitmapThroughRuntime()
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

void TestPlatform::programmaticChangesRaiseNoEvent()
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

void TestPlatform::userActionsRaiseNamedEvents()
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

void TestPlatform::wheelCarriesItsStepsAndTheKeysHeld_data()
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
void TestPlatform::wheelCarriesItsStepsAndTheKeysHeld()
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

void TestPlatform::handlersForEventsNoControlRaisesAreFound()
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

// The buttons of a message box speak the language of the interface.
void TestPlatform::noteRoomLiesRightOfTheControl_data()
{
    QTest::addColumn<QRect>("after");
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<QRect>("room"); // null: none
    // clang-format off
    QTest::newRow("wide window")              << QRect(648, 0, 64, 24) << 1280 << QRect(720, 0, 556, 24);
    QTest::newRow("narrowest room")           << QRect(648, 0, 64, 24) << 756  << QRect(720, 0, 32, 24);
    QTest::newRow("too narrow to show")       << QRect(648, 0, 64, 24) << 755  << QRect();
    QTest::newRow("control past the edge")    << QRect(648, 0, 64, 24) << 640  << QRect();
    QTest::newRow("on the control's row")     << QRect(10, 30, 50, 20) << 200  << QRect(68, 30, 128, 20);
    // clang-format on
}

// A note takes the rest of its control's row, a gap away from the control and an inset away
// from the window's edge, and nothing where too little is left to read.
void TestPlatform::noteRoomLiesRightOfTheControl()
{
    QFETCH(QRect, after);
    QFETCH(int, windowWidth);
    QFETCH(QRect, room);
    QCOMPARE(noteRoom(after, windowWidth), room);
}

void TestPlatform::noteFitsItsRoom_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters"); // the room's width, in widths of "x"
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lines"); // what the rows hold before any is cut short
    QTest::addColumn<bool>("cut");
    // clang-format off
    QTest::newRow("one line fits")              << "abc"              << 40 << 1 << "abc"                    << false;
    QTest::newRow("all lines fit")              << "abc\ndef"         << 40 << 3 << "abc\ndef"               << false;
    QTest::newRow("one row: all on one line")   << "abc\ndef\nghi"    << 40 << 1 << "abc　def　ghi"           << false;
    QTest::newRow("two rows: summary, rest")    << "abc\ndef\nghi"    << 40 << 2 << "abc\ndef　ghi"           << false;
    QTest::newRow("no row still shows one")     << "abc\ndef"         << 40 << 0 << "abc　def"                << false;
    QTest::newRow("too narrow: summary leads")  << "2 枚を保存しました\nCG01_001.BMP（/tmp/）" << 12 << 1 << "2 枚を保存しました　CG01_001.BMP（/tmp/）" << true;
    // clang-format on
}

// What a note shows in its room: whole lines while they fit, the rest on its last row, and a
// line too wide for the room cut short with an ellipsis.
void TestPlatform::noteFitsItsRoom()
{
    QFETCH(QString, text);
    QFETCH(int, characters);
    QFETCH(int, rows);
    QFETCH(QString, lines);
    QFETCH(bool, cut);
    const QFontMetrics metrics(QApplication::font());
    const int width = metrics.horizontalAdvance(QString(characters, QLatin1Char('x')));
    const QString fitted = fittedNote(text, metrics, width, rows);
    if (!cut) {
        QCOMPARE(fitted, lines);
        return;
    }
    QVERIFY2(fitted.endsWith(QChar(0x2026)), qPrintable(fitted));
    QVERIFY2(fitted.size() > 1 && lines.startsWith(fitted.chopped(1)), qPrintable(fitted));
    QVERIFY(metrics.horizontalAdvance(fitted) <= width);
}

void TestPlatform::qtTextsAreJapanese()
{
    QTranslator* translator = installJapaneseQtTexts();
    QVERIFY(translator);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    QCoreApplication::removeTranslator(translator);
    QVERIFY2(yes.contains(QStringLiteral("はい")), qPrintable(yes));
    QVERIFY2(no.contains(QStringLiteral("いいえ")), qPrintable(no));
}

void TestPlatform::addingToAListSelectsNothing()
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

void TestPlatform::multiLineEditKeepsCrLf()
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

void TestPlatform::scriptedAnswerReachesHandler()
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

void TestPlatform::unscriptedDialogFailsTheTest()
{
    ScriptedDialogs dialogs;
    QStringList failures;
    dialogs.onUnexpected = [&](const QString& what) { failures << what; };
    dialogs.answerOpenFile(QStringLiteral("/a.BMP"));
    // A message box when a file dialog was scripted, then a file dialog with nothing left.
    QCOMPARE(
        dialogs.messageBox(nullptr, QStringLiteral("t"), QStringLiteral("x"), MessageButtons::YesNo, 0, {}),
        MessageAnswer::No);
    QCOMPARE(dialogs.openFile(nullptr, QStringLiteral("p"), {}, {}, 0), QStringLiteral("/a.BMP"));
    QCOMPARE(dialogs.openFile(nullptr, QStringLiteral("p"), {}, {}, 0), dialogCancelled());
    QCOMPARE(failures.size(), 2);
    QVERIFY(failures[0].contains(QStringLiteral("message box")));
}

void TestPlatform::fileDialogFilter()
{
    QCOMPARE(toQtNameFilter(QStringLiteral("(*.BMP,*.JPG);(*.*)")),
        QStringLiteral("*.BMP,*.JPG (*.BMP *.bmp *.JPG *.jpg);;*.* (*)"));
    QCOMPARE(toQtNameFilter(QStringLiteral("(*.*)")), QStringLiteral("*.* (*)"));
}

void TestPlatform::newBmpFileHoldsTheExactPixels()
{
    QTemporaryDir dir;
    const QImage image = noiseImage(13, 7); // odd width: rows are padded in the file
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    QVERIFY(writeNewBmpFile(image, path).ok());
    const QByteArray bytes = readBytes(path);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(int(uchar(bytes[28])), 24); // bits per pixel
    QCOMPARE(int(uchar(bytes[30])), 0); // uncompressed
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), image);
    // Byte for byte what Qt's own writer makes of it.
    QByteArray qtBytes;
    QBuffer buffer(&qtBytes);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(QImageWriter(&buffer, "bmp").write(image));
    QCOMPARE(bytes, qtBytes);
    // Readable by others like any file the user makes, not private like a temporary file.
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::ReadOther);
    QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
}

void TestPlatform::newBmpFileNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    writeBytes(path, "not mine");
    const SaveResult result = writeNewBmpFile(noiseImage(4, 4), path);
    QCOMPARE(result.outcome, SaveOutcome::NameTaken);
    QCOMPARE(readBytes(path), QByteArray("not mine"));
    QCOMPARE(filesIn(dir.path()), QStringList { "CG01_001.BMP" });
}

void TestPlatform::failedBmpWriteLeavesNothing_data()
{
    QTest::addColumn<QString>("folder"); // relative to a scratch folder
    QTest::addColumn<qint64>("sizeLimit"); // bytes a file may have; 0: no limit
    QTest::addColumn<int>("error"); // the system's error number that the reason tells
    QTest::addColumn<bool>("noImage"); // the piece could not be cut out
    // clang-format off
    QTest::newRow("folder missing")    << "gone"  << qint64(0)     << ENOENT  << false;
    QTest::newRow("folder is a file")  << "plain" << qint64(0)     << ENOTDIR << false;
    // A limit on the size of files makes the write fail as a full disk does, with its own reason.
    QTest::newRow("header cut short")  << "."     << qint64(20)    << EFBIG   << false;
    QTest::newRow("rows cut short")    << "."     << qint64(100)   << EFBIG   << false;
    QTest::newRow("last rows cut off") << "."     << qint64(60000) << EFBIG   << false;
    QTest::newRow("no image")          << "."     << qint64(0)     << ENOMEM  << true;
    // clang-format on
}

void TestPlatform::failedBmpWriteLeavesNothing()
{
    QFETCH(QString, folder);
    QFETCH(qint64, sizeLimit);
    QFETCH(int, error);
    QFETCH(bool, noImage);
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("plain")));
    std::optional<FileSizeCap> cap;
    if (sizeLimit > 0) {
        cap.emplace(sizeLimit);
        QVERIFY(cap->active());
    }
    const SaveResult result = writeNewBmpFile(
        noImage ? QImage() : noiseImage(200, 200), dir.filePath(folder + QStringLiteral("/a.BMP")));
    cap.reset();
    QCOMPARE(result.outcome, SaveOutcome::Failed);
    QCOMPARE(result.reason, QString::fromLocal8Bit(std::strerror(error)));
    QCOMPARE(filesIn(dir.path()), QStringList { "plain" });
}

// The piece's bytes reach the disk before the piece gets its name, and the name reaches the disk
// with its folder; so after a power loss a numbered file is whole or absent.
void TestPlatform::newBmpFileIsSyncedBeforeItGetsItsName()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CG01_001.BMP"));
    fileEvents().clear();
    QVERIFY(writeNewBmpFile(noiseImage(5, 3), path).ok());
    QStringList events = fileEvents().filter(dir.path());
    QCOMPARE(events.size(), 3);
    const QString temporary = events[0].section(QLatin1Char(' '), 1);
    QVERIFY2(QFileInfo(temporary).fileName().startsWith(temporaryPrefix(TemporaryKind::Piece, getpid())),
        qPrintable(temporary));
    QCOMPARE(
        events, QStringList({ "sync " + temporary, "name " + temporary + " " + path, "sync " + dir.path() }));
}

// A process killed between writing a piece or the settings and naming them leaves its temporary
// file; those whose process has ended, on this host, are removed, and nothing else.
void TestPlatform::temporariesOfEndedProcessesAreRemoved()
{
    QTemporaryDir dir;
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    QVERIFY(ended > 0);
    QCOMPARE(waitpid(ended, nullptr, 0), ended);
    const QStringList abandoned = {
        temporaryPrefix(TemporaryKind::Piece, ended) + QStringLiteral("Ab12Cd.tmp"),
        temporaryPrefix(TemporaryKind::Settings, ended) + QStringLiteral("Mn78Op.tmp"),
    };
    const QStringList kept = {
        temporaryPrefix(TemporaryKind::Piece, getpid()) + QStringLiteral("Ef34Gh.tmp"),
        temporaryPrefix(TemporaryKind::Settings, getpid()) + QStringLiteral("Qr90St.tmp"),
        QStringLiteral(".velmora-piece-elsewhere-%1-Ij56Kl.tmp").arg(ended),
        QStringLiteral(".velmora-settings-elsewhere-%1-Uv12Wx.tmp").arg(ended),
        ".velmora-ABCDEF.tmp",
        "CG01_001.BMP",
        "notes.tmp",
        "KANKYO.TXT",
        "KANKYO.TXT.backup",
    };
    for (const QString& name : kept + abandoned) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BM");
    }
    removeAbandonedTemporaries(dir.path() + QLatin1Char('/'));
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QStringList expected = kept;
    left.sort();
    expected.sort();
    QCOMPARE(left, expected);
}

namespace {

// Decodes ahead only when the test lets it: each decode waits until released, then succeeds
// with a small image or fails, as the test chose.
class HeldDecoder
{
public:
    explicit HeldDecoder(bool succeeds)
        : m_succeeds(succeeds)
    {
    }
    std::optional<ImagePrefetcher::Decoded> decode(
        const QString&, int margin, const std::atomic<bool>& abandoned)
    {
        std::unique_lock lock(m_mutex);
        m_started = true;
        m_changed.notify_all();
        // A decode that nobody wants any more gives up, as the file reader does.
        while (!m_changed.wait_for(lock, std::chrono::milliseconds(1), [&] { return m_released; }))
            if (abandoned) return std::nullopt;
        if (!m_succeeds) return std::nullopt;
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return ImagePrefetcher::Decoded { framedCopyOf(image, margin), {} };
    }
    bool waitUntilStarted()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_started; });
    }
    void release()
    {
        const std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    bool m_released = false;
    const bool m_succeeds;
};

// What is decoded ahead when an image is taken.
enum class Ahead { Nothing, Taken, Other, TakenThenDropped, EmptyPath };

} // namespace

// Taking an image decoded ahead waits for its decode when that is under way, and for nothing
// else: not when nothing was asked for, another file or an empty path (a program started again
// on settings that name no file) is decoded, or the decode was dropped.
void TestPlatform::takingAnImageWaitsOnlyForItsOwnDecode_data()
{
    QTest::addColumn<Ahead>("ahead");
    QTest::addColumn<bool>("decodeSucceeds");
    QTest::addColumn<bool>("takesEmptyPath");
    QTest::addColumn<bool>("waits");
    QTest::addColumn<bool>("taken");
    // clang-format off
    QTest::newRow("nothing under way")             << Ahead::Nothing          << true  << false << false << false;
    QTest::newRow("nothing, empty path taken")     << Ahead::Nothing          << true  << true  << false << false;
    QTest::newRow("empty path asked ahead")        << Ahead::EmptyPath        << true  << true  << false << false;
    QTest::newRow("another path under way")        << Ahead::Other            << true  << false << false << false;
    QTest::newRow("empty path, another under way") << Ahead::Other            << true  << true  << false << false;
    QTest::newRow("same path under way")           << Ahead::Taken            << true  << false << true  << true;
    QTest::newRow("same path under way, fails")    << Ahead::Taken            << false << false << true  << false;
    QTest::newRow("same path dropped")             << Ahead::TakenThenDropped << true  << false << false << false;
    // clang-format on
}

void TestPlatform::takingAnImageWaitsOnlyForItsOwnDecode()
{
    QFETCH(Ahead, ahead);
    QFETCH(bool, decodeSucceeds);
    QFETCH(bool, takesEmptyPath);
    QFETCH(bool, waits);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.BMP"));
    const QString other = dir.filePath(QStringLiteral("b.BMP"));
    writeBytes(path, "a");
    writeBytes(other, "b");

    HeldDecoder decoder(decodeSucceeds);
    ImagePrefetcher prefetcher([&](const QString& file, int margin, const std::atomic<bool>& abandoned) {
        return decoder.decode(file, margin, abandoned);
    });
    // The worker is let go before the prefetcher joins it, however the test ends.
    const std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { decoder.release(); });
    switch (ahead) {
    case Ahead::Nothing: break;
    case Ahead::EmptyPath: prefetcher.prefetch(QString(), 0); break;
    case Ahead::Other:
    case Ahead::Taken:
    case Ahead::TakenThenDropped:
        prefetcher.prefetch(ahead == Ahead::Other ? other : path, 2);
        QVERIFY(decoder.waitUntilStarted());
        if (ahead == Ahead::TakenThenDropped) prefetcher.drop();
        break;
    }

    auto taking
        = std::async(std::launch::async, [&] { return prefetcher.take(takesEmptyPath ? QString() : path); });
    if (waits) {
        QCOMPARE(taking.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
        decoder.release();
    }
    // A take that waits for work nobody does never returns; the test cannot go on from there.
    if (taking.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        qFatal("taking the image waits for a decode that is not under way");
    const std::optional<ImagePrefetcher::Decoded> image = taking.get();
    QCOMPARE(image.has_value(), taken);
    if (taken) QCOMPARE(image->framed.image.pixel(0, 0), QColor(Qt::darkCyan).rgb());
}

void TestPlatform::failureOnTheDecodeThreadLeavesTheFileToTheOpening_data()
{
    QTest::addColumn<bool>("inTheDecoder"); // or in shrinking the view ahead
    QTest::newRow("decoding") << true;
    QTest::newRow("shrinking the view") << false;
}

// Running out of memory on the decode-ahead thread neither ends the program nor leaves anything
// held: the opening reads the file itself and reports what it finds. The next decode works.
void TestPlatform::failureOnTheDecodeThreadLeavesTheFileToTheOpening()
{
    QFETCH(bool, inTheDecoder);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.BMP"));
    writeImage(path, 1, 40, 30);
    bool fails = true;
    ImagePrefetcher prefetcher([&](const QString& file, int margin, const std::atomic<bool>&) {
        if (fails && inTheDecoder) throw std::bad_alloc();
        return std::optional(ImagePrefetcher::Decoded { readFramedImageFile(file, { margin }).framed, {} });
    });
    prefetcher.setViewSize([&](QSize) {
        if (fails && !inTheDecoder) throw std::bad_alloc();
        return QSize(20, 15);
    });
    prefetcher.prefetch(path, 2);
    QVERIFY(!prefetcher.waitUntilIdle(path));
    QVERIFY(!prefetcher.take(path));

    fails = false;
    prefetcher.prefetch(path, 2);
    QVERIFY(prefetcher.waitUntilIdle(path));
    const std::optional<ImagePrefetcher::Decoded> taken = prefetcher.take(path);
    QVERIFY(taken);
    QCOMPARE(taken->view.size(), QSize(24, 19));
}

// A window into a bitmap's pixels, and every copy of it, keeps the buffer: a copy made of a view
// that shares its source's pixels still reads them after both bitmaps are gone. The image is
// larger than any block the allocator keeps, so a freed buffer goes back to the system at once.
void TestPlatform::pixelWindowsKeepTheirBuffer()
{
    const QImage image = patternImage(3000, 3000);
    BitmapStore store;
    store.SetLoadMargin(8);
    Bitmap source, view;
    QVERIFY(store.SetImage(source, image));
    QVERIFY(store.ViewSource(view, source, 8));
    const QImage sourceCopy = *store.Image(source);
    const QImage viewCopy = *store.Image(view);
    store.DeleteObject(source);
    store.DeleteObject(view);
    QCOMPARE(sourceCopy, image);
    QCOMPARE(viewCopy.copy(8, 8, 3000, 3000), image);
    QCOMPARE(viewCopy.pixel(0, 0), qRgb(255, 255, 255));
}

// When the session ends while a question is on show, the question is closed as its Escape key
// closes it, no dialog is shown after it, and the main window's end event comes before the input
// that was queued.
void TestPlatform::sessionEndClosesTheDialogOnShowAndComesFirst()
{
    FormRuntime rt(createForm, std::make_unique<WidgetDialogs>());
    const Control main = rt.CreateWindow(QStringLiteral("MAINFORM"), true);
    QStringList received;
    for (const char* name : { "BUTTON5_ON", "MAINFORM_END" })
        rt.SetHandler(QString::fromLatin1(name), [&](const ControlEvent& event) { received << event.name; });
    rt.PostEvent({ QStringLiteral("BUTTON5_ON"), main });

    // Should the question stay open, the test closes it itself and fails, instead of waiting.
    bool stayedOpen = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    connect(&rescue, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            stayedOpen = true;
            dialog->done(QDialog::Rejected);
        }
    });
    rescue.start(10000);
    QTimer::singleShot(0, [] { ::kill(::getpid(), SIGTERM); });
    const int answer = rt.MessageBox(main, QStringLiteral("Velmora"), QStringLiteral("終了しますか？"),
        MessageButtons::YesNo, MessageIcon::Exclamation);
    QVERIFY(!stayedOpen);
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(rt.SessionEnding());
    QCOMPARE(rt.MessageBox(main, QString(), QStringLiteral("OK?"), MessageButtons::Ok, MessageIcon::None),
        MessageAnswer::Ok);
    QCOMPARE(rt.WinOpenDlg(main, QStringLiteral("?"), QDir::tempPath(), QStringLiteral("(*.*)"), 0),
        dialogCancelled());
    while (rt.WaitEvent(FormRuntime::Wait::NoWait)) { }
    QCOMPARE(received, QStringList({ "MAINFORM_END", "BUTTON5_ON" }));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
