#include "app/Handlers.h"
#include "app/Program.h"
#include "app/StartUp.h"
#include "app/UnexpectedError.h"
#include "core/Title.h"
#include "fixture/Files.h"
#include "fixture/TestProgram.h"
#include "fixture/UserActions.h"
#include "forms/Forms.h"
#include "platform/FileSystem.h"
#include "trimming/TrimmingStates.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void everyControlIsBoundByTheTable();
    void stripAndRegistrationControlsStandAsDesigned_data();
    void stripAndRegistrationControlsStandAsDesigned();
    void windowsAfterStartUp();
    void listsAfterStartUp();
    void categoryDefaults_data();
    void categoryDefaults();
    void controlStatesAfterStartUp();
    void captionsFitTheirControls();
    void everyControlHasASpokenName();
    void registrationWindowIgnoresEscapeAndClose();
    void registrationWindowStaysInFrontOfTheMainWindow();
    void requestIsCarriedOutOnce();
    void titleNamesTheImage_data();
    void titleNamesTheImage();
    void closingTheMainWindowEndsTheProgram();
    void unexpectedErrorEndsTheProgramWithOneBox();
    void escapingExceptionBecomesUnexpectedError();
    void errorOutsideHandlersEndsTheProgramWithOneBox_data();
    void errorOutsideHandlersEndsTheProgramWithOneBox();
};

void TestApp::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

namespace {

// The controls a form places in its window: the widgets it names.
QStringList controlsOfForm(const QWidget* window)
{
    QStringList names;
    for (const QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->objectName().isEmpty()) names << child->objectName();
    names.sort();
    return names;
}

// The bindings of a window: the rows of start-up's table, and for the main window the picture,
// which start-up binds on its own.
QList<ControlBinding> bindingsOf(const QString& form)
{
    const std::span<const ControlBinding> table = controlBindings(form);
    QList<ControlBinding> bindings(table.begin(), table.end());
    if (form == QLatin1String("MAINFORM")) bindings << ControlBinding { &Controls::PICTURE1, "PICTURE1", 0 };
    return bindings;
}

// Whether a widget is of the kind the handlers take the control of that name for: a button
// they press, a line of text (EDIT10, the summary of the categories, many lines scrolled by
// line), a label, a list or drop-down list of entries, a check box, a bar along its axis, or
// the surface the picture is drawn on.
bool isOfItsKind(const QString& name, const QWidget* widget)
{
    const auto bar = qobject_cast<const QScrollBar*>(widget);
    if (name.startsWith(QLatin1String("HSCROLL"))) return bar && bar->orientation() == Qt::Horizontal;
    if (name.startsWith(QLatin1String("VSCROLL"))) return bar && bar->orientation() == Qt::Vertical;
    if (name == QLatin1String("EDIT10")) return widget->inherits("QPlainTextEdit");
    const std::pair<const char*, const char*> kinds[] = { { "BUTTON", "QPushButton" },
        { "EDIT", "QLineEdit" }, { "TEXT", "QLabel" }, { "COMBO", "QComboBox" }, { "LIST", "QListWidget" },
        { "CHECK", "QCheckBox" }, { "PICTURE", "SurfaceWidget" } };
    for (const auto& [prefix, kind] : kinds)
        if (name.startsWith(QLatin1String(prefix))) return widget->inherits(kind);
    return false;
}

// The handle of a binding stands for the control of its name in its own window, which is of its
// kind and shows the font its form gives it, at the size the binding gives (0: the form's).
void verifyBinding(App& app, QWidget* window, const QWidget& designedWindow, const ControlBinding& binding)
{
    const QString name = QString::fromLatin1(binding.name);
    const Control handle = app.*binding.handle;
    QVERIFY2(handle, qPrintable(name + QStringLiteral(" has no handle")));
    QVERIFY2(app.rt.NameOf(handle) == name,
        qPrintable(QStringLiteral("%1: the handle is bound to %2").arg(name, app.rt.NameOf(handle))));
    QWidget* widget = app.rt.Widget(handle);
    QVERIFY2(widget && widget == window->findChild<QWidget*>(name),
        qPrintable(
            name + QStringLiteral(": the handle's widget is not the control of that name in its window")));
    QVERIFY2(isOfItsKind(name, widget),
        qPrintable(QStringLiteral("%1 is a %2 of another kind than its name asks for")
                       .arg(name, QLatin1String(widget->metaObject()->className()))));
    QFont font = designedWindow.findChild<QWidget*>(name)->font();
    if (binding.fontSize) font.setPixelSize(binding.fontSize);
    QVERIFY2(widget->font() == font,
        qPrintable(QStringLiteral("%1: font %2, expected %3")
                       .arg(name, widget->font().toString(), font.toString())));
}

} // namespace

