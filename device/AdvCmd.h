#pragma once

#include "device/BoardRecords.h"
#include "device/SettingLines.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <functional>

// The serial link to a board and the "ADV#" commands spoken over it.
//
// Every exchange runs on the calling (GUI) thread with bounded waits. Each wait on the line is
// cut into short slices, and between two slices the wait-slice handler runs, so the window can
// handle its events while the board is slow. Queries are request/reply transactions; setting
// commands go through SendCmd to the port, or in a file mode to the board family's command file.
// Nothing is sent while the link is not connected.
class CAdvCmd
{
public:
    // Lists the names of the serial ports to scan, in scan order.
    using PortDiscovery = std::function<QStringList()>;
    // Tells whether this user may read and write the device file at this path.
    using AccessCheck = std::function<bool(const QString &path)>;
    // Sees every query request and every setting line the link writes, once it is written.
    using LineObserver = std::function<void(const QByteArray &line)>;
    // Runs between the slices of every wait on the line.
    using WaitSlice = std::function<void()>;
    // Sees every byte the link writes to the port and every byte it reads from it, in order.
    enum class Direction
    {
        Sent,
        Received,
    };
    using TrafficObserver = std::function<void(Direction direction, const QByteArray &bytes)>;

    // Why a port of the last scan did not give a board.
    enum class PortFailure
    {
        NoAnswer,         // opened and set up; the handshake got no reply holding "OK"
        PermissionDenied, // this user lacks the rights on the device file
        InUse,            // held by another program (lock file or exclusive open)
        NotSetUp,         // not a terminal, or it refused a line setting
        NotOpened,        // any other failure of the open
    };

    struct PortOutcome
    {
        QString name;
        QString path; // the device file
        PortFailure failure;
        QString group;    // the group owning the device file, for a denied port
        bool groupMayUse; // that group may read and write the device file
    };

    // The setting commands, for the number of lines each emits.
    using Setting = CSettingLines::Setting;

    CAdvCmd();
    ~CAdvCmd();
    CAdvCmd(const CAdvCmd &) = delete;
    CAdvCmd &operator=(const CAdvCmd &) = delete;

    // The one seam of the port scan: the tool scans every available serial port; a test, the
    // demo or a port named on the command line hands in its own list instead. A link without a
    // discovery of its own uses the process's default, set before the links that use it scan; an
    // empty function restores the real list.
    void SetPortDiscovery(PortDiscovery discovery);
    static void SetDefaultPortDiscovery(PortDiscovery discovery);
    // Seam of the rights check that tells a denied port from one in use; an empty function
    // restores the check of the device file's rights.
    void SetAccessCheck(AccessCheck check);
    // Installs the observer of every line written and returns the one it replaces.
    LineObserver SetLineObserver(LineObserver observer);
    // Installs the handler run between the slices of every wait and returns the one it replaces.
    WaitSlice SetWaitSlice(WaitSlice slice);
    // Installs the observer of the bytes on the line and returns the one it replaces.
    TrafficObserver SetTrafficObserver(TrafficObserver observer);

    bool OpenPort(QString *portName);
    // Closes the port; the link is not connected any more.
    void ClosePort();
    bool GetCmd(int skip, QByteArray command, QStringList *fields);
    void SetBoardInfo(int outputs, int inputs, int powers, int type);

    bool IsConnected() const { return m_connected; }
    int BoardType() const { return m_boardType; }
    int OutputCount() const { return m_outputCount; }
    int InputCount() const { return m_inputCount; }
    int PowerCount() const { return m_powerCount; }
    QString PortName() const { return m_portName; }
    // The ports the last scan tried without finding a board, in scan order; none when it found
    // one.
    QVector<PortOutcome> LastScan() const { return m_lastScan; }
    // Lines given to a command file since construction, and those of them that could not be
    // written.
    int CommandFileLines() const { return m_commandFileLines; }
    int CommandFileFailures() const { return m_commandFileFailures; }
    // Setting lines written to the serial port since construction, and those of them the board
    // did not answer: the write did not complete in time, or no byte came back.
    int SerialLines() const { return m_serialLines; }
    int UnansweredLines() const { return m_unansweredLines; }

