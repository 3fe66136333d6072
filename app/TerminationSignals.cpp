#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end of the pipe of the watcher that takes the signals now. A signal handler reaches
// nothing but what is global, so this one descriptor is; only the watchers change it, on the GUI
// thread, and only while the handler cannot yet or can no longer write to it.
volatile std::sig_atomic_t g_signalWriteEnd = -1;

extern "C" void WriteSignalNumber(int number)
{
    // write() is safe in a handler; a full pipe already holds a request, so a lost byte is none.
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t written = ::write(g_signalWriteEnd, &byte, 1);
    static_cast<void>(written);
    errno = savedErrno;
}

} // namespace

CTerminationSignals::CTerminationSignals(QWidget *window) : QObject(window), m_window(window)
{
    if (::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CTerminationSignals::Drain);
    m_previousWriteEnd = g_signalWriteEnd;
    g_signalWriteEnd = m_pipe[1];

    struct sigaction action = {};
    action.sa_handler = WriteSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction &previous = m_previousActions[i];
        if (::sigaction(kSignals[i], nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        m_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

CTerminationSignals::~CTerminationSignals()
{
    delete m_notifier;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (m_installed[i])
            ::sigaction(kSignals[i], &m_previousActions[i], nullptr);
    }
    if (m_pipe[1] < 0)
        return;
    g_signalWriteEnd = m_previousWriteEnd;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void CTerminationSignals::Drain()
{
    unsigned char numbers[16];
    while (::read(m_pipe[0], numbers, sizeof numbers) > 0) {
    }
    m_window->close();
}
