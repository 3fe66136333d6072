#include "device/AdvCmd.h"

#include "device/BoardType.h"
#include "device/ReplyParser.h"

#include <QDebug>
#include <algorithm>

namespace {

constexpr int kQueryGapMs = 50; // silence that ends a query's reply

// Requests sent per query before it gives up.
constexpr int kRetriedAttempts = 5;
constexpr int kSingleAttempt = 1;

// Header skip counts: the header of a reply line is as long as the request minus the skip.
constexpr int kSkipBare = 3;  // requests ending in CR alone
constexpr int kSkipQuery = 5; // requests ending in "=?" and CR

constexpr char kEchoOff[] = "ADV#ECHO=0\r";
constexpr const char *kCommandPrefix = CSettingLines::kCommandPrefix;

// The discovery of the links that have none of their own: set once, before they scan, by the
// program that runs them (the demo, a port named on the command line, a test).
CAdvCmd::PortDiscovery &DefaultDiscovery()
{
    static CAdvCmd::PortDiscovery discovery;
    return discovery;
}

QByteArray QueryRequest(const char *name)
{
    return QByteArray(kCommandPrefix) + name + "=?\r";
}

// "ADV#INPUTA=" and "ADV#INPUTL=" carry the input number as one character, code 48 + n.
QByteArray InputRequest(const char *name, int n)
{
    return QByteArray(kCommandPrefix) + name + '=' + char((48 + n) & 0xFF) + '\r';
}

} // namespace

CAdvCmd::CAdvCmd() = default;

CAdvCmd::~CAdvCmd() = default;

void CAdvCmd::SetDefaultPortDiscovery(PortDiscovery discovery)
{
    DefaultDiscovery() = std::move(discovery);
}

bool CAdvCmd::ListsSystemPorts()
{
    return !DefaultDiscovery();
}

void CAdvCmd::SetStopCheck(StopCheck check)
{
    m_stopCheck = std::move(check);
    m_scan.SetStopCheck([this] { return IsStopped(); });
}

void CAdvCmd::Observe(const QByteArray &line) const
{
    if (m_lineObserver)
        m_lineObserver(line);
}

void CAdvCmd::RunWaitSlice() const
{
    if (m_waitSlice)
        m_waitSlice();
}

void CAdvCmd::ObserveTraffic(Direction direction, const QByteArray &bytes) const
{
    if (m_trafficObserver)
        m_trafficObserver(direction, bytes);
}

void CAdvCmd::SetBoardInfo(int outputs, int inputs, int powers, int type)
{
    m_outputCount = outputs;
    m_inputCount = inputs;
    m_powerCount = powers;
    m_boardType = type;
}

bool CAdvCmd::IsConnected() const
{
    return m_connected && (BoardType::IsFileMode(m_boardType) || !WasUnplugged());
}

void CAdvCmd::ClosePort()
{
    m_line.reset();
    m_connected = false;
}

QStringList CAdvCmd::ListedPorts() const
{
    const PortDiscovery &discovery = m_discovery ? m_discovery : DefaultDiscovery();
    return discovery ? discovery() : CPortScan::AvailablePorts();
}

bool CAdvCmd::OpenPort(QString *portName)
{
    return Open(ListedPorts(), portName);
}

bool CAdvCmd::OpenPortAlone(const QString &port, QString *portName)
{
    return Open({port}, portName);
}

bool CAdvCmd::Open(const QStringList &ports, QString *portName)
{
    ClosePort();
    CPortScan::Found found = m_scan.Run(
        ports, [this] { RunWaitSlice(); },
        [this](Direction direction, const QByteArray &bytes) { ObserveTraffic(direction, bytes); });
    if (!found.port)
        return false;
    m_portName = found.name;
    TakeLine(std::move(found.port));
    m_connected = true;
    // The board's answer to this is of no interest; only its echo is switched off.
    m_line->Send(kEchoOff);
    if (m_line->IsGone() || IsStopped()) {
        m_connected = false;
        return false;
    }
    *portName = m_portName;
    return true;
}

void CAdvCmd::TakeLine(std::unique_ptr<QSerialPort> port)
{
    m_line = std::make_unique<CSerialLine>(std::move(port));
    m_line->SetWaitSlice([this] { RunWaitSlice(); });
    m_line->SetTrafficObserver(
        [this](Direction direction, const QByteArray &bytes) { ObserveTraffic(direction, bytes); });
    m_line->SetStopCheck([this] { return IsStopped(); });
    m_line->SetGoneHandler([this] { LineUp(); });
    m_line->SetGoneNotice([this] {
        if (m_unplugHandler)
            m_unplugHandler();
    });
}

