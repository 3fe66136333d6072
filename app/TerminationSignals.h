#pragma once

#include <QObject>
#include <array>
#include <csignal>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM and SIGHUP (a logout, a closed terminal) into a request to close a window, which
// then closes as if its close button had been clicked.
//
// The handler only writes the signal's number to a pipe; the window reads it from its event loop.
// A signal ignored when the watcher starts (nohup) stays ignored. Watchers nest: the one made last
// takes the signals until it goes, then the one before takes them again.
class CTerminationSignals : public QObject
{
public:
    explicit CTerminationSignals(QWidget *window);
    ~CTerminationSignals() override;
    CTerminationSignals(const CTerminationSignals &) = delete;
    CTerminationSignals &operator=(const CTerminationSignals &) = delete;

private:
    static constexpr std::array<int, 2> kSignals{SIGTERM, SIGHUP};

    void Drain();

    QWidget *m_window;
    std::array<int, 2> m_pipe{-1, -1}; // read end, write end
    int m_previousWriteEnd = -1;
    std::array<struct sigaction, kSignals.size()> m_previousActions{};
    std::array<bool, kSignals.size()> m_installed{};
    QSocketNotifier *m_notifier = nullptr;
};
