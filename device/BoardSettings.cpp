#include "device/BoardSettings.h"

#include "device/BackupStore.h"
#include "device/BoardType.h"
#include "device/IniImport.h"

#include <QCoreApplication>
#include <QFile>
#include <set>

namespace {
// What a reset leaves in the session times: midnight, as a time of day.
QDateTime ResetTime()
{
    return QDateTime::fromString(QStringLiteral("00:00:00"), QStringLiteral("hh:mm:ss"));
}
const QString kUnknownVersion = QStringLiteral("unknown");

// Passes on whether a step of the read-out is done, after telling `stepDone` that it is.
bool Step(bool done, const std::function<void()> &stepDone)
{
    if (done && stepDone)
        stepDone();
    return done;
}
} // namespace

CBoardSettings::CBoardSettings() : m_link(std::make_unique<CAdvCmd>()) {}

bool CBoardSettings::ConnectBoard()
{
    m_held.Forget();
    return m_link->OpenPort(&m_portName);
}

bool CBoardSettings::ConnectBoardOn(const QString &port)
{
    m_held.Forget();
    return m_link->OpenPortAlone(port, &m_portName);
}

bool CBoardSettings::ReadAll(const std::function<void()> &stepDone)
{
    return Step(ReadVersion(), stepDone) && ReadProgramme(stepDone);
}

bool CBoardSettings::ReadVersion()
{
    QString version;
    if (!m_link->GetVersion(&version)) {
        // A board that answered the handshake but not its version is of no known type; the
        // type selected before, a file mode above all, must not outlive the connection.
        if (m_link->IsConnected()) {
            m_version = kUnknownVersion;
            SetBoardType(BoardType::Unknown);
            m_held.SetBoardType(BoardType::Unknown);
        }
        return false;
    }
    // The board reports its type as the first character of its version: a live type only.
    bool isNumber = false;
    int type = version.left(1).toInt(&isNumber, 10);
    if (!isNumber || type < 0 || type > BoardType::kHighestLive)
        type = BoardType::Unknown;
    m_version = version.mid(1);
    SetBoardType(type);
    m_held.SetBoardType(type);
    return true;
}

bool CBoardSettings::ReadProgramme(const std::function<void()> &stepDone)
{
    BoardProgramme programme = GetProgramme();
    const bool complete = ReadProgrammeInto(&programme, stepDone);
    SetProgramme(programme);
    return complete;
}

bool CBoardSettings::ReadProgrammeInto(BoardProgramme *programme,
                                       const std::function<void()> &stepDone)
{
    // Stops at the first query that fails; later groups keep their values.
    for (CHeldProgramme::Group group : CHeldProgramme::kGroups) {
        if (!Step(Query(group, programme), stepDone))
            return false;
        if (IsLive())
            m_held.Take(group, *programme);
    }
    return true;
}

bool CBoardSettings::Query(CHeldProgramme::Group group, BoardProgramme *programme)
{
    using G = CHeldProgramme::Group;
    switch (group) {
    case G::Output:
        return m_link->GetOutput(&programme->outputModes);
    case G::Power:
        return m_link->GetPower(&programme->powerModes);
    case G::Wake:
        return m_link->GetWake(&programme->sessions);
    case G::COutput:
        return m_link->GetCOutput(&programme->outputTimings);
    case G::CPower:
        return m_link->GetCPower(&programme->powerTimes);
    case G::CInput:
        return m_link->GetCInput(&programme->inputs);
    default:
        return false;
    }
}

// A query is sent exactly when its setting command emits lines: the link skips a counted one
// for a count of 0 and sends nothing while it is down.
int CBoardSettings::Requests(const std::function<bool(CHeldProgramme::Group)> &asked) const
{
    int requests = 0;
    for (CHeldProgramme::Group group : CHeldProgramme::kGroups)
        requests += asked(group) && m_link->LinesOf(group) > 0 ? 1 : 0;
    return requests;
}

