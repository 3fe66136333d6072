#pragma once

#include "device/AdvCmd.h"
#include "device/BoardRecords.h"
#include "device/HeldProgramme.h"

#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>

class CBackupStore;

// The one in-memory copy of the board: its type, version, port and whole programme.
// Setters store first and send second; queries overwrite the stored values only on success.
//
// Beside it, what the live board holds as far as the tool knows (Held()), for the type of board
// its version told: the programme groups that a read-out read, or that a write whose lines were
// all answered wrote. A new connection, a failed one and Reset() forget all of it, a write left
// unanswered forgets its groups; file modes, a board type chosen for the model and a link that is
// down change nothing.
class CBoardSettings
{
public:
    CBoardSettings();

    // The steps of ReadProgramme(): its six queries; and of the read-out: the version query
    // and those six.
    static constexpr int kProgrammeSteps = 6;
    static constexpr int kReadOutSteps = 1 + kProgrammeSteps;

    bool ConnectBoard();
    // ConnectBoard() with this port alone probed.
    bool ConnectBoardOn(const QString &port);
    // Closes the port; nothing is sent until the next connection.
    void Disconnect() { m_link->ClosePort(); }
    // The read-out: ReadVersion(), then ReadProgramme(). Runs `stepDone` once per query that is
    // done, a query skipped for a count of 0 included.
    bool ReadAll(const std::function<void()> &stepDone = {});
    // The version query: the version and the board type it tells. A board that answers the
    // handshake but not this is of the unknown type.
    bool ReadVersion();
    // The read-out's programme queries alone, for the board type already set: no handshake, no
    // version. Stops at the first that fails, keeping what the queries before it stored;
    // `stepDone` runs as in ReadAll().
    bool ReadProgramme(const std::function<void()> &stepDone = {});
    // The same queries into `programme` instead of the model, which they leave as it was.
    bool ReadProgrammeInto(BoardProgramme *programme, const std::function<void()> &stepDone = {});
    // Requests ReadProgramme() sends now when every query is answered at once: none while the
    // link is down.
    int ProgrammeRequests() const;

    // What the live board holds, group by group.
    const CHeldProgramme &Held() const { return m_held; }
    // Asks a live board for the groups of Held() that are unknown, with the read-out's queries,
    // into Held() alone. True once every group is known; false off a live board.
    bool ReadHeld();
    // Requests ReadHeld() sends now when every query is answered at once.
    int HeldRequests() const;
    // Before a write of `lines` programme lines: when they go to a live board, completes Held()
    // and keeps it as a backup in `store`. False, with *message, when the write must not go
    // ahead: the board did not answer, or the store could not keep the backup.
    bool KeepBackup(const CBackupStore &store, int lines, QString *message);
    // The lines the link writes for a write of `lines` lines: the requests KeepBackup() sends
    // now before it, then those lines.
    int BackedUpWriteLines(int lines) const;
    static QString HeldUnreadMessage();

    bool IsConnected() const { return m_link->IsConnected(); }
    // Connected, and not in a file mode: setting lines go to the board.
    bool IsLive() const;
    QString GetPortName() const { return m_portName; }
    QString GetVersion() const { return m_version; }
    int GetBoardType() const { return m_boardType; }
    void SetBoardType(int type);
    int GetOutputCount() const;
    int GetPowerCount() const;

    OutputModes GetOutputModes() const { return m_outputModes; }
    bool SetOutputModes(const OutputModes &modes);
    PowerModes GetPowerModes() const { return m_powerModes; }
    bool SetPowerModes(int rail1, int rail2);
    BatteryThresholds ReadBatteryThresholds();
    bool SetBatteryThresholds(const BatteryThresholds &pair);

    WakeSession GetSession(int i) const { return m_sessions[size_t(i)]; }
    bool SetSession(int i, const WakeSession &session);
    InputTriggers GetInputTriggers() const { return m_inputTriggers; }
    bool SetInputTriggers(const InputTriggers &triggers);
    PowerTimes GetPowerTimes(int i) const { return m_powerTimes[size_t(i)]; }
    bool SetPowerTimes(int i, int power1, int power2);
    SessionOutputTimings GetOutputTimings(int i) const { return m_outputTimings[size_t(i)]; }
    bool SetOutputTimings(int i, const SessionOutputTimings &timings);
    BoardProgramme GetProgramme() const;
    // Stores all of it and sends nothing.
    void SetProgramme(const BoardProgramme &programme);

    bool GetTime(QString *out);
    bool SetTime(const QString &text);
    bool GetDate(QString *out);
    bool SetDate(const QString &text);
    bool GetAnalogInput(int n, QString *out);
    bool GetDigitalInput(int n, QString *out);

    bool SendAll();
    // SendAll() with the command file of a file mode started afresh, so that it holds this
    // programme alone.
    bool SendAllAfresh();
    // The lines of the model's programme whose items differ from `held`, what the board holds,
    // in the order of SendAll(): none while the link is down.
    CSettingLines::Lines DifferingLines(const BoardProgramme &held) const;
    // Sends DifferingLines(held) as SendAll() sends its lines; returns how many went out.
    int SendDifferingLines(const BoardProgramme &held);
    // Lines these setting commands, or the whole programme of SendAll(), emit now.
    int LinesOf(std::initializer_list<CAdvCmd::Setting> settings) const;
    int SendAllLines() const;
    void Reset();

    // Reads the output and power programme of an INI file into the model. Returns false, and
    // changes nothing, for a file that is missing, unreadable, malformed or holds none of the
    // programme's keys; a bad file must never wipe the programme.
    bool LoadIni(const QString &path);

    // The link, for the actions, tools and tests that watch it or set its hooks.
    const CAdvCmd &Link() const { return *m_link; }
    CAdvCmd &Link() { return *m_link; }

private:
    // Asks the board for one group into `programme`.
    bool Query(CHeldProgramme::Group group, BoardProgramme *programme);
    // Requests for the groups the filter names, when every query is answered at once.
    int Requests(const std::function<bool(CHeldProgramme::Group)> &asked) const;
    // Sends the lines in order; on a live board, each group they write is known afterwards with
    // the model's values when all its lines were answered, and unknown otherwise.
    bool Send(const CSettingLines::Lines &lines);

    QString m_portName;
    QString m_version;
    qint32 m_boardType = 0;
    OutputModes m_outputModes{};
    PowerModes m_powerModes{};
    BatteryThresholds m_batteryThresholds{};
    WakeSessions m_sessions{};
    InputTriggers m_inputTriggers{};
    AllOutputTimings m_outputTimings{};
    AllPowerTimes m_powerTimes{};
    std::unique_ptr<CAdvCmd> m_link;
    CHeldProgramme m_held;
};
