#include "platform/SessionEnd.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the signal handler, read on the GUI thread: writing to a pipe is all a handler may
// safely do.
int g_signalPipe[2] = { -1, -1 };

constexpr int kEndingSignals[] = { SIGTERM, SIGHUP, SIGINT };

} // namespace

SessionEnd& SessionEnd::instance()
{
    static SessionEnd* watcher = new SessionEnd; // lives as long as the process
    return *watcher;
}

SessionEnd::SessionEnd()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SessionEnd::readSignals);
        struct sigaction action = {};
        action.sa_handler = noteSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int signal : kEndingSignals)
            ::sigaction(signal, &action, nullptr);
    }
    // A session manager asks for the program's data before the session ends, and then tells it
    // to quit; both arrive only under a session manager, to the application object.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::commitDataRequest, this, &SessionEnd::ended);
        application->installEventFilter(this);
    }
}

void SessionEnd::noteSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void SessionEnd::readSignals()
{
    char bytes[16];
    bool any = false;
    while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any) emit ended();
}

bool SessionEnd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        emit ended();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
