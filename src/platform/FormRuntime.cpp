#include "platform/FormRuntime.h"

#include "platform/NoteOverlay.h"
#include "platform/StripText.h"
#include "platform/SessionEnd.h"
#include "platform/TableWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QWidget>
#include <QWindow>

namespace {

struct PointerShape
{
    int code;
    Qt::CursorShape shape;
};

constexpr PointerShape kPointerShapes[] = {
    { MousePointer::Default, Qt::ArrowCursor },
    { MousePointer::Modify, Qt::CrossCursor },
    { MousePointer::ResizeCorner, Qt::SizeAllCursor },
    { MousePointer::ResizeHorizontal, Qt::SizeHorCursor },
    { MousePointer::ResizeVertical, Qt::SizeVerCursor },
};

// Multi-line edits hold their lines with CR LF, as the program composes and reads them.
QString toEditLines(const QString& text)
{
    return QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}
QString fromEditLines(const QString& text)
{
    return QString(text).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

} // namespace

FormRuntime::FormRuntime(FormFactory factory, std::unique_ptr<Dialogs> dialogs)
    : m_factory(std::move(factory))
    , m_dialogs(std::move(dialogs))
{
    connect(&SessionEnd::instance(), &SessionEnd::ended, this, &FormRuntime::endSession);
}

FormRuntime::~FormRuntime()
{
    delete m_tableWindow.data();
    for (Bound& bound : m_controls)
        if (bound.widget && bound.widget->isWindow()) delete bound.widget.data();
}

// --- windows and controls ----------------------------------------------------------------

Control FormRuntime::CreateWindow(const QString& formName, bool visible)
{
    QWidget* window = m_factory(formName);
    if (!window) return {};
    window->setObjectName(formName);
    const Control form { int(m_controls.size()) };
    m_controls.push_back({ window, formName, form });
    if (!m_mainWindow) m_mainWindow = form;
    if (m_mainWindow != form) keepInFrontOf(window, Widget(m_mainWindow));
    wire(window, formName, form);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->objectName().isEmpty() && !child->objectName().startsWith(QLatin1String("qt_")))
            wire(child, child->objectName(), form);
    }
    window->setVisible(visible);
    return form;
}

// Every other window stays in front of the main window: it is a transient window of the main
// window, which the window manager keeps above it (WM_TRANSIENT_FOR on X11, for a dialog-type
// window). It is no child widget of the main window, so disabling the main window leaves it
// usable.
void FormRuntime::keepInFrontOf(QWidget* window, QWidget* owner)
{
    if (!owner) return;
    window->winId();
    owner->winId();
    window->windowHandle()->setTransientParent(owner->windowHandle());
}

Control FormRuntime::formOf(const QObject* watched) const
{
    for (size_t i = 1; i < m_controls.size(); ++i)
        if (m_controls[i].widget == watched) return m_controls[i].form;
    for (const QObject* object = watched; object; object = object->parent())
        for (size_t i = 1; i < m_controls.size(); ++i)
            if (m_controls[i].widget == object && m_controls[i].widget->isWindow()) return Control { int(i) };
    return {};
}

Control FormRuntime::bind(QWidget* widget, const QString& name, Control form)
{
    for (size_t i = 1; i < m_controls.size(); ++i)
        if (m_controls[i].widget == widget) return Control { int(i) };
    m_controls.push_back({ widget, name, form });
    return Control { int(m_controls.size() - 1) };
}

Control FormRuntime::GetDlgItem(Control form, const QString& name)
{
    QWidget* window = Widget(form);
    if (!window) return {};
    auto* widget = window->findChild<QWidget*>(name);
    return widget ? bind(widget, name, form) : Control {};
}

QWidget* FormRuntime::Widget(Control control) const
{
    if (control.id <= 0 || size_t(control.id) >= m_controls.size()) return nullptr;
    return m_controls[size_t(control.id)].widget.data();
}

QString FormRuntime::NameOf(Control control) const
{
    return Widget(control) ? m_controls[size_t(control.id)].name : QString();
}