    // Queries: each returns false, leaving its target unchanged, unless a reply with the
    // expected number of fields arrived within its attempts.
    bool GetVersion(QString *out);
    bool GetInputA(int n, QString *out);
    bool GetInputL(int n, QString *out);
    bool GetOutput(OutputModes *modes);
    bool GetPower(PowerModes *modes);
    bool GetWake(WakeSessions *sessions);
    bool GetCOutput(AllOutputTimings *timings);
    bool GetCPower(AllPowerTimes *times);
    bool GetCInput(InputTriggers *inputs);
    bool GetTime(QString *out);
    bool GetDate(QString *out);
    bool GetBattery(BatteryThresholds *pair);
    bool ResetWake();

    // Lines the setting command emits now: none while not connected.
    int LinesOf(Setting setting) const;

    // Setting commands: one line per item, in a fixed order; false when not connected.
    bool SetOutput(const OutputModes &modes);
    bool SetPower(const PowerModes &modes);
    bool SetWake(const WakeSessions &sessions);
    bool SetCOutput(const AllOutputTimings &timings);
    bool SetCPower(const AllPowerTimes &times);
    bool SetCInput(const InputTriggers &inputs);
    bool SetTime(QString text);
    bool SetDate(QString text);
    bool SetBattery(const BatteryThresholds &pair);

    // Emits one complete setting line (with its CR) to the port or the command file.
    void SendCmd(const QByteArray &line);
    // The setting lines for the counts of the selected board type.
    CSettingLines SettingLines() const;
    // Emits the lines in order through SendCmd; false, sending nothing, when not connected.
    bool SendLines(const CSettingLines::Lines &lines);

private:
    bool Query(int skip, const QByteArray &request, int attempts, int fieldCount,
               QStringList *fields);
    // A programme query ("ADV#" name "=?"), stored only when the reply has exactly fieldCount
    // fields.
    bool QueryGroup(const char *name, int fieldCount,
                    const std::function<void(const QStringList &)> &store);
    // A programme query with fieldsPerItem fields for each of `count` outputs, inputs or rails.
    bool QueryCounted(const char *name, int count, int fieldsPerItem,
                      const std::function<void(const QStringList &)> &store);
    // A query whose reply is one text field.
    bool QueryText(int skip, const QByteArray &request, int attempts, QString *out);
    bool WaitForData(int ms);
    void RunWaitSlice();
    bool WaitQuiet();
    bool Collect(int gapMs, QByteArray *reply);
    bool TryHandshake(const QString &name, PortFailure *failure);
    PortFailure OpenFailure() const;
    // The items the counted queries and the setting commands iterate over.
    int Outputs() const { return std::min(m_outputCount, kMaxOutputs); }
    int Powers() const { return std::min(m_powerCount, kMaxPowers); }
    int Inputs() const { return std::min(m_inputCount, kMaxInputs); }
    bool Emit(const QByteArray &line);
    void AppendToCommandFile(const QByteArray &line);
    void Observe(const QByteArray &line) const;
    // Writes to the port and reads everything it holds, for the traffic observer to see.
    void Write(const QByteArray &bytes);
    QByteArray ReadAll();

    PortDiscovery m_discovery;
    AccessCheck m_accessCheck;
    LineObserver m_lineObserver;
    WaitSlice m_waitSlice;
    TrafficObserver m_trafficObserver;

    int m_inputCount = 0;
    int m_powerCount = 0;
    int m_outputCount = 0;
    int m_boardType = 0;
    QString m_portName;
    bool m_connected = false;
    QSerialPort m_port;
    QVector<PortOutcome> m_lastScan;
    int m_commandFileLines = 0;
    int m_commandFileFailures = 0;
    int m_serialLines = 0;
    int m_unansweredLines = 0;
    QElapsedTimer m_sinceSlice; // since the wait-slice handler last ran
};
