#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <memory>

// One open serial port and its bounded waits, on the thread that owns the port.
//
// Every wait is cut into short slices; between two slices the wait-slice handler runs, at most
// once a slice, so that the waiting thread can handle its events. A port that reports a resource
// error or a read error (an end of file reads as one) is gone: its device was unplugged or its far
// end hung up. The line then closes the port at once, which releases its lock so that the device
// can come back, and from then on every wait, read and write returns at once.
class CSerialLine
{
public:
    // Runs between the slices of every wait.
    using WaitSlice = std::function<void()>;
    // Sees every byte written to the port and every byte read from it, in order.
    enum class Direction
    {
        Sent,
        Received,
    };
    using TrafficObserver = std::function<void(Direction direction, const QByteArray &bytes)>;
    // Asked in every slice: a wait ends at once, without data, when it says so; only a setting
    // line that was written still waits for its answer, so that its exchange ends whole.
    using StopCheck = std::function<bool()>;
    // Told once, when the line goes.
    using GoneHandler = std::function<void()>;

    // Waits of the exchanges, in milliseconds.
    static constexpr int kFirstReplyMs = 1000; // for the first byte of any reply
    static constexpr int kGapMs = 100; // silence that ends the handshake's and a setting's reply
    // Every wait is cut into slices this long, so that the wait-slice handler runs often enough
    // for the window to repaint and answer the desktop while the board is slow.
    static constexpr int kSliceMs = 25;

    // What became of a setting line given to Send().
    enum class Outcome
    {
        NotWritten, // the line is gone or stopped: nothing left the port
        Unanswered, // written, but it did not leave in time or nothing came back
        Answered,
    };

    // Takes a port that is open and set up.
    explicit CSerialLine(std::unique_ptr<QSerialPort> port);
    ~CSerialLine();
    CSerialLine(const CSerialLine &) = delete;
    CSerialLine &operator=(const CSerialLine &) = delete;

    void SetWaitSlice(WaitSlice slice) { m_waitSlice = std::move(slice); }
    void SetTrafficObserver(TrafficObserver observer) { m_trafficObserver = std::move(observer); }
    void SetStopCheck(StopCheck check) { m_stopCheck = std::move(check); }
    // Told at once, from inside the port's error signal or one of this line's waits: it may look
    // at the line but must not destroy it.
    void SetGoneHandler(GoneHandler handler) { m_goneHandler = std::move(handler); }
    // Told later, from the event loop of the line's thread, outside the line's waits, and not at
    // all when the line is destroyed first: a watcher may then close and destroy the line.
    void SetGoneNotice(GoneHandler notice) { m_goneNotice = std::move(notice); }

    bool IsGone() const { return m_gone; }
    // Hands the port over, open, e.g. to be moved to another thread; the line is done with.
    std::unique_ptr<QSerialPort> Release();

    // True once bytes arrive that were not in the buffer when the wait began; false after `ms`
    // without any, and at once when the line is gone or stopped.
    bool WaitForData(int ms);
    // Waits in 100 ms steps until one passes without data; what arrives stays in the buffer.
    // False when the line never fell quiet within the collection bound, went or was stopped.
    bool WaitQuiet();
    // Appends what the buffer holds, then whatever follows until the line is quiet for `gapMs`.
    // False when the line never fell quiet within the collection bound, went or was stopped.
    bool Collect(int gapMs, QByteArray *reply);
    // False, writing nothing, when the line is gone or stopped.
    bool Write(const QByteArray &bytes);
    void Flush();
    void ClearInput();
    QByteArray ReadAll();
    // One setting line: a quiet line first, the line, the written-bytes wait with nothing handled
    // in between, then the answer, read and dropped.
    Outcome Send(const QByteArray &line);

private:
    bool Stopped() const;
    void RunWaitSlice();
    void Go();

    std::unique_ptr<QSerialPort> m_port;
    QMetaObject::Connection m_errors;
    bool m_gone = false;
    bool m_answering = false; // a setting line was written: its answer is waited for in any case
    WaitSlice m_waitSlice;
    TrafficObserver m_trafficObserver;
    StopCheck m_stopCheck;
    GoneHandler m_goneHandler;
    GoneHandler m_goneNotice;
    QObject m_notices;          // receives the queued notice
    QElapsedTimer m_sinceSlice; // since the wait-slice handler last ran
};
