#pragma once

#include <QLabel>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QTimer;

// A short note shown over a part of a window: it floats above the controls there, lets the
// mouse through, changes no pixel of what it covers once gone, and fades out by itself.
class NoteOverlay : public QLabel
{
    Q_OBJECT
public:
    explicit NoteOverlay(QWidget* window);

    // Shows the text over the top-left corner of `area` (in the window's coordinates) for the
    // given time, then fades it out.
    void showNote(const QString& text, const QRect& area, int milliseconds);
    void dismiss();

private:
    QGraphicsOpacityEffect* m_opacity;
    QPropertyAnimation* m_fade;
    QTimer* m_timer;
};
