#pragma once

#include <QLabel>
#include <QPointer>

class QFontMetrics;
class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

// A short note in a window's own free room: on the row of a control, right of it, up to the
// window's right edge, so it covers no other control and no picture. It fades out by itself;
// a click on it ends it, and the pointer resting on it holds it. What does not fit is cut short
// with an ellipsis, and the whole text is its tooltip.
class NoteOverlay : public QLabel
{
    Q_OBJECT
public:
    explicit NoteOverlay(QWidget* window);

    // Shows the text right of `after`, a control of the same window, for the given time, then
    // fades it out. Where the window leaves no room right of the control, nothing is shown.
    void showNote(const QString& text, QWidget* after, int milliseconds);
    void dismiss();
    // Keeps the note's room short of `neighbour`, a lasting widget further right on the same
    // row, while that is shown.
    void keepClearOf(QWidget* neighbour);
    // The whole text of the note on show; empty when none is shown.
    QString note() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void fitIntoRoom();

    QString m_text;
    QPointer<QWidget> m_after;
    QPointer<QWidget> m_clearOf;
    int m_holdMilliseconds = 0;
    QGraphicsOpacityEffect* m_opacity;
    QPropertyAnimation* m_fade;
    QTimer* m_timer;
};

// The room of a note right of a control at `after` (in its window's coordinates), up to
// `rightEdge` (the window's width, or where a widget further right begins): the control's row,
// from a small gap after it to a small inset before that edge. Empty when that leaves too
// little to show anything readable.
QRect noteRoom(const QRect& after, int rightEdge);

// What a note shows in `rows` lines of `width` pixels: its lines as they are where they all fit;
// otherwise the last line shown carries the rest, joined by spaces, so the first (the summary)
// always leads. A line wider than the room ends in an ellipsis.
QString fittedNote(const QString& text, const QFontMetrics& metrics, int width, int rows);
