#include "device/AdvCmd.h"

#include "device/BoardType.h"
#include "device/ReplyParser.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>
#include <algorithm>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Waits of the line, in milliseconds.
constexpr int kQuietStepMs = 100;    // steps of the wait for a quiet line before writing
constexpr int kFirstReplyMs = 1000;  // for the first byte of any reply
constexpr int kQueryGapMs = 50;      // silence that ends a query's reply
constexpr int kGapMs = 100;          // silence that ends the handshake's and a setting's reply
constexpr int kBytesWrittenMs = 100; // for a setting line to leave the port
// A device that keeps sending longer than this ends the wait or the collection: it cannot
// hold the tool hostage, and during the port scan it counts as not answering.
constexpr int kCollectLimitMs = 2000;
// Every wait on the line is cut into slices this long, so that the wait-slice handler runs often
// enough for the window to repaint and answer the desktop while the board is slow.
constexpr int kSliceMs = 25;

// Requests sent per query before it gives up.
constexpr int kRetriedAttempts = 5;
constexpr int kSingleAttempt = 1;

// Header skip counts: the header of a reply line is as long as the request minus the skip.
constexpr int kSkipBare = 3;  // requests ending in CR alone
constexpr int kSkipQuery = 5; // requests ending in "=?" and CR

constexpr char kHandshake[] = "ADV#\r";
constexpr char kEchoOff[] = "ADV#ECHO=0\r";
constexpr char kSuccess[] = "OK";
constexpr const char *kCommandPrefix = CSettingLines::kCommandPrefix;
// Command files hold the command (with its CR) and a CR LF line end on every platform,
// as the files boards are already loaded with.
constexpr char kFileLineEnd[] = "\r\n";

// The discovery of the links that have none of their own: set once, before they scan, by the
// program that runs them (the demo, a port named on the command line, a test).
CAdvCmd::PortDiscovery &DefaultDiscovery()
{
    static CAdvCmd::PortDiscovery discovery;
    return discovery;
}

// The device file of a port name, as the serial port itself derives it.
QString DevicePath(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return name;
    return QStringLiteral("/dev/") + name;
}

bool MayReadWrite(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

// A port of the scan that gave no board; for a denied one, with the group owning its device.
CAdvCmd::PortOutcome Outcome(const QString &name, CAdvCmd::PortFailure failure)
{
    CAdvCmd::PortOutcome outcome{name, DevicePath(name), failure, QString(), false};
    struct stat info
    {
    };
    if (failure != CAdvCmd::PortFailure::PermissionDenied ||
        ::stat(QFile::encodeName(outcome.path).constData(), &info) != 0)
        return outcome;
    if (const group *owner = ::getgrgid(info.st_gid))
        outcome.group = QString::fromLocal8Bit(owner->gr_name);
    outcome.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return outcome;
}

QStringList AvailablePortNames()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
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

void CAdvCmd::SetPortDiscovery(PortDiscovery discovery)
{
    m_discovery = std::move(discovery);
}

void CAdvCmd::SetDefaultPortDiscovery(PortDiscovery discovery)
{
    DefaultDiscovery() = std::move(discovery);
}

void CAdvCmd::SetAccessCheck(AccessCheck check)
{
    m_accessCheck = std::move(check);
}

CAdvCmd::LineObserver CAdvCmd::SetLineObserver(LineObserver observer)
{
    std::swap(m_lineObserver, observer);
    return observer;
}

CAdvCmd::WaitSlice CAdvCmd::SetWaitSlice(WaitSlice slice)
{
    std::swap(m_waitSlice, slice);
    return slice;
}

CAdvCmd::TrafficObserver CAdvCmd::SetTrafficObserver(TrafficObserver observer)
{
    std::swap(m_trafficObserver, observer);
    return observer;
}

void CAdvCmd::Observe(const QByteArray &line) const
{
    if (m_lineObserver)
        m_lineObserver(line);
}

void CAdvCmd::Write(const QByteArray &bytes)
{
    m_port.write(bytes);
    if (m_trafficObserver)
        m_trafficObserver(Direction::Sent, bytes);
}

QByteArray CAdvCmd::ReadAll()
{
    const QByteArray bytes = m_port.readAll();
    if (m_trafficObserver && !bytes.isEmpty())
        m_trafficObserver(Direction::Received, bytes);
    return bytes;
}

void CAdvCmd::SetBoardInfo(int outputs, int inputs, int powers, int type)
{
    m_outputCount = outputs;
    m_inputCount = inputs;
    m_powerCount = powers;
    m_boardType = type;
}

void CAdvCmd::ClosePort()
{
    if (m_port.isOpen())
        m_port.close();
    m_connected = false;
}

bool CAdvCmd::OpenPort(QString *portName)
{
    if (m_connected)
        ClosePort();
    const PortDiscovery &discovery = m_discovery ? m_discovery : DefaultDiscovery();
    QStringList names = discovery ? discovery() : AvailablePortNames();
    // The port on which the board answered last is tried first while it is still listed.
    if (!m_portName.isEmpty() && names.removeAll(m_portName) > 0)
        names.prepend(m_portName);
    m_lastScan.clear();
    for (const QString &name : names) {
        PortFailure failure = PortFailure::NotOpened;
        if (!TryHandshake(name, &failure)) {
            m_lastScan << Outcome(name, failure);
            continue;
        }
        m_lastScan.clear();
        *portName = name;
        m_portName = name;
        m_connected = true;
        // The board's answer to this is of no interest; only its echo is switched off.
        Emit(kEchoOff);
        return true;
    }
    return false;
}

// Opens one port, sets it up and asks "ADV#"; leaves the port open only when the reply holds "OK",
// and otherwise tells why not.
bool CAdvCmd::TryHandshake(const QString &name, PortFailure *failure)
{
    m_port.setPortName(name);
    const bool opened = m_port.open(QIODevice::ReadWrite);
    *failure = opened ? PortFailure::NotSetUp : OpenFailure();
    const bool ready = opened && m_port.setBaudRate(QSerialPort::Baud9600) &&
                       m_port.setDataBits(QSerialPort::Data8) &&
                       m_port.setParity(QSerialPort::NoParity) &&
                       m_port.setStopBits(QSerialPort::OneStop) &&
                       m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (ready) {
        *failure = PortFailure::NoAnswer;
        m_port.flush();
        QByteArray reply;
        // What arrives before the handshake stays in the buffer and counts as part of the reply.
        if (WaitQuiet()) {
            Write(kHandshake);
            m_port.flush();
            if (WaitForData(kFirstReplyMs) && Collect(kGapMs, &reply) && reply.contains(kSuccess))
                return true;
        }
    }
    m_port.close();
    return false;
}

// The serial port reports both a device this user may not open and one held by another program
// as a permission error; the device file's rights tell them apart.
CAdvCmd::PortFailure CAdvCmd::OpenFailure() const
{
    switch (m_port.error()) {
    case QSerialPort::PermissionError: {
        const QString path = DevicePath(m_port.portName());
        const bool mayUse = m_accessCheck ? m_accessCheck(path) : MayReadWrite(path);
        return mayUse ? PortFailure::InUse : PortFailure::PermissionDenied;
    }
    case QSerialPort::UnsupportedOperationError:
        return PortFailure::NotSetUp;
    default:
        return PortFailure::NotOpened;
    }
}

// True once bytes arrive that were not in the buffer when the wait began; false after `ms`
// without any, or at once when the line is gone. Between two slices the handler runs; the port's
// notifier may then move arriving bytes into the buffer, so the buffer is looked at too.
bool CAdvCmd::WaitForData(int ms)
{
    const qint64 before = m_port.bytesAvailable();
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        RunWaitSlice();
        if (m_port.bytesAvailable() > before)
            return true;
        const qint64 left = ms - elapsed.elapsed();
        if (left <= 0)
            return false;
        if (m_port.waitForReadyRead(int(std::min<qint64>(left, kSliceMs))))
            return true;
        // A slice without data leaves a timeout; any other error means the line is gone. Errors
        // are not cleared before each slice: for bytes that come one at a time, that would cost
        // more than the wait itself.
        const QSerialPort::SerialPortError error = m_port.error();
        if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError)
            return false;
    }
}