int CBoardSettings::ProgrammeRequests() const
{
    return Requests([](CHeldProgramme::Group) { return true; });
}

bool CBoardSettings::ReadHeld()
{
    if (!IsLive())
        return false;
    BoardProgramme read = m_held.Programme();
    for (CHeldProgramme::Group group : CHeldProgramme::kGroups) {
        if (m_held.IsKnown(group))
            continue;
        if (!Query(group, &read))
            return false;
        m_held.Take(group, read);
    }
    return true;
}

int CBoardSettings::HeldRequests() const
{
    if (!IsLive())
        return 0;
    return Requests([this](CHeldProgramme::Group group) { return !m_held.IsKnown(group); });
}

bool CBoardSettings::KeepBackup(const CBackupStore &store, int lines, QString *message)
{
    if (lines <= 0 || !IsLive())
        return true;
    if (!ReadHeld()) {
        *message = HeldUnreadMessage();
        return false;
    }
    return store.Keep(m_portName, {BoardType::Family(m_held.Type()), m_version, m_held.Programme()},
                      message);
}

int CBoardSettings::BackedUpWriteLines(int lines) const
{
    return lines > 0 ? HeldRequests() + lines : lines;
}

QString CBoardSettings::HeldUnreadMessage()
{
    return QCoreApplication::translate("MainWindow",
                                       "Could not keep a backup of the board's programme: the "
                                       "board did not answer. Nothing was sent.");
}

bool CBoardSettings::IsLive() const
{
    return m_link->IsConnected() && !BoardType::IsFileMode(m_link->BoardType());
}

void CBoardSettings::SetBoardType(int type)
{
    m_boardType = type;
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(type);
    m_link->SetBoardInfo(caps.outputs, caps.inputs, caps.powers, type);
}

int CBoardSettings::GetOutputCount() const
{
    return BoardType::CapabilitiesOf(m_boardType).outputs;
}

int CBoardSettings::GetPowerCount() const
{
    return BoardType::CapabilitiesOf(m_boardType).powers;
}

bool CBoardSettings::SetOutputModes(const OutputModes &modes)
{
    m_outputModes = modes;
    return Send(m_link->SettingLines().Output(m_outputModes));
}

bool CBoardSettings::SetPowerModes(int rail1, int rail2)
{
    m_powerModes = {rail1, rail2};
    return Send(m_link->SettingLines().Power(m_powerModes));
}

BatteryThresholds CBoardSettings::ReadBatteryThresholds()
{
    m_link->GetBattery(&m_batteryThresholds);
    return m_batteryThresholds;
}

bool CBoardSettings::SetBatteryThresholds(const BatteryThresholds &pair)
{
    m_batteryThresholds = pair;
    return m_link->SetBattery(m_batteryThresholds);
}

bool CBoardSettings::SetSession(int i, const WakeSession &session)
{
    m_sessions[size_t(i)] = session;
    return Send(m_link->SettingLines().Wake(m_sessions));
}

bool CBoardSettings::SetInputTriggers(const InputTriggers &triggers)
{
    m_inputTriggers = triggers;
    return Send(m_link->SettingLines().CInput(m_inputTriggers));
}

bool CBoardSettings::SetPowerTimes(int i, int power1, int power2)
{
    m_powerTimes[size_t(i)] = {power1, power2};
    return Send(m_link->SettingLines().CPower(m_powerTimes));
}

bool CBoardSettings::SetOutputTimings(int i, const SessionOutputTimings &timings)
{
    m_outputTimings[size_t(i)] = timings;
    return Send(m_link->SettingLines().COutput(m_outputTimings));
}

BoardProgramme CBoardSettings::GetProgramme() const
{
    return {m_sessions,   m_inputTriggers, m_outputModes,
            m_powerModes, m_outputTimings, m_powerTimes};
}

void CBoardSettings::SetProgramme(const BoardProgramme &programme)
{
    m_sessions = programme.sessions;
    m_inputTriggers = programme.inputs;
    m_outputModes = programme.outputModes;
    m_powerModes = programme.powerModes;
    m_outputTimings = programme.outputTimings;
    m_powerTimes = programme.powerTimes;
}

