#include "platform/FormRuntime.h"

#include "platform/SurfaceWidget.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>


// How the user's actions become the program's events: which controls raise which events, the
// gate every action passes, and the queue the handlers are run from.

namespace {

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return 0;
    }
}

int buttonsHeld(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? MouseButton::Left : 0)
        | (buttons & Qt::RightButton ? MouseButton::Right : 0)
        | (buttons & Qt::MiddleButton ? MouseButton::Middle : 0);
}

// The one local file or folder a drag carries; empty for anything else (several, or none local).
QString draggedPath(const QMimeData* data)
{
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    return urls.size() == 1 && urls.front().isLocalFile() ? urls.front().toLocalFile() : QString();
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? ModifierKey::Shift : 0)
        | (modifiers & Qt::ControlModifier ? ModifierKey::Control : 0)
        | (modifiers & Qt::AltModifier ? ModifierKey::Alt : 0);
}

// A list or combo box takes the wheel only while it has the keyboard focus: a closed list that
// the pointer merely passes over would otherwise change its choice, and a new magnification
// forgets every frame. The wheel it leaves goes on to its parent, as Qt passes on any wheel a
// widget ignores.
class WheelOnlyWithFocus final : public QObject
{
public:
    explicit WheelOnlyWithFocus(QWidget* control)
        : QObject(control)
        , m_control(control)
    {
        // Nor may the wheel give it the focus: a combo box's own focus policy takes it on a wheel.
        if (control->focusPolicy() == Qt::WheelFocus) control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(this);
        // A list box gets the wheel on its viewport, inside its frame.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
            area->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || m_control->hasFocus()) return false;
        event->ignore();
        return true;
    }

private:
    QWidget* m_control;
};

} // namespace

void FormRuntime::SetHandler(const QString& eventName, EventHandler handler)
{
    m_handlers[eventName] = std::move(handler);
}

bool FormRuntime::WaitEvent(Wait wait)
{
    for (;;) {
        while (m_events.empty()) {
            if (m_ended) return false;
            if (wait == Wait::NoWait) {
                QCoreApplication::processEvents();
                if (m_events.empty()) return false;
            } else {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
        }
        if (m_ended) return false;
        const QueuedEvent next = m_events.front();
        m_events.pop_front();
        // A handler that ran meanwhile may have disabled or hidden the control the user acted on;
        // the input then goes nowhere, as it would had it arrived after the change.
        if (next.fromUser && !acceptsInput(next.source)) continue;
        if (auto handler = m_handlers.find(next.event.name); handler != m_handlers.end())
            handler->second(next.event);
        return true;
    }
}

void FormRuntime::PostEvent(const ControlEvent& event)
{
    if (!m_ended) m_events.push_back({ event, {}, false });
}

bool FormRuntime::acceptsInput(const QWidget* widget)
{
    return widget && widget->isEnabled() && widget->isVisible();
}

void FormRuntime::queueInput(QWidget* source, const ControlEvent& event)
{
    if (m_ended || !acceptsInput(source)) return;
    // A note stays while the pointer only moves; any other action of the user ends it.
    if (!event.name.endsWith(QLatin1String("_MOUSEMOVE"))) endNote();
    m_events.push_back({ event, source, true });
}

// Connects the user actions of one control to its events, and notes which events it raises.
void FormRuntime::wire(QWidget* widget, const QString& name, Control form)
{
    auto raises = [&](std::initializer_list<const char*> events) {
        for (const char* event : events)
            m_raisedEvents.insert(name + QLatin1String(event));
    };
    auto raiseEvent = [=, this](const char* event) {
        queueInput(widget, { name + QLatin1String(event), form });
    };
    if (widget->isWindow()) {
        widget->installEventFilter(this);
        raises({ "_END", "_RESIZE" });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [=] { raiseEvent("_ON"); });
        raises({ "_ON" });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::currentIndexChanged, this, [=] { raiseEvent("_CHANGE"); });
        combo->installEventFilter(this);
        new WheelOnlyWithFocus(combo);
        raises({ "_CHANGE", "_CLICK" });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [=] { raiseEvent("_CLICK"); });
        new WheelOnlyWithFocus(list);
        raises({ "_CLICK" });
    } else if (auto* bar = qobject_cast<QScrollBar*>(widget)) {
        connect(bar, &QScrollBar::valueChanged, this, [=] { raiseEvent("_CHANGE"); });
        raises({ "_CHANGE" });
    } else if (qobject_cast<SurfaceWidget*>(widget)) {
        widget->installEventFilter(this);
        raises({ "_MOUSEDOWN", "_MOUSEUP", "_MOUSEMOVE", "_WHEEL" });
    }
}

QStringList FormRuntime::UnknownEvents() const
{
    QStringList unknown;
    for (const auto& entry : m_handlers)
        if (!m_raisedEvents.contains(entry.first)) unknown << entry.first;
    return unknown;
}

bool FormRuntime::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || m_ended) return QObject::eventFilter(watched, event);
    bool taken = false;
    if (widget->isWindow())
        taken = windowEvent(widget, event);
    else if (qobject_cast<QComboBox*>(widget))
        comboBoxEvent(widget, event);
    else
        taken = pictureEvent(widget, event);
    return taken || QObject::eventFilter(watched, event);
}