// Start-up binds every control of both windows by its table; the font sizes in the table are
// the ones the controls show.
void TestApp::everyControlIsBoundByTheTable()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (const QString& form : { QStringLiteral("MAINFORM"), QStringLiteral("FORM2") }) {
        QWidget* window = program.widget(form);
        const QList<ControlBinding> bindings = bindingsOf(form);
        QStringList bound;
        for (const ControlBinding& binding : bindings)
            bound << QString::fromLatin1(binding.name);
        bound.sort();
        QCOMPARE(bound, controlsOfForm(window));
        // The form as it is built, before start-up has set any font.
        const std::unique_ptr<QWidget> designed(createForm(form));
        for (const ControlBinding& binding : bindings) {
            verifyBinding(app, window, *designed, binding);
            if (QTest::currentTestFailed()) return;
        }
    }
}

void TestApp::stripAndRegistrationControlsStandAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // height 24 for drop-down lists: the closed list
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    const QString p = QStringLiteral("ＭＳ Ｐゴシック"), g = QStringLiteral("ＭＳ ゴシック");
    auto row = [](const char* name, QRect geometry, const char* caption, const QString& family) {
        QTest::newRow(name) << QString::fromLatin1(name) << geometry << QString::fromUtf8(caption) << family;
    };
    // clang-format off
    row("BUTTON5", { 0, 0, 64, 24 }, "ファイル", p);
    row("COMBO2", { 64, 0, 128, 24 }, "", p);
    row("BUTTON2", { 192, 0, 96, 24 }, "トリミング開始", p);
    row("COMBO1", { 288, 0, 72, 24 }, "", p);
    row("BUTTON3", { 360, 0, 48, 24 }, "修正", p);
    row("BUTTON4", { 408, 0, 32, 24 }, "削除", p);
    row("COMBO5", { 440, 0, 80, 24 }, "等倍", p);
    row("BUTTON9", { 520, 0, 64, 24 }, "保存実行", p);
    row("BUTTON11", { 584, 0, 64, 24 }, "保存後再読込", p);
    row("BUTTON12", { 648, 0, 64, 24 }, "保存後逆読込", p);
    row("BUTTON8", { 498, 0, 60, 30 }, "登録終了", p);
    row("BUTTON6", { 18, 12, 258, 30 }, "直接ファイル名を指定して画像を読み込む", p);
    row("BUTTON7", { 282, 12, 120, 30 }, "連番ファイル参照", p);
    row("BUTTON15", { 408, 12, 78, 30 }, "全画像", p);
    row("EDIT1", { 18, 54, 456, 24 }, "", g);
    row("TEXT4", { 18, 90, 60, 18 }, "固定文字", p);
    row("EDIT2", { 84, 84, 90, 24 }, "", g);
    row("TEXT1", { 192, 90, 60, 18 }, "読込開始", p);
    row("EDIT3", { 252, 84, 72, 24 }, "", p);
    row("TEXT2", { 336, 90, 66, 18 }, "連番桁数", p);
    row("EDIT4", { 396, 84, 30, 24 }, "", p);
    row("TEXT3", { 444, 90, 60, 18 }, "埋め文字", p);
    row("COMBO3", { 504, 84, 48, 24 }, "0", p);
    row("BUTTON13", { 390, 150, 78, 18 }, "ＡＬＬ・１", p);
    row("BUTTON14", { 474, 150, 78, 18 }, "全ファイル削除", p);
    row("LIST1", { 12, 156, 72, 86 }, "", g);
    row("CHECK1", { 120, 174, 96, 18 }, "分類有効", p);
    row("TEXT9", { 258, 180, 42, 18 }, "分類名", p);
    row("EDIT5", { 312, 174, 114, 24 }, "", g);
    row("BUTTON10", { 444, 174, 108, 30 }, "保存先参照", p);
    row("EDIT6", { 96, 210, 456, 24 }, "", g);
    row("TEXT5", { 18, 252, 60, 18 }, "固定文字", p);
    row("EDIT7", { 84, 246, 90, 24 }, "", g);
    row("TEXT6", { 198, 252, 60, 18 }, "書込開始", p);
    row("EDIT8", { 258, 246, 72, 24 }, "", p);
    row("TEXT7", { 342, 252, 66, 18 }, "連番桁数", p);
    row("EDIT9", { 402, 246, 30, 24 }, "", p);
    row("TEXT8", { 444, 252, 60, 18 }, "埋め文字", p);
    row("COMBO4", { 504, 246, 48, 24 }, "", p);
    row("EDIT10", { 24, 288, 528, 138 }, "", g);
    // clang-format on
}

void TestApp::stripAndRegistrationControlsStandAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    TestProgram program;
    program.start();
    QWidget* widget = program.widget(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().family(), family);
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        shown = button->text();
    else if (auto* label = qobject_cast<QLabel*>(widget))
        shown = label->text();
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        shown = combo->currentText();
    else if (name == QLatin1String("EDIT1"))
        shown = program.app().LoadPath, caption = currentDirectory();
    QCOMPARE(shown, caption);
}

void TestApp::windowsAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QWidget* main = program.widget(QStringLiteral("MAINFORM"));
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    QVERIFY(main->isVisible());
    QVERIFY(main->isMaximized());
    QCOMPARE(main->windowTitle(), QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(app.FormWidth, app.rt.GetWidth(app.MAINFORM));
    QCOMPARE(app.FormHeight, app.rt.GetHeight(app.MAINFORM));
    QVERIFY(!form2->isVisible());
    QVERIFY(form2->isWindow());
    QCOMPARE(form2->windowTitle(), QStringLiteral("ファイルと分類の登録"));
    QCOMPARE(app.rt.GetWidth(app.FORM2), 578);
    QCOMPARE(app.rt.GetHeight(app.FORM2), 466);
    QVERIFY(!(form2->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(form2->windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(form2->windowFlags() & Qt::WindowTitleHint);
    // The view is built from the blank image like from any image: margin included.
    QCOMPARE(app.bitmaps.GetBitmapWidth(app.ViewBitmap), 2020.0f);
    QCOMPARE(app.bitmaps.GetBitmapHeight(app.ViewBitmap), 1020.0f);
    QCOMPARE(app.bitmaps.GetBitmapWidth(app.SourceBitmap), 2000.0f);
    QCOMPARE(app.bitmaps.GetBitmapHeight(app.SourceBitmap), 1000.0f);
    QCOMPARE(app.ImageWidth, 2000.0f);
    QCOMPARE(app.ViewHeight, 1020.0f);
}

void TestApp::listsAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    const QStringList magnifications = { "等倍", "縦合わせ", "横合わせ", "×０.９", "×０.８", "×０.７",
        "×０.６", "×０.５", "×０.４", "×０.３", "×０.２", "×０.１" };
    QCOMPARE(app.rt.GetCount(app.COMBO5), 12);
    for (int i = 0; i < 12; ++i)
        QCOMPARE(app.rt.GetItemText(app.COMBO5, i), magnifications[i]);
    QCOMPARE(app.rt.GetCurSel(app.COMBO5), 0);
    for (Control fill : { app.COMBO3, app.COMBO4 }) {
        QCOMPARE(app.rt.GetCount(fill), 2);
        QCOMPARE(app.rt.GetItemText(fill, 0), QStringLiteral("無"));
        QCOMPARE(app.rt.GetItemText(fill, 1), QStringLiteral("0"));
    }
    QCOMPARE(app.rt.GetCurSel(app.COMBO3), 1);
    QCOMPARE(app.rt.GetCount(app.LIST1), 20);
    QCOMPARE(app.rt.GetItemText(app.LIST1, 0), QStringLiteral("分類 1"));
    QCOMPARE(app.rt.GetItemText(app.LIST1, 6), QStringLiteral("分類 7"));
    QCOMPARE(app.rt.GetItemText(app.LIST1, 19), QStringLiteral("分類 20"));
    // No category is valid, so category 1 is current and neither list shows a selection.
    QCOMPARE(app.CurCat, 1);
    QCOMPARE(app.rt.GetCurSel(app.LIST1), -1);
    QCOMPARE(app.rt.GetCount(app.COMBO2), 0);
    QCOMPARE(app.rt.GetCount(app.COMBO1), 0);
}

void TestApp::categoryDefaults_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixed");
    // clang-format off
    QTest::newRow("1") << 1 << "分類 1" << "CG01_";
    QTest::newRow("9") << 9 << "分類 9" << "CG09_";
    QTest::newRow("10") << 10 << "分類 10" << "CG10_";
    QTest::newRow("20") << 20 << "分類 20" << "CG20_";
    // clang-format on
}

void TestApp::categoryDefaults()
{
    QFETCH(int, category);
    QFETCH(QString, name);
    QFETCH(QString, fixed);
    TestProgram program;
    program.start();
    App& app = program.app();
    QCOMPARE(app.CatName[category], name);
    QCOMPARE(app.CatFolder[category], QDir::toNativeSeparators(program.dir()) + pathSeparator());
    QCOMPARE(app.CatFixed[category], fixed);
    QCOMPARE(app.CatStartText[category], QStringLiteral("1"));
    QCOMPARE(app.CatNextNo[category], int16_t(1));
    QCOMPARE(app.CatDigits[category], int16_t(3));
    QCOMPARE(app.CatFill[category], QStringLiteral("0"));
    QCOMPARE(app.CatValid[category], int16_t(0));
    QCOMPARE(app.CatFrameCount[category], 0);
}

void TestApp::controlStatesAfterStartUp()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    for (Control disabled : { app.BUTTON3, app.BUTTON4, app.COMBO1 })
        QCOMPARE(app.rt.IsWindowEnabled(disabled), kFalse);
    // Start-up disables BUTTON2, but the resize of the maximised window is handled as soon as
    // the loop runs, and its rebuild of the view puts the trimming controls in their normal
    // state, where BUTTON2 is usable.
    QCOMPARE(app.rt.IsWindowEnabled(app.BUTTON2), kTrue);
    QCOMPARE(app.rt.IsWindowVisible(app.BUTTON1), kFalse);
    // Trimming and saving wait for a registered image source.
    for (Control hidden : { app.BUTTON2, app.BUTTON9, app.BUTTON11, app.BUTTON12 })
        QCOMPARE(app.rt.IsWindowVisible(hidden), kFalse);
    QCOMPARE(app.LoadPath, QDir::toNativeSeparators(program.dir()));
    QCOMPARE(app.SeqFixed, QStringLiteral("CG"));
    QCOMPARE(app.SeqNumber, 1.0);
    QCOMPARE(app.SeqDigits, int16_t(3));
    QCOMPARE(app.LoadMode, LoadMode::Sequence);
    QCOMPARE(app.Magnification, 1.0f);
    QCOMPARE(app.MaxFramesPerCat, int16_t(50));
    QCOMPARE(app.BandLeft, kNoBand);
    QCOMPARE(app.ScrollBarSize, int16_t(16));
    QCOMPARE(app.JpegTempFile, QStringLiteral("DAMMY.BMP"));
    QCOMPARE(app.SrcList.size(), 1);
    QCOMPARE(app.TitleText, QStringLiteral("Velmora Ver1.4"));
    QVERIFY(!app.BannerText.isEmpty());
}