bool CAdvCmd::LineUp()
{
    if (m_line && !m_line->IsGone())
        return true;
    m_connected = m_connected && BoardType::IsFileMode(m_boardType);
    return false;
}

bool CAdvCmd::GetCmd(int skip, QByteArray command, QStringList *fields)
{
    fields->clear();
    if (IsStopped() || !LineUp())
        return false;
    // A reply that came after its query gave up waits in the buffer; read as the start of this
    // reply it would pass for another query's answer, so it is dropped. There is no wait for a
    // quiet line: the request leaves at once, not only when the port next waits for writing.
    m_line->ClearInput();
    m_line->Write(command);
    m_line->Flush();
    Observe(command);
    if (!m_line->WaitForData(CSerialLine::kFirstReplyMs))
        return false;
    QByteArray reply;
    m_line->Collect(kQueryGapMs, &reply); // a device that never stops is cut off; parse what came
    if (!CReplyParser::IsSuccess(reply))
        return false;

    const QString text = QString::fromUtf8(reply.constData()); // up to the first NUL byte
    // The raw text between double quotes, unescaped: CR and LF show as they came.
    qDebug().noquote() << QLatin1Char('"') + text + QLatin1Char('"');
    return CReplyParser::SplitFields(text, int(command.size()) - skip, fields);
}

bool CAdvCmd::Query(int skip, const QByteArray &request, int attempts, int fieldCount,
                    QStringList *fields)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (GetCmd(skip, request, fields) && fields->size() == fieldCount)
            return true;
    }
    return false;
}

bool CAdvCmd::QueryText(int skip, const QByteArray &request, int attempts, QString *out)
{
    QStringList fields;
    if (!m_connected || !Query(skip, request, attempts, 1, &fields))
        return false;
    *out = fields[0];
    return true;
}

bool CAdvCmd::GetVersion(QString *out)
{
    return QueryText(kSkipBare, "ADV#VERSION\r", kRetriedAttempts, out);
}

bool CAdvCmd::GetInputA(int n, QString *out)
{
    return QueryText(kSkipBare, InputRequest("INPUTA", n), kRetriedAttempts, out);
}

bool CAdvCmd::GetInputL(int n, QString *out)
{
    return QueryText(kSkipBare, InputRequest("INPUTL", n), kSingleAttempt, out);
}

bool CAdvCmd::QueryGroup(const char *name, int fieldCount,
                         const std::function<void(const QStringList &)> &store)
{
    QStringList fields;
    if (!m_connected ||
        !Query(kSkipQuery, QueryRequest(name), kRetriedAttempts, fieldCount, &fields))
        return false;
    store(fields);
    return true;
}

// A board type without such items is not asked: no reply could hold zero fields, and asking
// would fail its read-out after five attempts.
bool CAdvCmd::QueryCounted(const char *name, int count, int fieldsPerItem,
                           const std::function<void(const QStringList &)> &store)
{
    if (m_connected && count == 0)
        return true;
    return QueryGroup(name, fieldsPerItem * count, store);
}

bool CAdvCmd::GetOutput(OutputModes *modes)
{
    const int outputs = Outputs();
    return QueryCounted(
        "OUTPUT", outputs, CReplyParser::kFieldsPerOutputMode,
        [&](const QStringList &f) { CReplyParser::StoreOutputModes(f, outputs, modes); });
}

bool CAdvCmd::GetPower(PowerModes *modes)
{
    const int powers = Powers();
    return QueryCounted(
        "POWER", powers, CReplyParser::kFieldsPerPowerMode,
        [&](const QStringList &f) { CReplyParser::StorePowerModes(f, powers, modes); });
}

bool CAdvCmd::GetWake(WakeSessions *sessions)
{
    return QueryGroup("WAKE", CReplyParser::kSessionFields,
                      [&](const QStringList &f) { CReplyParser::StoreSessions(f, sessions); });
}

bool CAdvCmd::GetCOutput(AllOutputTimings *timings)
{
    const int outputs = Outputs();
    return QueryCounted(
        "COUTPUT", outputs, CReplyParser::kFieldsPerOutputTimings,
        [&](const QStringList &f) { CReplyParser::StoreOutputTimings(f, outputs, timings); });
}