// Closing, resizing and activating a window, and what is dragged onto it. True when the event is
// the program's alone.
bool FormRuntime::windowEvent(QWidget* window, QEvent* event)
{
    const QString name = window->objectName();
    switch (event->type()) {
    case QEvent::Close:
        // Closing a window is an event for the program to handle; the window itself stays
        // until the program destroys it. A disabled window's close box does nothing.
        event->ignore();
        queueInput(window, { name + QLatin1String("_END"), formOf(window) });
        return true;
    case QEvent::Resize:
        if (const auto* resize = static_cast<QResizeEvent*>(event); resize->size() != resize->oldSize())
            PostEvent({ name + QLatin1String("_RESIZE"), formOf(window) });
        return false;
    case QEvent::WindowActivate:
        if (!window->isEnabled()) bringTransientsForward(window);
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: dragEvent(window, static_cast<QDropEvent*>(event)); return true;
    default: return false;
    }
}

// The pointer shows whether a drop here would be taken; a drop that is raises the window's
// "_DROP" event with the path.
void FormRuntime::dragEvent(QWidget* window, QDropEvent* drag)
{
    const QString path = draggedPath(drag->mimeData());
    if (drag->type() != QEvent::Drop) {
        if (acceptsInput(window) && !path.isEmpty())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return;
    }
    if (path.isEmpty()) return;
    drag->acceptProposedAction();
    queueInput(window, { window->objectName() + QLatin1String("_DROP"), formOf(window), 0, 0, 0, 0, path });
}

// A click on a combo box, opened or not.
void FormRuntime::comboBoxEvent(QWidget* combo, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress)
        queueInput(combo, { combo->objectName() + QLatin1String("_CLICK"), formOf(combo) });
}

// The picture control: the wheel, and mouse presses, releases and moves. Qt turns the second
// press of a quick pair into a double-click event instead of a press; for the program it is a
// press. True when the event was the picture's.
bool FormRuntime::pictureEvent(QWidget* picture, QEvent* event)
{
    const auto* surface = qobject_cast<SurfaceWidget*>(picture);
    if (!surface) return false;
    const QString name = picture->objectName();
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint at = surface->surfacePointOf(*wheel);
        queueInput(picture,
            { .name = name + QLatin1String("_WHEEL"),
                .owner = formOf(picture),
                .shift = shiftCode(wheel->modifiers()),
                .x = float(at.x()),
                .y = float(at.y()),
                .wheelSteps = QPointF(wheel->angleDelta()) / 120.0 });
        return true;
    }
    const char* suffix = nullptr;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: suffix = "_MOUSEDOWN"; break;
    case QEvent::MouseButtonRelease: suffix = "_MOUSEUP"; break;
    case QEvent::MouseMove: suffix = "_MOUSEMOVE"; break;
    default: return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const int button
        = event->type() == QEvent::MouseMove ? buttonsHeld(mouse->buttons()) : buttonCode(mouse->button());
    const QPoint at = surface->surfacePointOf(*mouse);
    queueInput(picture,
        { name + QLatin1String(suffix), formOf(picture), button, shiftCode(mouse->modifiers()), float(at.x()),
            float(at.y()) });
    return true;
}

// A window in front of a disabled one is what the user must answer first: when the window
// system activates the disabled window (a click on it), the shown windows it owns come forward,
// also from where a window manager minimised them.
void FormRuntime::bringTransientsForward(QWidget* owner)
{
    for (const Bound& bound : m_controls) {
        QWidget* window = bound.widget.data();
        if (!window || window == owner || !window->isWindow() || !window->isVisible()) continue;
        if (window->windowHandle() && window->windowHandle()->transientParent() == owner->windowHandle()) {
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->raise();
            window->activateWindow();
        }
    }
}

void FormRuntime::AcceptDrops(Control window)
{
    QWidget* widget = Widget(window);
    if (!widget || !widget->isWindow()) return;
    widget->setAcceptDrops(true);
    m_raisedEvents.insert(NameOf(window) + QLatin1String("_DROP"));
}

std::function<void()> FormRuntime::EventPoster(Control window, const QString& event)
{
    const QString name = NameOf(window) + QLatin1Char('_') + event;
    m_raisedEvents.insert(name);
    const ControlEvent posted { name, window };
    return [this, posted] {
        QMetaObject::invokeMethod(this, [this, posted] { PostEvent(posted); }, Qt::QueuedConnection);
    };
}

void FormRuntime::SetShortcut(Control target, const QKeySequence& key, const QString& event, int value)
{
    QWidget* control = Widget(target);
    if (!control) return;
    const Control form = formOf(control);
    const QString name = NameOf(target) + QLatin1Char('_') + event;
    m_raisedEvents.insert(name);
    auto* shortcut = new QShortcut(key, control->window());
    connect(shortcut, &QShortcut::activated, this, [=, this, source = QPointer<QWidget>(control)] {
        queueInput(source, { name, form, value });
    });
}
