#pragma once

#include "platform/Dialogs.h"
#include "platform/Drawing.h"
#include "platform/Handles.h"

#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class NoteOverlay;
class StripText;
class QDropEvent;
class QKeySequence;
class QWidget;
class TableWindow;

// Mouse button codes of the mouse events; a move holds the bits of the buttons held.
namespace MouseButton {
inline constexpr int Left = 1;
inline constexpr int Right = 2;
inline constexpr int Middle = 4;
} // namespace MouseButton

// Keys held with a mouse or wheel event, as the bits of its `shift`.
namespace ModifierKey {
inline constexpr int Shift = 1;
inline constexpr int Control = 2;
inline constexpr int Alt = 4;
} // namespace ModifierKey

// One user action or window-system event, addressed by name: control, "_", event
// ("BUTTON9_ON", "PICTURE1_MOUSEMOVE", "MAINFORM_END").
struct ControlEvent
{
    QString name;
    Control owner; // the window the control belongs to; its message boxes are owned by it
    // Press and release: the MouseButton pressed; move: the bits of the buttons held; a key
    // of SetShortcut: the value given with it.
    int button = 0;
    int shift = 0; // the ModifierKey bits of the keys held
    float x = 0, y = 0; // the pointer of a press, release or move
    QString path = {}; // a drop: the local file or folder dropped
    QPointF wheelSteps = {}; // the wheel: how far it turned along x and y, in notches
};

using EventHandler = std::function<void(const ControlEvent&)>;

// Mouse pointer codes of SetMousePointer.
namespace MousePointer {
inline constexpr int Default = 0;
inline constexpr int Modify = 3; // a frame is being modified
inline constexpr int ResizeCorner = 5;
inline constexpr int ResizeHorizontal = 9; // over a left or right edge
inline constexpr int ResizeVertical = 10; // over a top or bottom edge
} // namespace MousePointer

// Two texts side by side on one row of a table window: a key and what it does, say.
using TableRow = QPair<QString, QString>;

// Builds the window named "MAINFORM" or "FORM2" from its form description.
using FormFactory = std::function<QWidget*(const QString& formName)>;

// The form runtime: the program's windows and controls over Qt Widgets, addressed by handles
// and names, with their events, drawing onto the picture, dialogs and window metrics. Booleans
// it takes and gives are kTrue and kFalse; coordinates are pixels.
//
// Only user actions and window-system events (a resize or close of a window) raise events;
// a change the program makes to a control never does. A user action counts only on a control
// that is enabled and shown in an enabled, shown window, both when it arrives and when its turn
// comes. Events are queued as they arrive and handed to the handlers one at a time by WaitEvent,
// so handlers never overlap. Every window after the main window stays in front of it.
class FormRuntime : public QObject
{
    Q_OBJECT
public:
    FormRuntime(FormFactory factory, std::unique_ptr<Dialogs> dialogs);
    ~FormRuntime() override;

    // Events and the handler table.
    void SetHandler(const QString& eventName, EventHandler handler);
    enum class Wait { ForEvent, NoWait };
    // Runs the handler of one event, waiting for one if none is queued. With NoWait it returns
    // false at once when nothing is queued. It also returns false once the main window is gone.
    bool WaitEvent(Wait wait = Wait::ForEvent);
    bool Ended() const { return m_ended; }
    // The desktop session ends (see SessionEnd): the main window's end event comes next, before
    // any queued input, and no dialog is shown any more. Each is answered as its Escape key
    // would: OK, No, or cancelled; one on show when the session ends is closed that way.
    bool SessionEnding() const { return m_sessionEnding; }
    // Handler names that no control of the windows created so far raises: a mistyped name.
    QStringList UnknownEvents() const;
    // Queues an event as though the window system had raised it.
    void PostEvent(const ControlEvent& event);
    // A call that any thread may make to queue the window's event `event` ("MAINFORM" +
    // "_" + event) as PostEvent does: work done elsewhere reports its end as an event.
    std::function<void()> EventPoster(Control window, const QString& event);

    // Windows and controls.
    Control CreateWindow(const QString& formName, bool visible);
    Control GetDlgItem(Control form, const QString& name);
    void SetWindowText(Control control, const QString& text);
    QString GetWindowText(Control control) const;
    void EnableWindow(Control control, int enable);
    void ShowWindow(Control control, int show);
    int IsWindowVisible(Control control) const;
    int IsWindowEnabled(Control control) const;
    void MoveWindow(Control control, int x, int y);
    void SetWindowSize(Control control, int width, int height);
    int GetWidth(Control control) const;
    int GetHeight(Control control) const;
    void MaximizeWindow(Control window);
    void SetForegroundWindow(Control window);
    void DestroyWindow(Control window);
    void SetFontSize(Control control, int points);
    int GetFontSize(Control control) const;
    void SetMapMode(Control, int) { } // coordinates are always pixels
    void SetMousePointer(Control control, int shape);
    int GetMousePointer(Control control) const;

    // Lists: drop-down lists and list boxes.
    void AddString(Control list, const QString& text);
    void ResetContent(Control list);
    void SetCurSel(Control list, int index);
    int GetCurSel(Control list) const;
    int GetCount(Control list) const;
    QString GetItemText(Control list, int index) const;

