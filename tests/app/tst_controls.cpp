#include "app/StartUp.h"
#include "fixture/TestProgram.h"
#include "forms/Forms.h"
#include "platform/FileSystem.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>

// The controls of both windows: each bound by start-up's table, placed and captioned as designed,
// its caption shown whole, and named for a screen reader.
class TestControls : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void everyControlIsBoundByTheTable();
    void stripAndRegistrationControlsStandAsDesigned_data();
    void stripAndRegistrationControlsStandAsDesigned();
    void captionsFitTheirControls();
    void everyControlHasASpokenName();
};

void TestControls::cleanup()
{
    verifyEveryScriptedAnswerTaken();
}

namespace {

// The controls a form places in its window: the widgets it names.
QStringList controlsOfForm(const QWidget* window)
{
    QStringList names;
    // What the runtime lays over a window on its own (the note, the strip's text) is named qt_...
    // as Qt names its own widgets, and is no control of the form.
    for (const QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
            names << child->objectName();
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
void TestControls::everyControlIsBoundByTheTable()
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

void TestControls::stripAndRegistrationControlsStandAsDesigned_data()
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

void TestControls::stripAndRegistrationControlsStandAsDesigned()
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
void TestControls::captionsFitTheirControls()
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
void TestControls::everyControlHasASpokenName()
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

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