bool CBoardSettings::GetTime(QString *out)
{
    return m_link->GetTime(out);
}

bool CBoardSettings::SetTime(const QString &text)
{
    return m_link->SetTime(text);
}

bool CBoardSettings::GetDate(QString *out)
{
    return m_link->GetDate(out);
}

bool CBoardSettings::SetDate(const QString &text)
{
    return m_link->SetDate(text);
}

bool CBoardSettings::GetAnalogInput(int n, QString *out)
{
    return m_link->GetInputA(n, out);
}

bool CBoardSettings::GetDigitalInput(int n, QString *out)
{
    return m_link->GetInputL(n, out);
}

int CBoardSettings::LinesOf(std::initializer_list<CAdvCmd::Setting> settings) const
{
    int lines = 0;
    for (CAdvCmd::Setting setting : settings)
        lines += m_link->LinesOf(setting);
    return lines;
}

int CBoardSettings::SendAllLines() const
{
    using S = CAdvCmd::Setting;
    return LinesOf({S::Power, S::CPower, S::Output, S::COutput, S::Wake, S::CInput});
}

// The order of this programme is the order of the lines in a command file.
bool CBoardSettings::SendAll()
{
    return Send(m_link->SettingLines().Programme(GetProgramme()));
}

CSettingLines::Lines CBoardSettings::DifferingLines(const BoardProgramme &held) const
{
    if (!m_link->IsConnected())
        return {};
    return m_link->SettingLines().Differing(held, GetProgramme());
}

int CBoardSettings::SendDifferingLines(const BoardProgramme &held)
{
    const CSettingLines::Lines lines = DifferingLines(held);
    Send(lines);
    return lines.size();
}

bool CBoardSettings::Send(const CSettingLines::Lines &lines)
{
    if (!IsLive())
        return m_link->SendLines(lines);
    std::set<CHeldProgramme::Group> written;
    std::set<CHeldProgramme::Group> unanswered;
    // As for the setting commands, the result tells whether the link was up for the last line.
    bool connected = true;
    for (const CSettingLines::Line &line : lines) {
        const int before = m_link->UnansweredLines();
        // A link that went down meanwhile sends nothing more; a line whose port went before it
        // was written did not reach the board either.
        connected = m_link->SendLines({line});
        const bool answered =
            connected && m_link->IsConnected() && m_link->UnansweredLines() == before;
        if (!CHeldProgramme::IsGroup(line.setting))
            continue;
        written.insert(line.setting);
        if (!answered)
            unanswered.insert(line.setting);
    }
    const BoardProgramme sent = GetProgramme();
    for (CHeldProgramme::Group group : written) {
        if (unanswered.count(group) > 0)
            m_held.Forget(group);
        else
            m_held.Take(group, sent);
    }
    return connected;
}

bool CBoardSettings::SendAllAfresh()
{
    const QString file = BoardType::CommandFile(m_boardType);
    if (!file.isEmpty())
        QFile::remove(file);
    return SendAll();
}

void CBoardSettings::Reset()
{
    m_held.Forget();
    m_version = kUnknownVersion;
    m_boardType = BoardType::Unknown; // the link keeps its counts and type
    m_batteryThresholds = {0, 0};
    m_outputModes = {};
    m_powerModes = {};
    for (WakeSession &session : m_sessions)
        session = WakeSession{0, ResetTime(), ResetTime(), 0};
    m_inputTriggers = {};
    m_outputTimings = {};
    m_powerTimes = {};
}

bool CBoardSettings::LoadIni(const QString &path)
{
    IniProgramme programme;
    if (!CIniImport::Read(path, &programme))
        return false;
    m_outputModes = programme.outputModes;
    m_powerModes = programme.powerModes;
    m_outputTimings = programme.outputTimings;
    m_powerTimes = programme.powerTimes;
    return true;
}
