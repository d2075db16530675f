#include "platform/NoteOverlay.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

namespace {

constexpr int kInset = 12;
constexpr int kFadeMilliseconds = 600;

} // namespace

NoteOverlay::NoteOverlay(QWidget* window)
    : QLabel(window)
    , m_opacity(new QGraphicsOpacityEffect(this))
    , m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("qt_note"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setMargin(10);
    setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(30, 30, 30, 215); color: white; border-radius: 6px; font-size: 14px; }"));
    setGraphicsEffect(m_opacity);
    m_fade->setDuration(kFadeMilliseconds);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, &QWidget::hide);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, m_fade, [this] { m_fade->start(); });
    hide();
}

void NoteOverlay::showNote(const QString& text, const QRect& area, int milliseconds)
{
    m_fade->stop();
    m_opacity->setOpacity(1.0);
    setText(text);
    const int width = std::max(std::min(area.width() - 2 * kInset, 520), 120);
    setFixedWidth(width);
    adjustSize();
    move(area.topLeft() + QPoint(kInset, kInset));
    show();
    raise();
    m_timer->start(std::max(milliseconds - kFadeMilliseconds, 0));
}

void NoteOverlay::dismiss()
{
    m_timer->stop();
    m_fade->stop();
    hide();
}