namespace {

// The room a control gives its caption, as its style lays it out.
int captionRoom(QWidget* control)
{
    QStyle* style = control->style();
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    return control->contentsRect().width();
}

} // namespace

// Every caption of both windows shows whole at the designed control sizes and font sizes.
void TestApp::captionsFitTheirControls()
{
    TestProgram program;
    program.start();
    int checked = 0;
    for (const char* form : { "MAINFORM", "FORM2" }) {
        for (QWidget* control : program.widget(QString::fromLatin1(form))->findChildren<QWidget*>()) {
            QString caption;
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                caption = button->text();
            else if (auto* label = qobject_cast<QLabel*>(control))
                caption = label->text();
            if (caption.isEmpty()) continue;
            const int needed = control->fontMetrics().horizontalAdvance(caption);
            QVERIFY2(needed <= captionRoom(control),
                qPrintable(QStringLiteral("%1 \"%2\" needs %3 px, has %4 (font %5)")
                               .arg(control->objectName(), caption)
                               .arg(needed)
                               .arg(captionRoom(control))
                               .arg(control->fontInfo().family())));
            ++checked;
        }
    }
    QVERIFY(checked >= 25);
}

// A screen reader names every control of both windows: by its caption, or by the name the
// form gives the edits, lists and bars after the labels beside them. A drop-down list is named
// by its current entry on this platform; what it is for is its description.
void TestApp::everyControlHasASpokenName()
{
    TestProgram program;
    program.start();
    for (const char* form : { "MAINFORM", "FORM2" }) {
        for (QWidget* control : program.widget(QString::fromLatin1(form))->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_")))
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(accessible, qPrintable(control->objectName()));
            const auto spoken
                = qobject_cast<QComboBox*>(control) ? QAccessible::Description : QAccessible::Name;
            QVERIFY2(!accessible->text(spoken).trimmed().isEmpty(), qPrintable(control->objectName()));
        }
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(program.widget(QStringLiteral("EDIT8")))
                 ->text(QAccessible::Name),
        QStringLiteral("書込開始"));
}