    // Check boxes, scroll bars and multi-line edits.
    void SetCheck(Control box, int checked);
    int GetCheck(Control box) const;
    void SetScrollRange(Control bar, int minimum, int maximum);
    void SetScrollStep(Control bar, int line, int page);
    void SetScrollPos(Control bar, int position);
    int GetScrollPos(Control bar) const;
    void LineScroll(Control edit, int columns, int lines);

    // Drawing onto a control that owns a surface (the picture), in the surface's own pixels,
    // which are the screen's (see SurfaceWidget); its mouse and wheel events come in them too.
    void BitBlt(Control target, int x, int y, int width, int height, const QImage& source, int sx, int sy);
    void DrawLine(Control target, int x1, int y1, int x2, int y2, DrawMode mode, int width, Figure figure,
        int pen = Pen::Default);
    const QImage* Surface(Control control) const;
    // Surface pixels per logical pixel of the control's geometry: 1 but at a fractional scale.
    double SurfaceScale(Control control) const;

    // Keys, tooltips, a passing note and a window of two columns.
    // A key that raises the event `event` of the control `target` (target name, "_", event),
    // with `value` as the event's button, only while the target is usable, as a click would.
    void SetShortcut(Control target, const QKeySequence& key, const QString& event, int value = 0);
    // Lets one local file or folder be dropped anywhere on the window; the drop raises the
    // window's "_DROP" event with its path, only while the window takes input.
    void AcceptDrops(Control window);
    void SetToolTip(Control control, const QString& text);
    // Shows a note for a few seconds in the free room of the control's window right of the
    // control, on its row, so that it covers nothing else. The next user action dismisses it,
    // an answer to a dialog included.
    void ShowNote(Control after, const QString& text, int milliseconds);
    QString ShownNote() const; // the whole text; empty when no note is shown
    // A lasting text at the right end of the control's row, where it covers nothing; a passing
    // note keeps to the room left of it. An empty text removes it.
    void SetStripText(Control after, const QString& text);
    QString StripTextShown() const; // the text as it stands; empty when none is set
    // A window in the owner's font that lists pairs of texts in two aligned columns under a
    // heading (see TableWindow), left open until the user closes it with its close box or
    // Escape; it blocks no other window. While it is open, showing it again fills the same
    // window anew and brings it to the front.
    void ShowTableWindow(
        Control owner, const QString& title, const QString& heading, const QList<TableRow>& rows);

    // Dialogs. The owner is a window handle, or an unbound handle for none.
    int MessageBox(Control owner, const QString& title, const QString& text, int buttons, int icon,
        const QString& details = {});
    QString WinOpenDlg(
        Control owner, const QString& prompt, const QString& start, const QString& filter, int flag);
    QString WinSaveDlg(
        Control owner, const QString& prompt, const QString& start, const QString& filter, int flag);
    Dialogs& dialogs() { return *m_dialogs; }

    // Window metrics: the caption and frame of the main window as the window system draws them.
    enum Metric { SM_CYBORDER = 6, SM_CYSIZE = 31, SM_CYFRAME = 33 };
    int GetSystemMetrics(Metric metric) const;

    // The widget behind a handle, for the windows' own code and for tests.
    QWidget* Widget(Control control) const;
    QString NameOf(Control control) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Bound
    {
        QPointer<QWidget> widget;
        QString name;
        Control form;
    };

    Control bind(QWidget* widget, const QString& name, Control form);
    void wire(QWidget* widget, const QString& name, Control form);
    struct QueuedEvent
    {
        ControlEvent event;
        QPointer<QWidget> source; // the control the user acted on
        bool fromUser = false;
    };

    static bool acceptsInput(const QWidget* widget);
    void queueInput(QWidget* source, const ControlEvent& event);
    void keepInFrontOf(QWidget* window, QWidget* owner);
    void bringTransientsForward(QWidget* owner);
    bool windowEvent(QWidget* window, QEvent* event);
    void dragEvent(QWidget* window, QDropEvent* drag);
    void comboBoxEvent(QWidget* combo, QEvent* event);
    bool pictureEvent(QWidget* picture, QEvent* event);
    Control formOf(const QObject* watched) const;
    template <class T> T* as(Control control) const { return qobject_cast<T*>(Widget(control)); }
    QMargins frameMargins() const;
    void endSession();
    void endNote();
    int unaskedAnswer(int buttons) const;

    FormFactory m_factory;
    std::unique_ptr<Dialogs> m_dialogs;
    std::vector<Bound> m_controls { Bound {} }; // index 0: unbound
    std::map<QString, EventHandler> m_handlers;
    QSet<QString> m_raisedEvents;
    std::deque<QueuedEvent> m_events;
    Control m_mainWindow;
    bool m_ended = false;
    bool m_sessionEnding = false;
    mutable std::optional<QMargins> m_frameMargins;
    QPointer<NoteOverlay> m_note;
    QPointer<StripText> m_stripText;
    QPointer<TableWindow> m_tableWindow;
};
