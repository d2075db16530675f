#pragma once

#include "core/App.h"
#include "fixture/TestProgram.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>

// Remembers which image the picture showed when it was last painted.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget* picture, const App& app)
        : m_app(app)
    {
        picture->installEventFilter(this);
    }
    QString painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) painted = m_app.CurrentFileName;
        return false;
    }

private:
    const App& m_app;
};

// The click on "保存実行" at its centre, as the window system delivers it, then the events until
// the picture of `next` is painted and the window system has it.
inline void clickSaveAndWaitForPicture(TestProgram& program, PaintWatch& picture, const QString& next)
{
    QWidget* button = program.widget(QStringLiteral("BUTTON9"));
    QWindow* window = button->window()->windowHandle();
    const QPoint at = button->mapTo(button->window(), button->rect().center());
    QTest::mouseClick(window, Qt::LeftButton, {}, at);
    program.runEvents();
    while (picture.painted != next)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QGuiApplication::sync();
}