void TestApp::registrationWindowIgnoresEscapeAndClose()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.rt.ShowWindow(app.FORM2, kTrue);
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    QTest::keyClick(form2, Qt::Key_Escape);
    form2->close();
    program.runEvents();
    QVERIFY(form2->isVisible());
    QVERIFY(!app.rt.Ended());
}

void TestApp::registrationWindowStaysInFrontOfTheMainWindow()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    QWidget* main = program.widget(QStringLiteral("MAINFORM"));
    QWidget* form2 = program.widget(QStringLiteral("FORM2"));
    // A transient dialog-type window of the main window: window managers keep it above it.
    // It is no child of the main window, which would disable it together with the main window.
    QCOMPARE(form2->windowHandle()->transientParent(), main->windowHandle());
    QCOMPARE(form2->windowHandle()->type(), Qt::Dialog);
    QCOMPARE(form2->parentWidget(), nullptr);

    click(program, "BUTTON5");
    QVERIFY(form2->isVisible());
    QVERIFY(form2->isEnabled());
    QVERIFY(!main->isEnabled());
    QTRY_COMPARE(QApplication::activeWindow(), form2);

    // The user clicks the greyed main window: the window system activates it, and the
    // registration window comes forward again.
    main->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), form2);
    // Also when the window manager had minimised it.
    form2->showMinimized();
    main->activateWindow();
    QTRY_VERIFY(!form2->isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), form2);

    // The main window's close box does nothing while the registration window is open.
    closeMainWindow(program);
    QVERIFY(!app.rt.Ended());
    QVERIFY(main->isVisible());
}

void TestApp::requestIsCarriedOutOnce()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    int carriedOut = 0;
    PendingAction pendingDuringAction = PendingAction::None;
    app.RequestActions[PendingAction::SaveThenNext] = [&](App& a) {
        ++carriedOut;
        pendingDuringAction = a.PendingAction;
    };
    app.rt.SetHandler(QStringLiteral("BUTTON9_ON"),
        [&](const ControlEvent&) { app.PendingAction = PendingAction::SaveThenNext; });
    app.rt.ShowWindow(app.BUTTON9, kTrue); // as a registration shows it
    QTest::mouseClick(program.widget(QStringLiteral("BUTTON9")), Qt::LeftButton);
    program.runEvents();
    QCOMPARE(carriedOut, 1);
    QCOMPARE(pendingDuringAction, PendingAction::SaveThenNext);
    QCOMPARE(app.PendingAction, PendingAction::None);
    program.runEvents();
    QCOMPARE(carriedOut, 1);
}

void TestApp::titleNamesTheImage_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    // clang-format off
    QTest::newRow("no image") << "" << "Velmora Ver1.4";
    QTest::newRow("image") << "x.BMP" << "Velmora Ver1.4 　　トリミング画像「x.BMP」";
    // clang-format on
}

void TestApp::titleNamesTheImage()
{
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    TestProgram program;
    program.start();
    App& app = program.app();
    app.CurrentFileName = fileName;
    TITLE_SET(app);
    QCOMPARE(program.widget(QStringLiteral("MAINFORM"))->windowTitle(), title);
}

