#pragma once

#include <QLabel>
#include <QPointer>

// A lasting line of text at the right end of a control's row in its window, in the free room
// right of that control, so it covers no other control and no picture. Where the text does not
// fit into that room it is not shown at all rather than cut short.
class StripText : public QLabel
{
    Q_OBJECT
public:
    explicit StripText(QWidget* window);

    // Shows `text` on the row of `after`, a control of the same window; an empty text hides it.
    void showText(const QString& text, QWidget* after);
    // The text as it stands, shown or not for want of room.
    QString shownText() const { return m_text; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitIntoRoom();

    QString m_text;
    QPointer<QWidget> m_after;
};

// Where a strip text `textWidth` wide goes on the row of a control at `after` (in its window's
// coordinates) in a window `windowWidth` wide: flush with the window's right edge, short of an
// inset. Empty when it would come closer to the control than a small gap.
QRect stripTextPlace(const QRect& after, int windowWidth, int textWidth);
