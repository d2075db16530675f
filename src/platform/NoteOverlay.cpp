#include "platform/NoteOverlay.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kGap = 8; // between the control and the note
constexpr int kInset = 4; // between the note and the window's edge
constexpr int kPadding = 6; // inside the note, left and right of the text
constexpr int kNarrowest = 32; // room for an ellipsis and a character or two; less shows nothing
constexpr int kFadeMilliseconds = 600;

} // namespace

QRect noteRoom(const QRect& after, int rightEdge)
{
    const int left = after.x() + after.width() + kGap;
    const int width = rightEdge - kInset - left;
    return width >= kNarrowest ? QRect(left, after.y(), width, after.height()) : QRect();
}

QString fittedNote(const QString& text, const QFontMetrics& metrics, int width, int rows)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    const int kept = std::max(rows, 1) - 1;
    if (lines.size() > kept + 1) {
        const QString rest = lines.mid(kept).join(QStringLiteral("　"));
        lines = lines.mid(0, kept);
        lines << rest;
    }
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideRight, std::max(width, 0));
    return lines.join(QLatin1Char('\n'));
}

NoteOverlay::NoteOverlay(QWidget* window)
    : QLabel(window)
    , m_opacity(new QGraphicsOpacityEffect(this))
    , m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("qt_note"));
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(kPadding, 0, kPadding, 0);
    setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(30, 30, 30, 215); color: white; border-radius: 4px; font-size: 13px; }"));
    setGraphicsEffect(m_opacity);
    m_fade->setDuration(kFadeMilliseconds);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, &QWidget::hide);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, m_fade, [this] { m_fade->start(); });
    // The room depends on the window's width.
    window->installEventFilter(this);
    hide();
}

void NoteOverlay::showNote(const QString& text, QWidget* after, int milliseconds)
{
    m_text = text;
    m_after = after;
    m_holdMilliseconds = std::max(milliseconds - kFadeMilliseconds, 0);
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    setToolTip(text);
    fitIntoRoom();
    m_timer->start(m_holdMilliseconds);
}

void NoteOverlay::keepClearOf(QWidget* neighbour)
{
    if (m_clearOf) m_clearOf->removeEventFilter(this);
    m_clearOf = neighbour;
    // The room changes with the neighbour's place and whether it is shown.
    if (neighbour) neighbour->installEventFilter(this);
}

void NoteOverlay::fitIntoRoom()
{
    QWidget* window = parentWidget();
    if (!m_after || !window) {
        hide();
        return;
    }
    const int rightEdge = m_clearOf && m_clearOf->isVisible() ? m_clearOf->x() : window->width();
    const QRect room = noteRoom(QRect(m_after->mapTo(window, QPoint(0, 0)), m_after->size()), rightEdge);
    if (room.isEmpty()) {
        hide();
        return;
    }
    ensurePolished();
    const int rows = std::max(room.height() / fontMetrics().lineSpacing(), 1);
    setText(fittedNote(m_text, fontMetrics(), room.width() - 2 * kPadding, rows));
    setGeometry(room.x(), room.y(), std::min(sizeHint().width(), room.width()), room.height());
    show();
    raise();
}

void NoteOverlay::dismiss()
{
    m_timer->stop();
    m_fade->stop();
    hide();
}

QString NoteOverlay::note() const
{
    return isVisible() ? m_text : QString();
}

bool NoteOverlay::eventFilter(QObject* watched, QEvent* event)
{
    const bool roomMayChange = watched == parentWidget()
        ? event->type() == QEvent::Resize
        : watched == m_clearOf
            && (event->type() == QEvent::Move || event->type() == QEvent::Resize
                || event->type() == QEvent::Show || event->type() == QEvent::Hide);
    if (roomMayChange && isVisible()) fitIntoRoom();
    return QLabel::eventFilter(watched, event);
}

// A click on the note is the user's action too.
void NoteOverlay::mousePressEvent(QMouseEvent* /*event*/)
{
    dismiss();
}

// While the pointer rests on the note (reading its tooltip) it stays; it fades once the pointer
// has left it for the time it was first given.
void NoteOverlay::enterEvent(QEnterEvent* event)
{
    m_timer->stop();
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    QLabel::enterEvent(event);
}

void NoteOverlay::leaveEvent(QEvent* event)
{
    if (isVisible()) m_timer->start(m_holdMilliseconds);
    QLabel::leaveEvent(event);
}