// At most once a slice: bytes that trickle in at the line's pace must not make the handler run
// for each of them.
void CAdvCmd::RunWaitSlice()
{
    if (!m_waitSlice || (m_sinceSlice.isValid() && m_sinceSlice.elapsed() < kSliceMs))
        return;
    m_waitSlice();
    m_sinceSlice.start();
}

bool CAdvCmd::WaitQuiet()
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (WaitForData(kQuietStepMs)) {
        if (elapsed.elapsed() > kCollectLimitMs)
            return false;
    }
    return true;
}

bool CAdvCmd::Collect(int gapMs, QByteArray *reply)
{
    QElapsedTimer elapsed;
    elapsed.start();
    reply->append(ReadAll());
    while (WaitForData(gapMs)) {
        reply->append(ReadAll());
        if (elapsed.elapsed() > kCollectLimitMs)
            return false;
    }
    return true;
}

// Writes one line after a quiet line, then reads and drops whatever the board answers. False
// when the line did not leave in time or the board sent nothing back.
bool CAdvCmd::Emit(const QByteArray &line)
{
    WaitQuiet();
    // The line leaves in the written-bytes wait; nothing may handle the port's events before it,
    // or its notifier would write the line and the wait would find nothing left to write.
    Write(line);
    if (!m_port.waitForBytesWritten(kBytesWrittenMs) || !WaitForData(kFirstReplyMs))
        return false;
    QByteArray dropped;
    Collect(kGapMs, &dropped);
    return true;
}

bool CAdvCmd::GetCmd(int skip, QByteArray command, QStringList *fields)
{
    fields->clear();
    // A reply that came after its query gave up waits in the buffer; read as the start of this
    // reply it would pass for another query's answer, so it is dropped. There is no wait for a
    // quiet line: the request leaves at once, not only when the port next waits for writing.
    m_port.clear(QSerialPort::Input);
    Write(command);
    m_port.flush();
    Observe(command);
    if (!WaitForData(kFirstReplyMs))
        return false;
    QByteArray reply;
    Collect(kQueryGapMs, &reply); // a device that never stops is cut off; parse what came
    if (!reply.contains(kSuccess))
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
    for (const CSettingLines::Line &line : lines)
        SendCmd(line.text);
    return true;
}

void CAdvCmd::SendCmd(const QByteArray &line)
{
    if (BoardType::IsFileMode(m_boardType)) {
        AppendToCommandFile(line);
    } else {
        ++m_serialLines;
        if (!Emit(line))
            ++m_unansweredLines;
    }
    Observe(line);
}

// Every line opens and closes the file anew; a line that cannot be written is lost, and the
// next line tries again.
void CAdvCmd::AppendToCommandFile(const QByteArray &line)
{
    const QString name = BoardType::CommandFile(m_boardType);
    if (name.isEmpty())
        return;
    ++m_commandFileLines;
    const QByteArray bytes = line + kFileLineEnd;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
        !file.flush())
        ++m_commandFileFailures;
}
