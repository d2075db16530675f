#include "platform/StripText.h"

#include <QEvent>

namespace {

constexpr int kGap = 8; // between the control and the text
constexpr int kInset = 6; // between the text and the window's edge

} // namespace

QRect stripTextPlace(const QRect& after, int windowWidth, int textWidth)
{
    const int left = windowWidth - kInset - textWidth;
    if (left < after.x() + after.width() + kGap) return {};
    return { left, after.y(), textWidth, after.height() };
}

StripText::StripText(QWidget* window)
    : QLabel(window)
{
    setObjectName(QStringLiteral("qt_strip_text"));
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The room depends on the window's width.
    window->installEventFilter(this);
    hide();
}

void StripText::showText(const QString& text, QWidget* after)
{
    m_text = text;
    m_after = after;
    fitIntoRoom();
}

void StripText::fitIntoRoom()
{
    QWidget* window = parentWidget();
    if (m_text.isEmpty() || !m_after || !window) {
        hide();
        return;
    }
    setText(m_text);
    ensurePolished();
    const QRect place = stripTextPlace(
        QRect(m_after->mapTo(window, QPoint(0, 0)), m_after->size()), window->width(), sizeHint().width());
    if (place.isEmpty()) {
        hide();
        return;
    }
    setGeometry(place);
    show();
}

bool StripText::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) fitIntoRoom();
    return QLabel::eventFilter(watched, event);
}
