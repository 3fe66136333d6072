#pragma once

#include "sim/BoardFirmware.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The board's end of a pseudo-terminal pair, served from a thread of its own: it reads command
// lines, hands each to the board's firmware and writes what the firmware answers, at once or at
// the pace of a 9600-baud 8N1 line. The tool opens the other end, PortName(), as it would open a
// real serial port. A hang-up closes this end, as when a board is unplugged.
class CPseudoTerminal
{
public:
    // One command line as received, CR included.
    struct ReceivedLine
    {
        QByteArray bytes;
        qint64 atMs; // since Start()
    };

    explicit CPseudoTerminal(CBoardFirmware &firmware);
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal &) = delete;
    CPseudoTerminal &operator=(const CPseudoTerminal &) = delete;

    // Opens the pair and starts serving. False when it cannot be opened or was started already.
    bool Start();
    // The tool's end, "/dev/pts/N"; empty before Start().
    QString PortName() const;
    // True from Start() until this end closes.
    bool IsRunning() const;
    // Closes this end from the calling thread; returns once it is closed.
    void HangUp();
    // Makes the serving thread look at the firmware again, e.g. for a babble that began.
    void Wake();

    // Writes at the line's pace instead of at once; babble is always paced.
    void SetPacing(bool paced) { m_paced = paced; }
    // Sends these bytes as they are, unasked, after whatever is being sent.
    void Inject(const QByteArray &bytes);

    // Bytes written to the line since Start() or ClearReceived().
    qint64 SentBytes() const;
    QVector<ReceivedLine> Received() const;
    void ClearReceived();
    // Waits up to timeoutMs until at least `count` lines have been received since the last
    // ClearReceived(); true when they have.
    bool WaitForReceived(int count, int timeoutMs) const;

private:
    using SteadyClock = std::chrono::steady_clock;

    // Bytes waiting to go out. Paced chunks leave one byte per byte time from `start`; the
    // others leave whole, once `start` has come.
    struct Chunk
    {
        QByteArray bytes;
        SteadyClock::time_point start;
        bool paced;
        int written;
    };

    void Run();
    bool QueueBabble();
    void QueueInjected();
    bool ReadCommands();
    bool Serve(const QByteArray &line);
    void Enqueue(const QByteArray &bytes, SteadyClock::time_point notBefore, bool paced);
    bool WriteDue(SteadyClock::time_point *nextDue, bool *waitWritable);
    void CloseLine();

    CBoardFirmware &m_firmware;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_receivedChanged;
    QVector<ReceivedLine> m_received;
    QByteArray m_injected; // handed to the serving thread
    qint64 m_sentBytes = 0;
    QString m_portName;
    std::atomic<bool> m_paced{false};

    // Owned by the serving thread while it runs.
    int m_master = -1;
    int m_slave = -1;
    int m_wakeFd = -1;
    QByteArray m_pending;
    std::deque<Chunk> m_out;
    SteadyClock::time_point m_lineFreeAt;

    SteadyClock::time_point m_startedAt;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hangUpRequested{false};
    std::thread m_thread;
};
