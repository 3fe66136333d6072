#pragma once

#include "device/BoardRecords.h"
#include "device/BoardType.h"
#include "sim/BoardReply.h"
#include "sim/FaultRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>
#include <array>
#include <chrono>
#include <mutex>

// What a simulated controller board does with the commands it receives: it keeps a programme
// that the setting lines change and the queries report, a clock and its input readings, and
// answers each command line, or misbehaves as its fault rules say. Knows nothing of the line the
// commands come on. Safe to use from several threads: the line serves commands from a thread of
// its own while a test reads and changes the board.
class CBoardFirmware
{
public:
    using Fault = CFaultRules::Fault;

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

    // What the board does about one command line.
    struct Response
    {
        QByteArray echo;
        QByteArray reply;
        std::chrono::milliseconds delay{0}; // of the reply, after the command
        bool hangUp = false;                // the board goes, answering nothing
    };

    // A board of a live type (0 to 3) with that type's version field and the default programme.
    explicit CBoardFirmware(int type);

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

    // From now on, the commands that start with `commandPrefix` (every command when empty) are
    // served normally `afterMatches` times and then get `fault`, until ClearFaults(). Where
    // several rules match a command, the first one added that is due applies. A Babble rule for
    // every command with no normal replies makes the board babble at once, before any command.
    void SetFault(Fault fault, const QByteArray &commandPrefix, int afterMatches);
    void ClearFaults();
    // Answers the next command with exactly these bytes, whatever rule applies to it.
    void ReplyToNextCommand(const QByteArray &bytes);

    // The response to one command line, CR included.
    Response Serve(const QByteArray &line);
    // The next line of junk while the board babbles; nothing otherwise.
    QByteArray BabbleLine();

private:
    CBoardReply Answer(const QByteArray &line);
    CBoardReply Query(const QByteArray &name) const;
    CBoardReply Reading(const QByteArray &name, const QByteArray &channel) const;
    bool Apply(const QByteArray &name, const QList<QByteArray> &args);
    QDateTime ClockNow() const;

    using SteadyClock = std::chrono::steady_clock;

    mutable std::mutex m_mutex;
    int m_type;
    QString m_version;
    Programme m_programme;
    QDateTime m_clockBase;
    SteadyClock::time_point m_clockSetAt;
    bool m_clockRunning = true;
    std::array<QString, 4> m_analog;
    std::array<QString, 2> m_digital;
    bool m_echo = true;
    CFaultRules m_faults;
    QByteArray m_nextReply;
};
