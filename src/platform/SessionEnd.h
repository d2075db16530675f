#pragma once

#include <QObject>

class QSocketNotifier;

// Tells the program that the desktop session ends, or that it is asked to end as at a logout: a
// SIGTERM, SIGHUP or SIGINT, the session manager asking for the program's data, or the session
// manager's quit. The signal handlers only note the signal; `ended` is emitted on the GUI thread
// once its event loop runs, so whatever is under way finishes first.
class SessionEnd : public QObject
{
    Q_OBJECT
public:
    // The one watcher of the process, made and its handlers installed when first asked for.
    static SessionEnd& instance();

signals:
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SessionEnd();
    static void noteSignal(int signal);
    void readSignals();

    QSocketNotifier* m_notifier = nullptr;
};