void FormRuntime::SetWindowText(Control control, const QString& text)
{
    QWidget* widget = Widget(control);
    if (!widget) return;
    const QSignalBlocker blocker(widget);
    if (widget->isWindow())
        widget->setWindowTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setText(text);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setPlainText(toEditLines(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
}

QString FormRuntime::GetWindowText(Control control) const
{
    QWidget* widget = Widget(control);
    if (!widget) return {};
    if (widget->isWindow()) return widget->windowTitle();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) return fromEditLines(edit->toPlainText());
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    return {};
}

void FormRuntime::EnableWindow(Control control, int enable)
{
    if (QWidget* widget = Widget(control)) widget->setEnabled(enable != 0);
}

void FormRuntime::ShowWindow(Control control, int show)
{
    if (QWidget* widget = Widget(control)) widget->setVisible(show != 0);
}

int FormRuntime::IsWindowVisible(Control control) const
{
    QWidget* widget = Widget(control);
    return widget && widget->isVisible() ? kTrue : kFalse;
}

int FormRuntime::IsWindowEnabled(Control control) const
{
    QWidget* widget = Widget(control);
    return widget && widget->isEnabled() ? kTrue : kFalse;
}

// Positions of a window include its frame. A window's size is its inner size plus the frame
// the metrics report, so that the program's arithmetic (outer size less caption and frame)
// always gives the inner size, even when the window manager draws the frame only later.
void FormRuntime::MoveWindow(Control control, int x, int y)
{
    if (QWidget* widget = Widget(control)) widget->move(x, y);
}

void FormRuntime::SetWindowSize(Control control, int width, int height)
{
    QWidget* widget = Widget(control);
    if (!widget) return;
    if (widget->isWindow()) {
        width -= frameMargins().left() + frameMargins().right();
        height -= frameMargins().top() + frameMargins().bottom();
    }
    widget->resize(std::max(width, 0), std::max(height, 0));
}

int FormRuntime::GetWidth(Control control) const
{
    QWidget* widget = Widget(control);
    if (!widget) return 0;
    return widget->width() + (widget->isWindow() ? frameMargins().left() + frameMargins().right() : 0);
}

int FormRuntime::GetHeight(Control control) const
{
    QWidget* widget = Widget(control);
    if (!widget) return 0;
    return widget->height() + (widget->isWindow() ? frameMargins().top() + frameMargins().bottom() : 0);
}

void FormRuntime::MaximizeWindow(Control window)
{
    QWidget* widget = Widget(window);
    if (!widget) return;
    widget->showMaximized();
    // The window system sizes the window and draws its frame asynchronously; the program reads
    // the new size right after this call. Events raised meanwhile only queue up for WaitEvent.
    QCoreApplication::processEvents();
}

void FormRuntime::SetForegroundWindow(Control window)
{
    if (QWidget* widget = Widget(window)) {
        widget->raise();
        widget->activateWindow();
    }
}

void FormRuntime::DestroyWindow(Control window)
{
    QWidget* widget = Widget(window);
    if (!widget) return;
    if (window == m_mainWindow) {
        m_ended = true;
        m_events.clear();
    }
    widget->removeEventFilter(this);
    widget->hide();
    widget->deleteLater();
}

// The forms were designed for font sizes that count one point per pixel: a 14-point caption
// of seven characters fills a 96-pixel button. The size is therefore set in pixels, which the
// window system scales on high-density screens like every other length of the forms.
void FormRuntime::SetFontSize(Control control, int points)
{
    QWidget* widget = Widget(control);
    if (!widget) return;
    QFont font = widget->font();
    font.setPixelSize(points);
    widget->setFont(font);
}

int FormRuntime::GetFontSize(Control control) const
{
    QWidget* widget = Widget(control);
    return widget ? widget->font().pixelSize() : 0;
}

void FormRuntime::SetMousePointer(Control control, int shape)
{
    QWidget* widget = Widget(control);
    if (!widget) return;
    for (const PointerShape& entry : kPointerShapes)
        if (entry.code == shape) widget->setCursor(entry.shape);
}

int FormRuntime::GetMousePointer(Control control) const
{
    QWidget* widget = Widget(control);
    if (!widget) return MousePointer::Default;
    for (const PointerShape& entry : kPointerShapes)
        if (entry.shape == widget->cursor().shape()) return entry.code;
    return MousePointer::Default;
}

// --- keys, tooltips, notes, table windows ------------------------------------------------

void FormRuntime::SetToolTip(Control control, const QString& text)
{
    if (QWidget* widget = Widget(control)) widget->setToolTip(text);
}

void FormRuntime::ShowNote(Control after, const QString& text, int milliseconds)
{
    QWidget* widget = Widget(after);
    if (!widget) return;
    QWidget* window = widget->window();
    if (!m_note || m_note->parentWidget() != window) {
        m_note = new NoteOverlay(window);
        if (m_stripText && m_stripText->parentWidget() == window) m_note->keepClearOf(m_stripText);
    }
    m_note->showNote(text, widget, milliseconds);
}

void FormRuntime::SetStripText(Control after, const QString& text)
{
    QWidget* widget = Widget(after);
    if (!widget) return;
    QWidget* window = widget->window();
    if (!m_stripText || m_stripText->parentWidget() != window) {
        m_stripText = new StripText(window);
        if (m_note && m_note->parentWidget() == window) m_note->keepClearOf(m_stripText);
    }
    m_stripText->showText(text, widget);
}

QString FormRuntime::StripTextShown() const
{
    return m_stripText ? m_stripText->shownText() : QString();
}

QString FormRuntime::ShownNote() const
{
    return m_note ? m_note->note() : QString();
}

// A note lasts until the user acts: input on a control, a click on the note, an answer to a
// dialog.
void FormRuntime::endNote()
{
    if (m_note) m_note->dismiss();
}

void FormRuntime::ShowTableWindow(
    Control owner, const QString& title, const QString& heading, const QList<TableRow>& rows)
{
    if (!m_tableWindow) {
        m_tableWindow = new TableWindow;
        m_tableWindow->setObjectName(QStringLiteral("TABLEWINDOW"));
        if (QWidget* ownerWindow = Widget(owner)) m_tableWindow->setFont(ownerWindow->font());
    }
    m_tableWindow->setWindowTitle(title);
    m_tableWindow->setTable(heading, rows);
    m_tableWindow->show();
    m_tableWindow->raise();
    m_tableWindow->activateWindow();
}

// --- dialogs and metrics -----------------------------------------------------------------

// The session's end closes the program as its close box does, but without a question: the
// end event goes before any input still queued. A dialog on show is closed as its Escape key
// closes it, so that the handler that opened it returns.
void FormRuntime::endSession()
{
    if (m_ended || m_sessionEnding) return;
    m_sessionEnding = true;
    for (int open = 0; open < 8; ++open) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    m_events.push_front({ { NameOf(m_mainWindow) + QLatin1String("_END"), m_mainWindow }, {}, false });
}

int FormRuntime::unaskedAnswer(int buttons) const
{
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

int FormRuntime::MessageBox(
    Control owner, const QString& title, const QString& text, int buttons, int icon, const QString& details)
{
    if (m_sessionEnding) return unaskedAnswer(buttons);
    const int answer = m_dialogs->messageBox(Widget(owner), title, text, buttons, icon, details);
    endNote();
    return answer;
}

QString FormRuntime::WinOpenDlg(
    Control owner, const QString& prompt, const QString& start, const QString& filter, int flag)
{
    if (m_sessionEnding) return dialogCancelled();
    const QString chosen = m_dialogs->openFile(Widget(owner), prompt, start, filter, flag);
    endNote();
    return chosen;
}

// The program asks for a file to save only to learn a folder: the name it offers is a
// placeholder and nothing is written. So the user gets a folder chooser, starting in the
// offered name's folder, and the answer is the offered name in the chosen folder.
QString FormRuntime::WinSaveDlg(
    Control owner, const QString& prompt, const QString& start, const QString& /*filter*/, int /*flag*/)
{
    if (m_sessionEnding) return dialogCancelled();
    const QFileInfo offered(start);
    const QString folder = m_dialogs->chooseFolder(Widget(owner), prompt, offered.path());
    endNote();
    if (folder == dialogCancelled() || folder.isEmpty()) return dialogCancelled();
    return QDir::toNativeSeparators(QDir(folder).filePath(offered.fileName()));
}

// The main window's frame stands in for the system metrics, taken once when first needed:
// its left edge for the frame thickness (also below the window), its top edge for caption
// height plus frame.
QMargins FormRuntime::frameMargins() const
{
    if (!m_frameMargins) {
        QWidget* window = Widget(m_mainWindow);
        if (!window) return {};
        const int frame = std::max(window->geometry().x() - window->frameGeometry().x(), 0);
        const int top = std::max(window->geometry().y() - window->frameGeometry().y(), frame);
        m_frameMargins = QMargins(frame, top, frame, frame);
    }
    return *m_frameMargins;
}

int FormRuntime::GetSystemMetrics(Metric metric) const
{
    switch (metric) {
    case SM_CYFRAME: return frameMargins().left();
    case SM_CYSIZE: return frameMargins().top() - frameMargins().left();
    case SM_CYBORDER: return 0;
    }
    return 0;
}
