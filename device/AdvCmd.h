#pragma once

#include "device/BoardRecords.h"
#include "device/CommandFile.h"
#include "device/PortScan.h"
#include "device/SerialLine.h"
#include "device/SettingLines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

// The serial link to a board and the "ADV#" commands spoken over it.
//
// Every exchange runs on the thread that uses the link (the window's, or a worker's) with bounded
// waits. Each wait on the line is cut into short slices, and between two slices the wait-slice
// handler runs, so the window can handle its events while the board is slow. Queries are
// request/reply transactions; setting commands go through SendCmd to the port, or in a file mode
// to the board family's command file. Nothing is sent while the link is not connected.
//
// A port that goes (the board unplugged, its far end hung up) is closed at once. In a live board
// type the link is then not connected: the rest of an action sends nothing, and queries fail at
// once. In a file mode the link stays connected, for its command files.
class CAdvCmd
{
public:
    // Lists the names of the serial ports to scan, in scan order.
    using PortDiscovery = std::function<QStringList()>;
    using AccessCheck = CPortScan::AccessCheck;
    using PortOpener = CPortScan::Opener;
    // Sees every query request and every setting line the link writes, once it is written.
    using LineObserver = std::function<void(const QByteArray &line)>;
    // Runs between the slices of every wait on the line and of the port scan.
    using WaitSlice = CSerialLine::WaitSlice;
    // Sees every byte the link writes to its port and every byte it reads from it, in order, the
    // handshake that found the board included.
    using Direction = CSerialLine::Direction;
    using TrafficObserver = CSerialLine::TrafficObserver;
    // Told when the port of this link goes.
    using UnplugHandler = std::function<void()>;
    // Asked before every line and query and between the slices of every wait but a line's.
    using StopCheck = CSerialLine::StopCheck;

    using PortFailure = CPortScan::PortFailure;
    using PortOutcome = CPortScan::PortOutcome;

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
    void SetPortDiscovery(PortDiscovery discovery) { m_discovery = std::move(discovery); }
    static void SetDefaultPortDiscovery(PortDiscovery discovery);
    // True unless a default discovery is set: the links without one of their own then list the
    // system's serial ports, device files that come and go in /dev.
    static bool ListsSystemPorts();
    // Seam of the rights check that tells a denied port from one in use; an empty function
    // restores the check of the device file's rights.
    void SetAccessCheck(AccessCheck check) { m_scan.SetAccessCheck(std::move(check)); }
    // Seam of the scan's open of each port, for opens that block; an empty function restores
    // the port's own open.
    void SetPortOpener(PortOpener opener) { m_scan.SetOpener(std::move(opener)); }
    // Installs the observer of every line written and returns the one it replaces.
    LineObserver SetLineObserver(LineObserver observer)
    {
        return std::exchange(m_lineObserver, std::move(observer));
    }
    // Installs the handler run between the slices of every wait and returns the one it replaces.
    WaitSlice SetWaitSlice(WaitSlice slice) { return std::exchange(m_waitSlice, std::move(slice)); }
    // Installs the observer of the bytes on the line and returns the one it replaces.
    TrafficObserver SetTrafficObserver(TrafficObserver observer)
    {
        return std::exchange(m_trafficObserver, std::move(observer));
    }
    // Once `check` says so, the run on this link winds down through ordinary results: the scan
    // and every wait under way end at once, except a setting line's, which ends with the board's
    // answer; no further line is written, and queries fail at once.
    void SetStopCheck(StopCheck check);
    bool IsStopped() const { return m_stopCheck && m_stopCheck(); }
    // Installs the handler told, once per port, that the port went, and returns the one it
    // replaces. It runs from the event loop of the link's thread, never inside an exchange, and
    // only while the port is still the link's; by then the link has closed the port. It may
    // close or open the link's port.
    UnplugHandler SetUnplugHandler(UnplugHandler handler)
    {
        return std::exchange(m_unplugHandler, std::move(handler));
    }

    // The ports a scan probes: those of this link's discovery, or of the process's default, or
    // else those the system lists.
    QStringList ListedPorts() const;
    // Probes every listed port at once and keeps the board's (see CPortScan).
    bool OpenPort(QString *portName);
    // Probes this port alone, as OpenPort() probes each: for a port that has just appeared.
    bool OpenPortAlone(const QString &port, QString *portName);
    // Closes the port; the link is not connected any more.
    void ClosePort();
    bool GetCmd(int skip, QByteArray command, QStringList *fields);
    void SetBoardInfo(int outputs, int inputs, int powers, int type);

    // A handshake succeeded and the port has not gone since (in a file mode, its going does not
    // count).
    bool IsConnected() const;
    // The link's port went (unplugged, or its far end hung up) since the last OpenPort() or
    // ClosePort(); PortName() names it.
    bool WasUnplugged() const { return m_line && m_line->IsGone(); }
    int BoardType() const { return m_boardType; }
    int OutputCount() const { return m_outputCount; }
    int InputCount() const { return m_inputCount; }
    int PowerCount() const { return m_powerCount; }
    QString PortName() const { return m_portName; }
    // The ports the last scan tried without finding a board, in the order of priority; none when
    // it found one.
    QVector<PortOutcome> LastScan() const { return m_scan.Outcomes(); }
    // Lines given to a command file since construction, and those of them that could not be
    // written.
    int CommandFileLines() const { return m_commandFile.Lines(); }
    int CommandFileFailures() const { return m_commandFile.Failures(); }
    // Setting lines written to the serial port since construction, and those of them the board
    // did not answer: the write did not complete in time, or no byte came back. A line for a
    // port that is gone is not written and not counted.
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

    // Emits one complete setting line (with its CR) to the port or the command file; nothing
    // once stopped.
    void SendCmd(const QByteArray &line);
    // The setting lines for the counts of the selected board type.
    CSettingLines SettingLines() const;
    // Emits the lines in order through SendCmd; false, sending nothing, when not connected, and
    // false once stopped, the lines from there on unsent.
    bool SendLines(const CSettingLines::Lines &lines);

private:
    bool Open(const QStringList &ports, QString *portName);
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
    // Takes the board's port as the link's line, with the link's hooks.
    void TakeLine(std::unique_ptr<QSerialPort> port);
    // False once the line is gone, or when there is none; a live link is then not connected.
    bool LineUp();
    // The items the counted queries and the setting commands iterate over.
    int Outputs() const { return std::min(m_outputCount, kMaxOutputs); }
    int Powers() const { return std::min(m_powerCount, kMaxPowers); }
    int Inputs() const { return std::min(m_inputCount, kMaxInputs); }
    void Observe(const QByteArray &line) const;
    void RunWaitSlice() const;
    void ObserveTraffic(Direction direction, const QByteArray &bytes) const;

    PortDiscovery m_discovery;
    LineObserver m_lineObserver;
    WaitSlice m_waitSlice;
    TrafficObserver m_trafficObserver;
    UnplugHandler m_unplugHandler;
    StopCheck m_stopCheck;

    int m_inputCount = 0;
    int m_powerCount = 0;
    int m_outputCount = 0;
    int m_boardType = 0;
    QString m_portName;
    bool m_connected = false;
    CPortScan m_scan;
    std::unique_ptr<CSerialLine> m_line;
    CCommandFile m_commandFile;
    int m_serialLines = 0;
    int m_unansweredLines = 0;
};