void TestApp::closingTheMainWindowEndsTheProgram()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    app.LoadMode = LoadMode::SingleFile;
    closeMainWindow(program);
    QVERIFY(app.rt.Ended());
    QCOMPARE(app.LoadMode, LoadMode::None);
    QCOMPARE(app.bitmaps.CheckObject(app.ViewBitmap), 0);
}

void TestApp::unexpectedErrorEndsTheProgramWithOneBox()
{
    TestProgram program;
    App& app = program.app();
    QTimer::singleShot(0, [&] {
        app.rt.SetHandler(QStringLiteral("BUTTON5_ON"), [](const ControlEvent&) {
            throw UnexpectedError { QStringLiteral("BUTTON5_ON"), 3 };
        });
        QTest::mouseClick(program.widget(QStringLiteral("BUTTON5")), Qt::LeftButton);
    });
    program.dialogs().answerMessage();
    QCOMPARE(runProgram(app), 1);
    const auto messages = program.dialogs().messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(messages[0].text, QStringLiteral("続行不可能なエラーが発生しました BUTTON5_ON [3行]"));
    QCOMPARE(messages[0].icon, MessageIcon::Stop);
}

void TestApp::escapingExceptionBecomesUnexpectedError()
{
    TestProgram program;
    program.start();
    App& app = program.app();
    registerHandler(app, "BUTTON5_ON", [](App&, const ControlEvent&) { throw std::bad_alloc(); });
    QTest::mouseClick(program.widget(QStringLiteral("BUTTON5")), Qt::LeftButton);
    try {
        program.runEvents();
        QFAIL("the error did not reach the program");
    } catch (const UnexpectedError& error) {
        QCOMPARE(
            unexpectedErrorText(error), QStringLiteral("続行不可能なエラーが発生しました BUTTON5_ON [0行]"));
    }
}

void TestApp::errorOutsideHandlersEndsTheProgramWithOneBox_data()
{
    QTest::addColumn<bool>("duringStartUp"); // otherwise request 2 fails
    QTest::addColumn<QByteArray>("settings"); // keys are not read; only the values count
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("request") << false << QByteArray("Copyright,x\r\nwork,\r\nzoom,0\r\n") << "続行不可能なエラーが発生しました RequestLoop [2行]";
    QTest::newRow("start-up") << true << QByteArray("Copyright,x\r\nwork,\r\nzoom,big\r\n") << "続行不可能なエラーが発生しました startUp [0行]";
    // clang-format on
}

// An error that escapes a request of the loop, or the start-up, ends the program like one that
// escapes a handler: one box, the error exit code, and KANKYO.TXT left as it was.
void TestApp::errorOutsideHandlersEndsTheProgramWithOneBox()
{
    QFETCH(bool, duringStartUp);
    QFETCH(QByteArray, settings);
    QFETCH(QString, text);
    TestProgram program;
    App& app = program.app();
    const QString settingsFile = program.path(QStringLiteral("KANKYO.TXT"));
    writeBytes(settingsFile, settings);
    if (duringStartUp) {
        // The settings file is damaged, and the message that says so cannot be shown.
        program.dialogs().failMessage();
    } else {
        QTimer::singleShot(0, [&] {
            app.RequestActions[PendingAction::SaveThenNext] = [](App&) { throw std::bad_alloc(); };
            app.rt.ShowWindow(app.BUTTON9, kTrue); // as a registration leaves it
            app.rt.EnableWindow(app.BUTTON9, kTrue);
            QTest::mouseClick(program.widget(QStringLiteral("BUTTON9")), Qt::LeftButton);
        });
    }
    program.dialogs().answerMessage();
    QCOMPARE(runProgram(app), 1);
    QCOMPARE(program.dialogs().unanswered(), 0);
    QList<ScriptedDialogs::Call> boxes;
    for (const ScriptedDialogs::Call& message : program.dialogs().messages())
        if (message.icon == MessageIcon::Stop) boxes << message;
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Velmora Ver1.4"));
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(program.dialogs().messages().last().icon, MessageIcon::Stop);
    QCOMPARE(readBytes(settingsFile), settings);
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
