#pragma once

#include "device/BoardRecords.h"
#include "device/BoardType.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

// A controller board played in software at the far end of a pseudo-terminal.
//
// Start() opens a pty pair; the tool opens the slave side, PortName(), with its ordinary
// QSerialPort exactly as it would open a real serial port, and the board answers the "ADV#"
// protocol from the master side in a thread of its own. The board keeps a programme that the
// setting lines change and the queries report, a clock, and its input readings; the test thread
// may read and change all of it while the board runs.
//
// Uses:
// - Tests talk to it through the link, or with raw bytes, and inject misbehaviour with SetFault():
//   silence, wrong field counts, junk, binary noise, overlong lines, late replies, endless
//   chatter or a hang-up, each for the commands that start with a given prefix.
// - The demo runs the real window in-process against a board started with its default programme
//   and SetPacing(true), so the exchanges take as long as on a 9600-baud line.
// - The benchmark runs one in a thread of its own process, or in a child process that only
//   constructs a board, starts it and reports PortName().
//
// Several boards may run in one process; each has its own pty, thread and state.
class CSimulatedBoard
{
public:
    // Ways to misbehave, applied by rules set with SetFault().
    enum class Fault
    {
        None,          // served normally; shields matching commands from later rules
        Silent,        // neither echo nor reply
        TooFewFields,  // the normal reply without its last field
        TooManyFields, // the normal reply with one field more
        NoOk,          // the normal data lines, no "OK" line
        Garbage,       // one line of printable junk, no "OK"
        Binary,        // random bytes with NULs, then "OK"
        OverlongLine,  // a 64 KiB data line, then "OK"
        Late,          // the normal reply, 1500 ms after the command
        Babble,        // junk lines without end, at line pace, until the rule is cleared
        HangUp,        // the pty closes at once: the board is gone
    };

    // Everything the setting lines program and the queries report.
    struct Programme
    {
        OutputModes outputModes{};
        PowerModes powerModes{};
        BatteryThresholds battery{};
        WakeSessions sessions{};
        InputTriggers inputs{};
        AllOutputTimings outputTimings{};
        AllPowerTimes powerTimes{};
    };

    // One command line as received, CR included.
    struct ReceivedLine
    {
        QByteArray bytes;
        qint64 atMs; // since Start()
    };

    // A board of a live type (0 to 3) with that type's version field and the default programme.
    explicit CSimulatedBoard(int type = BoardType::LumivorV1);
    ~CSimulatedBoard();
    CSimulatedBoard(const CSimulatedBoard &) = delete;
    CSimulatedBoard &operator=(const CSimulatedBoard &) = delete;

    // Opens the pty pair and starts serving. False when the pty cannot be opened or the board
    // has already been started.
    bool Start();
    // The slave device, "/dev/pts/N"; empty before Start().
    QString PortName() const;
    // True from Start() until the board is destroyed or hangs up.
    bool IsRunning() const;
    // Closes the pty from the calling thread; returns once the board is gone.
    void HangUp();

    int Type() const;
    // Changes the type, and so the counts of outputs, inputs and rails the queries report and
    // the setting lines accept; the version field becomes the new type's default.
    void SetType(int type);
    QString Version() const;
    // The whole version field, type digit first, e.g. "1LV1-2.04".
    void SetVersion(const QString &field);

    // A plausible Lumivor V1 day: a morning and an evening session by time, one by input 1.
    static Programme DefaultProgramme();
    Programme GetProgramme() const;
    void SetProgramme(const Programme &programme);

    // The board's clock. A running clock advances from the given moment; a stopped one keeps it.
    // The wire's TIME and DATE lines set it and keep its running state.
    QDateTime Clock() const;
    void SetClock(const QDateTime &now, bool running);

    // Readings of "ADV#INPUTA=n" (n = 1..4: two inputs, supply voltage, temperature) and
    // "ADV#INPUTL=n" (n = 1..2), as sent.
    void SetAnalogInput(int channel, const QString &reading);
    void SetDigitalInput(int channel, const QString &reading);

    // Writes at the pace of a 9600-baud 8N1 line instead of at once. Junk of Fault::Babble is
    // always paced.
    void SetPacing(bool paced);

    // From now on, the commands that start with `commandPrefix` (every command when empty) are
    // served normally `afterMatches` times and then get `fault`, until ClearFaults(). Where
    // several rules match a command, the first one added that is due applies. A Babble rule for
    // every command with no normal replies starts at once, before any command, even when it is
    // added before Start().
    void SetFault(Fault fault, const QByteArray &commandPrefix = {}, int afterMatches = 0);
    void ClearFaults();

    // Sends these bytes as they are, unasked, after whatever the board is sending: data before a
    // handshake, or an answer that comes too late.
    void Inject(const QByteArray &bytes);
    // Answers the next command it receives with exactly these bytes, whatever rule applies to
    // it: a reply of a shape the board never makes, sent only once it was asked for.
    void ReplyToNextCommand(const QByteArray &bytes);

    // Bytes the board has written to the line since Start() or ClearReceived().
    qint64 SentBytes() const;

    QVector<ReceivedLine> Received() const;
    // The bytes of the received lines alone, in order.
    QByteArrayList ReceivedLines() const;
    void ClearReceived();
    // Waits up to timeoutMs until at least `count` lines have been received since the last
    // ClearReceived(); true when they have.
    bool WaitForReceived(int count, int timeoutMs) const;

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Reply;

    struct FaultRule
    {
        Fault fault;
        QByteArray prefix;
        int afterMatches;
        int matched;
    };

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
    Reply Answer(const QByteArray &line);
    Reply Query(const QByteArray &name) const;
    Reply Reading(const QByteArray &name, const QByteArray &channel) const;
    bool Apply(const QByteArray &name, const QList<QByteArray> &args);
    QByteArray Misbehave(Fault fault, const Reply &normal);
    Fault TakeFault(const QByteArray &line);
    QDateTime ClockNow() const;
    void Enqueue(const QByteArray &bytes, SteadyClock::time_point notBefore, bool paced);
    bool WriteDue(SteadyClock::time_point *nextDue, bool *waitWritable);
    void Wake();
    void CloseLine();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_receivedChanged;
    int m_type;
    QString m_version;
    Programme m_programme;
    QDateTime m_clockBase;
    SteadyClock::time_point m_clockSetAt;
    bool m_clockRunning = true;
    std::array<QString, 4> m_analog;
    std::array<QString, 2> m_digital;
    bool m_echo = true;
    bool m_paced = false;
    bool m_babbling = false;
    QVector<FaultRule> m_rules;
    QVector<ReceivedLine> m_received;
    QByteArray m_injected; // handed to the board thread
    QByteArray m_nextReply;
    qint64 m_sentBytes = 0;
    std::mt19937 m_noise;
    QString m_portName;

    // Owned by the board thread while it runs.
    int m_master = -1;
    int m_slave = -1;
    int m_wakeFd = -1;
    QByteArray m_pending;
    std::deque<Chunk> m_out;
    SteadyClock::time_point m_lineFreeAt;
    quint32 m_babbleCount = 0;

    SteadyClock::time_point m_startedAt;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hangUpRequested{false};
    std::thread m_thread;
};