bool CAdvCmd::GetCPower(AllPowerTimes *times)
{
    const int powers = Powers();
    return QueryCounted(
        "CPOWER", powers, CReplyParser::kFieldsPerRailTimes,
        [&](const QStringList &f) { CReplyParser::StorePowerTimes(f, powers, times); });
}

bool CAdvCmd::GetCInput(InputTriggers *inputs)
{
    const int count = Inputs();
    return QueryCounted("CINPUT", count, CReplyParser::kFieldsPerInput,
                        [&](const QStringList &f) { CReplyParser::StoreInputs(f, count, inputs); });
}

bool CAdvCmd::GetTime(QString *out)
{
    QString text;
    if (!QueryText(kSkipQuery, QueryRequest("TIME"), kSingleAttempt, &text))
        return false;
    qDebug() << "board time" << text;
    *out = text;
    return true;
}

bool CAdvCmd::GetDate(QString *out)
{
    QString text;
    if (!QueryText(kSkipQuery, QueryRequest("DATE"), kSingleAttempt, &text))
        return false;
    qDebug() << "board date" << text;
    *out = text;
    return true;
}

bool CAdvCmd::GetBattery(BatteryThresholds *pair)
{
    return QueryGroup("BATTERY", CReplyParser::kBatteryFields,
                      [&](const QStringList &f) { CReplyParser::StoreBattery(f, pair); });
}

// Asks the board to clear its wake programme. Its reply form is not known, so only a reply
// without any data line counts as success.
bool CAdvCmd::ResetWake()
{
    QStringList fields;
    return m_connected && GetCmd(kSkipBare, "ADV#RESETWAKE\r", &fields) && fields.isEmpty();
}

int CAdvCmd::LinesOf(Setting setting) const
{
    if (!m_connected)
        return 0;
    switch (setting) {
    case Setting::Output:
        return Outputs();
    case Setting::Power:
        return Powers();
    case Setting::Wake:
        return kSessionCount;
    case Setting::COutput:
        return Outputs() * kSessionCount;
    case Setting::CPower:
        return Powers() * kSessionCount;
    case Setting::CInput:
        return Inputs();
    case Setting::Time:
    case Setting::Date:
    case Setting::Battery:
        return 1;
    }
    return 0;
}

bool CAdvCmd::SetOutput(const OutputModes &modes)
{
    return SendLines(SettingLines().Output(modes));
}

bool CAdvCmd::SetPower(const PowerModes &modes)
{
    return SendLines(SettingLines().Power(modes));
}

bool CAdvCmd::SetWake(const WakeSessions &sessions)
{
    return SendLines(SettingLines().Wake(sessions));
}

bool CAdvCmd::SetCOutput(const AllOutputTimings &timings)
{
    return SendLines(SettingLines().COutput(timings));
}

bool CAdvCmd::SetCPower(const AllPowerTimes &times)
{
    return SendLines(SettingLines().CPower(times));
}

bool CAdvCmd::SetCInput(const InputTriggers &inputs)
{
    return SendLines(SettingLines().CInput(inputs));
}

bool CAdvCmd::SetTime(QString text)
{
    return SendLines({CSettingLines::Time(text)});
}

bool CAdvCmd::SetDate(QString text)
{
    return SendLines({CSettingLines::Date(text)});
}

bool CAdvCmd::SetBattery(const BatteryThresholds &pair)
{
    return SendLines({CSettingLines::Battery(pair)});
}

CSettingLines CAdvCmd::SettingLines() const
{
    return CSettingLines({m_outputCount, m_inputCount, m_powerCount});
}

bool CAdvCmd::SendLines(const CSettingLines::Lines &lines)
{
    if (!m_connected)
        return false;
    for (const CSettingLines::Line &line : lines) {
        if (IsStopped())
            return false;
        SendCmd(line.text);
    }
    return true;
}

void CAdvCmd::SendCmd(const QByteArray &line)
{
    if (IsStopped())
        return;
    if (BoardType::IsFileMode(m_boardType)) {
        const QString file = BoardType::CommandFile(m_boardType);
        if (!file.isEmpty())
            m_commandFile.Append(file, line);
    } else {
        // A line for a port that is gone would go nowhere: it is not sent, and nor is the rest.
        if (!LineUp())
            return;
        const CSerialLine::Outcome outcome = m_line->Send(line);
        if (outcome == CSerialLine::Outcome::NotWritten)
            return;
        ++m_serialLines;
        if (outcome == CSerialLine::Outcome::Unanswered)
            ++m_unansweredLines;
    }
    Observe(line);
}
