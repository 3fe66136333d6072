#include "sim/SimulatedBoard.h"

#include <QByteArrayList>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Wire format.
constexpr char kCommandPrefix[] = "ADV#";
constexpr char kCommandEnd = '\r';
constexpr char kQuerySuffix[] = "=?";
constexpr char kDataLineStart = '+';
constexpr char kFieldSeparator = ',';
// The tool drops the character before a data line's CR, so one stands there.
constexpr char kDataLineEnd[] = ";\r\n";
constexpr char kOk[] = "OK\r\n";
constexpr char kError[] = "ERROR\r\n";
constexpr char kTimeFormat[] = "\"hh:mm:ss\"";
constexpr char kDateFormat[] = "\"dd/MM/yyyy\"";

// Line pace: 9600 baud, 8N1 = 10 bits a byte.
constexpr qint64 kBaud = 9600;
constexpr qint64 kBitsPerByte = 10;
constexpr qint64 kNanosPerSecond = 1000000000;

constexpr auto kLateDelay = std::chrono::milliseconds(1500);
constexpr int kOverlongLineBytes = 64 * 1024;
constexpr int kGarbageBytes = 48;
constexpr int kBinaryBytes = 64;
constexpr int kBinaryNulEvery = 8;
// Printable junk that can never spell "OK" or start a data line.
constexpr char kGarbageAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789 .:;-_#*";
// A board's command buffer; a longer run without CR is noise and is dropped.
constexpr int kMaxCommandBytes = 1024;
constexpr int kReadChunk = 512;
constexpr unsigned kNoiseSeed = 0x4c56u;

constexpr int kAnalogChannels = 4;
constexpr int kDigitalChannels = 2;

struct VersionText
{
    int type;
    const char *field;
};
constexpr VersionText kDefaultVersions[] = {
    {BoardType::Unknown, "0GENERIC-1.00"},
    {BoardType::LumivorV1, "1LV1-2.04"},
    {BoardType::LumivorV2, "2LV2-1.12"},
    {BoardType::Kota, "3KOTA-1.05"},
};

QString DefaultVersion(int type)
{
    for (const VersionText &v : kDefaultVersions) {
        if (v.type == type)
            return QString::fromLatin1(v.field);
    }
    return QString::number(type) + QStringLiteral("BOARD-1.00");
}

// Time for `bytes` bytes on the line, rounded up to whole nanoseconds.
std::chrono::nanoseconds LineTime(qint64 bytes)
{
    return std::chrono::nanoseconds((bytes * kBitsPerByte * kNanosPerSecond + kBaud - 1) / kBaud);
}

// Bytes the line has carried completely after `elapsed`.
qint64 BytesCarried(std::chrono::nanoseconds elapsed)
{
    return elapsed.count() * kBaud / (kBitsPerByte * kNanosPerSecond);
}

// A time of day as the wire's times parse: on 1900-01-01.
QDateTime TimeOfDay(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

QByteArray FormatTime(const QDateTime &time)
{
    return time.toString(QLatin1String(kTimeFormat)).toLatin1();
}

// An empty field stands for a null time.
bool ParseTime(const QByteArray &field, QDateTime *time)
{
    if (field.isEmpty()) {
        *time = QDateTime();
        return true;
    }
    *time = QDateTime::fromString(QString::fromLatin1(field), QLatin1String(kTimeFormat));
    return time->isValid();
}

QByteArray Number(int value)
{
    return QByteArray::number(value);
}

} // namespace

// One answer: data lines sharing a header, then "OK" or "ERROR".
struct CSimulatedBoard::Reply
{
    QByteArray header;
    QVector<QByteArrayList> lines;
    bool ok = true;

    static Reply Error()
    {
        Reply r;
        r.ok = false;
        return r;
    }

    QByteArray DataLines() const
    {
        QByteArray out;
        for (const QByteArrayList &fields : lines)
            out += header + fields.join(kFieldSeparator) + kDataLineEnd;
        return out;
    }

    QByteArray Bytes() const { return DataLines() + (ok ? kOk : kError); }
};

CSimulatedBoard::CSimulatedBoard(int type)
    : m_type(type), m_version(DefaultVersion(type)), m_programme(DefaultProgramme()),
      m_clockBase(QDateTime::currentDateTime()),
      m_clockSetAt(SteadyClock::now()), m_analog{QStringLiteral("1.25"), QStringLiteral("0.48"),
                                                 QStringLiteral("3.30"), QStringLiteral("25")},
      m_digital{QStringLiteral("0"), QStringLiteral("1")}, m_noise(kNoiseSeed)
{
}

CSimulatedBoard::~CSimulatedBoard()
{
    m_stop = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool CSimulatedBoard::Start()
{
    if (!PortName().isEmpty())
        return false;

    // Raw from the start: nothing is echoed or translated by the line discipline, even before
    // the tool's QSerialPort sets the port up.
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (::openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0)
        return false;
    char path[128] = {};
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0 || ::ptsname_r(m_master, path, sizeof path) != 0) {
        CloseLine();
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_portName = QString::fromLocal8Bit(path);
    }
    m_startedAt = SteadyClock::now();
    m_lineFreeAt = m_startedAt;
    m_running = true;
    m_thread = std::thread(&CSimulatedBoard::Run, this);
    return true;
}

QString CSimulatedBoard::PortName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_portName;
}

bool CSimulatedBoard::IsRunning() const
{
    return m_running;
}

void CSimulatedBoard::HangUp()
{
    m_hangUpRequested = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
}

int CSimulatedBoard::Type() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_type;
}

void CSimulatedBoard::SetType(int type)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_type = type;
    m_version = DefaultVersion(type);
}

QString CSimulatedBoard::Version() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_version;
}

void CSimulatedBoard::SetVersion(const QString &field)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_version = field;
}

CSimulatedBoard::Programme CSimulatedBoard::DefaultProgramme()
{
    Programme p;
    p.outputModes = {0, 3, 0, 2, 2, 2};
    p.powerModes = {0, 0};
    p.battery = {3200, 3500};

    // Morning series by time: a photo every ten minutes from 07:30, twelve in all.
    p.sessions[0] = {kWakeByTime, TimeOfDay(7, 30, 0), TimeOfDay(0, 10, 0), 12};
    // Five photos, thirty seconds apart, whenever input 1 is grounded.
    p.sessions[1] = {kWakeByInput, TimeOfDay(0, 0, 0), TimeOfDay(0, 0, 30), 5};
    // Evening series by time: four photos half an hour apart from 18:00.
    p.sessions[2] = {kWakeByTime, TimeOfDay(18, 0, 0), TimeOfDay(0, 30, 0), 4};
    p.sessions[3] = {kWakeNone, TimeOfDay(0, 0, 0), TimeOfDay(0, 0, 0), 0};

    p.inputs[0] = {1, 1, 1};
    p.inputs[1] = {0, 0, 0};

    p.powerTimes = {{{120, 60}, {30, 0}, {120, 60}, {0, 0}}};

    auto time = [&p](int session, int output, int number, int delay, int duration, int interval) {
        SessionOutputTimings &t = p.outputTimings[size_t(session)];
        const size_t o = size_t(output - 1);
        t.number[o] = number;
        t.delay[o] = delay;
        t.duration[o] = duration;
        t.interval[o] = interval;
    };
    // Output 1 fires the camera once per photo; output 2 lights the scene for the session.
    time(0, 1, 12, 5, 2, 600);
    time(0, 2, 1, 0, 110, 0);
    time(1, 1, 5, 1, 2, 30);
    time(2, 1, 4, 5, 2, 1800);
    time(2, 2, 1, 0, 110, 0);
    return p;
}

CSimulatedBoard::Programme CSimulatedBoard::GetProgramme() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_programme;
}

void CSimulatedBoard::SetProgramme(const Programme &programme)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_programme = programme;
}

QDateTime CSimulatedBoard::Clock() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ClockNow();
}

void CSimulatedBoard::SetClock(const QDateTime &now, bool running)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clockBase = now;
    m_clockSetAt = SteadyClock::now();
    m_clockRunning = running;
}

QDateTime CSimulatedBoard::ClockNow() const
{
    if (!m_clockRunning)
        return m_clockBase;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - m_clockSetAt);
    return m_clockBase.addSecs(elapsed.count());
}

void CSimulatedBoard::SetAnalogInput(int channel, const QString &reading)
{
    if (channel < 1 || channel > kAnalogChannels)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_analog[size_t(channel - 1)] = reading;
}

void CSimulatedBoard::SetDigitalInput(int channel, const QString &reading)
{
    if (channel < 1 || channel > kDigitalChannels)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_digital[size_t(channel - 1)] = reading;
}

void CSimulatedBoard::SetPacing(bool paced)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paced = paced;
}

void CSimulatedBoard::SetFault(Fault fault, const QByteArray &commandPrefix, int afterMatches)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rules.append({fault, commandPrefix, afterMatches, 0});
        if (fault == Fault::Babble && commandPrefix.isEmpty() && afterMatches <= 0)
            m_babbling = true;
    }
    Wake();
}

void CSimulatedBoard::ClearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.clear();
    m_babbling = false;
}

QVector<CSimulatedBoard::ReceivedLine> CSimulatedBoard::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

QByteArrayList CSimulatedBoard::ReceivedLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArrayList lines;
    for (const ReceivedLine &line : m_received)
        lines << line.bytes;
    return lines;
}

void CSimulatedBoard::ClearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
    m_sentBytes = 0;
}

void CSimulatedBoard::Inject(const QByteArray &bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_injected += bytes;
    }
    Wake();
}

qint64 CSimulatedBoard::SentBytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sentBytes;
}

void CSimulatedBoard::ReplyToNextCommand(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nextReply = bytes;
}

void CSimulatedBoard::QueueInjected()
{
    QByteArray bytes;
    bool paced;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bytes.swap(m_injected);
        paced = m_paced;
    }
    if (!bytes.isEmpty())
        Enqueue(bytes, SteadyClock::now(), paced);
}

bool CSimulatedBoard::WaitForReceived(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_receivedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return m_received.size() >= count; });
}

void CSimulatedBoard::Run()
{
    while (!m_stop && !m_hangUpRequested) {
        SteadyClock::time_point nextDue;
        bool waitWritable = false;
        bool timed;
        QueueInjected();
        QueueBabble();
        do {
            timed = WriteDue(&nextDue, &waitWritable);
        } while (!waitWritable && m_out.empty() && QueueBabble());

        pollfd fds[2] = {{m_master, short(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
                         {m_wakeFd, POLLIN, 0}};
        timespec timeout{};
        if (timed) {
            const auto wait = std::max(nextDue - SteadyClock::now(), SteadyClock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = time_t(ns / kNanosPerSecond);
            timeout.tv_nsec = long(ns % kNanosPerSecond);
        }
        if (::ppoll(fds, 2, timed ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN) {
            quint64 count;
            if (::read(m_wakeFd, &count, sizeof count) < 0 && errno != EAGAIN)
                break;
        }
        if ((fds[0].revents & POLLIN) && !ReadCommands())
            return; // the board hung up and closed its line
        if (fds[0].revents & POLLNVAL)
            break;
    }
    m_running = false;
}

bool CSimulatedBoard::QueueBabble()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_babbling)
            return false;
    }
    // One junk line queued at a time, so the chatter stops soon after the rule is cleared.
    if (!m_out.empty())
        return false;
    const QByteArray line = QByteArray("*babble ") +
                            QByteArray::number(++m_babbleCount).rightJustified(6, '0') + " OK\r\n";
    Enqueue(line, SteadyClock::now(), true);
    return true;
}

bool CSimulatedBoard::ReadCommands()
{
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            // The line is dead; the board goes as on a hang-up.
            CloseLine();
            return false;
        }
        if (n <= 0)
            return true;
        m_pending.append(buffer, int(n));
        for (int end = m_pending.indexOf(kCommandEnd); end >= 0;
             end = m_pending.indexOf(kCommandEnd)) {
            const QByteArray line = m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
            if (!Serve(line))
                return false;
        }
        if (m_pending.size() > kMaxCommandBytes)
            m_pending.clear();
    }
}

bool CSimulatedBoard::Serve(const QByteArray &line)
{
    const auto now = SteadyClock::now();
    QByteArray echo;
    QByteArray reply;
    bool paced = false;
    Fault fault = Fault::None;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(
            {line,
             std::chrono::duration_cast<std::chrono::milliseconds>(now - m_startedAt).count()});
        m_receivedChanged.notify_all();
        if (m_babbling)
            return true;
        if (!m_nextReply.isEmpty()) {
            reply.swap(m_nextReply);
            paced = m_paced;
        } else {
            fault = TakeFault(line);
            if (fault == Fault::Silent)
                return true;
            if (fault != Fault::HangUp) {
                paced = m_paced;
                if (m_echo)
                    echo = line;
                if (fault == Fault::Babble) {
                    m_babbling = true;
                } else {
                    const Reply normal = Answer(line.chopped(1));
                    reply = Misbehave(fault, normal);
                }
            }
        }
    }
    if (fault == Fault::HangUp) {
        CloseLine();
        return false;
    }
    if (!echo.isEmpty())
        Enqueue(echo, now, paced);
    if (!reply.isEmpty())
        Enqueue(reply, fault == Fault::Late ? now + kLateDelay : now, paced);
    return true;
}

CSimulatedBoard::Reply CSimulatedBoard::Answer(const QByteArray &command)
{
    if (!command.startsWith(kCommandPrefix))
        return Reply::Error();
    const QByteArray body = command.mid(int(sizeof kCommandPrefix) - 1);
    if (body.isEmpty())
        return Reply(); // the handshake
    if (body.endsWith(kQuerySuffix))
        return Query(body.chopped(int(sizeof kQuerySuffix) - 1));
    if (body == "VERSION") {
        Reply r;
        r.header = kDataLineStart + body + '=';
        r.lines.append(QByteArrayList{m_version.toLatin1()});
        return r;
    }
    if (body == "RESETWAKE")
        return Reply();

    const int equals = body.indexOf('=');
    if (equals < 0)
        return Reply::Error();
    const QByteArray name = body.left(equals);
    const QByteArray value = body.mid(equals + 1);
    if (name == "INPUTA" || name == "INPUTL")
        return Reading(name, value);
    if (name == "ECHO") {
        if (value != "0" && value != "1")
            return Reply::Error();
        m_echo = value == "1";
        return Reply();
    }
    return Apply(name, value.split(kFieldSeparator)) ? Reply() : Reply::Error();
}

CSimulatedBoard::Reply CSimulatedBoard::Query(const QByteArray &name) const
{
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(m_type);
    const Programme &p = m_programme;
    Reply r;
    r.header = kDataLineStart + name + '=';

    if (name == "OUTPUT" && caps.outputs > 0) {
        QByteArrayList line;
        for (int n = 1; n <= caps.outputs; ++n)
            line << Number(n) << Number(p.outputModes[size_t(n - 1)]);
        r.lines.append(line);
    } else if (name == "POWER" && caps.powers > 0) {
        QByteArrayList line;
        for (int rail = 1; rail <= caps.powers; ++rail)
            line << Number(rail) << Number(p.powerModes[size_t(rail - 1)]);
        r.lines.append(line);
    } else if (name == "WAKE") {
        QByteArrayList line;
        for (int j = 0; j < kSessionCount; ++j) {
            const WakeSession &s = p.sessions[size_t(j)];
            line << Number(j) << Number(s.mode) << FormatTime(s.start) << FormatTime(s.interval)
                 << Number(s.repeat);
        }
        r.lines.append(line);
    } else if (name == "COUTPUT" && caps.outputs > 0) {
        // One line per output, so the tool has to join the fields of several lines.
        for (int n = 1; n <= caps.outputs; ++n) {
            QByteArrayList line;
            for (int j = 0; j < kSessionCount; ++j) {
                const SessionOutputTimings &t = p.outputTimings[size_t(j)];
                const size_t o = size_t(n - 1);
                line << Number(n) << Number(j) << Number(t.number[o]) << Number(t.delay[o])
                     << Number(t.duration[o]) << Number(t.interval[o]);
            }
            r.lines.append(line);
        }
    } else if (name == "CPOWER" && caps.powers > 0) {
        for (int rail = 1; rail <= caps.powers; ++rail) {
            QByteArrayList line;
            for (int j = 0; j < kSessionCount; ++j)
                line << Number(rail) << Number(j)
                     << Number(p.powerTimes[size_t(j)][size_t(rail - 1)]);
            r.lines.append(line);
        }
    } else if (name == "CINPUT" && caps.inputs > 0) {
        QByteArrayList line;
        for (int i = 1; i <= caps.inputs; ++i) {
            const InputTrigger &in = p.inputs[size_t(i - 1)];
            line << Number(i) << Number(in.session) << Number(in.detection) << Number(in.enabled);
        }
        r.lines.append(line);
    } else if (name == "TIME") {
        r.lines.append(QByteArrayList{ClockNow().toString(QLatin1String(kTimeFormat)).toLatin1()});
    } else if (name == "DATE") {
        r.lines.append(QByteArrayList{ClockNow().toString(QLatin1String(kDateFormat)).toLatin1()});
    } else if (name == "BATTERY") {
        r.lines.append(QByteArrayList{Number(p.battery[0]), Number(p.battery[1])});
    } else {
        return Reply::Error();
    }
    return r;
}

CSimulatedBoard::Reply CSimulatedBoard::Reading(const QByteArray &name,
                                                const QByteArray &channel) const
{
    const bool analog = name == "INPUTA";
    const int channels = analog ? kAnalogChannels : kDigitalChannels;
    if (channel.size() != 1 || channel[0] < '1' || channel[0] > '0' + channels)
        return Reply::Error();
    const size_t index = size_t(channel[0] - '1');
    Reply r;
    r.header = kDataLineStart + name + '=' + channel + kFieldSeparator;
    r.lines.append(QByteArrayList{(analog ? m_analog[index] : m_digital[index]).toLatin1()});
    return r;
}

bool CSimulatedBoard::Apply(const QByteArray &name, const QList<QByteArray> &args)
{
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(m_type);
    bool valid = true;
    auto integer = [&](int i) {
        bool ok = false;
        const int value = args[i].toInt(&ok, 10);
        valid = valid && ok;
        return value;
    };
    auto index = [&](int i, int first, int last) {
        const int value = integer(i);
        valid = valid && value >= first && value <= last;
        return size_t(value - first);
    };
    Programme &p = m_programme;

    if (name == "OUTPUT" && args.size() == 2) {
        const size_t n = index(0, 1, caps.outputs);
        const int mode = integer(1);
        if (valid)
            p.outputModes[n] = mode;
    } else if (name == "POWER" && args.size() == 2) {
        const size_t rail = index(0, 1, caps.powers);
        const int mode = integer(1);
        if (valid)
            p.powerModes[rail] = mode;
    } else if (name == "WAKE" && args.size() == 5) {
        WakeSession s;
        const size_t j = index(0, 0, kSessionCount - 1);
        s.mode = integer(1);
        valid = valid && ParseTime(args[2], &s.start) && ParseTime(args[3], &s.interval);
        s.repeat = integer(4);
        if (valid)
            p.sessions[j] = s;
    } else if (name == "COUTPUT" && args.size() == 6) {
        const size_t n = index(0, 1, caps.outputs);
        const size_t j = index(1, 0, kSessionCount - 1);
        const int number = integer(2), delay = integer(3), duration = integer(4);
        const int interval = integer(5);
        if (valid) {
            SessionOutputTimings &t = p.outputTimings[j];
            t.number[n] = number, t.delay[n] = delay, t.duration[n] = duration;
            t.interval[n] = interval;
        }
    } else if (name == "CPOWER" && args.size() == 3) {
        const size_t rail = index(0, 1, caps.powers);
        const size_t j = index(1, 0, kSessionCount - 1);
        const int time = integer(2);
        if (valid)
            p.powerTimes[j][rail] = time;
    } else if (name == "CINPUT" && args.size() == 4) {
        const size_t i = index(0, 1, caps.inputs);
        InputTrigger in;
        in.session = integer(1);
        in.detection = integer(2);
        in.enabled = integer(3);
        if (valid)
            p.inputs[i] = in;
    } else if (name == "BATTERY" && args.size() == 2) {
        const int low = integer(0), high = integer(1);
        if (valid)
            p.battery = {low, high};
    } else if (name == "TIME" && args.size() == 1) {
        const QTime time =
            QTime::fromString(QString::fromLatin1(args[0]), QLatin1String(kTimeFormat));
        valid = time.isValid();
        if (valid) {
            m_clockBase = QDateTime(ClockNow().date(), time);
            m_clockSetAt = SteadyClock::now();
        }
    } else if (name == "DATE" && args.size() == 1) {
        const QDate date =
            QDate::fromString(QString::fromLatin1(args[0]), QLatin1String(kDateFormat));
        valid = date.isValid();
        if (valid) {
            m_clockBase = QDateTime(date, ClockNow().time());
            m_clockSetAt = SteadyClock::now();
        }
    } else {
        valid = false;
    }
    return valid;
}

CSimulatedBoard::Fault CSimulatedBoard::TakeFault(const QByteArray &line)
{
    Fault chosen = Fault::None;
    bool decided = false; // a due None rule shields the command from the rules after it
    for (FaultRule &rule : m_rules) {
        if (!line.startsWith(rule.prefix))
            continue;
        if (rule.matched < rule.afterMatches) {
            ++rule.matched;
        } else if (!decided) {
            chosen = rule.fault;
            decided = true;
        }
    }
    return chosen;
}

QByteArray CSimulatedBoard::Misbehave(Fault fault, const Reply &normal)
{
    switch (fault) {
    case Fault::TooFewFields: {
        Reply r = normal;
        if (!r.lines.isEmpty()) {
            r.lines.last().removeLast();
            if (r.lines.last().isEmpty())
                r.lines.removeLast();
        }
        return r.Bytes();
    }
    case Fault::TooManyFields: {
        Reply r = normal;
        if (!r.lines.isEmpty())
            r.lines.last().append("0");
        return r.Bytes();
    }
    case Fault::NoOk:
        return normal.DataLines();
    case Fault::Garbage: {
        std::uniform_int_distribution<int> pick(0, int(sizeof kGarbageAlphabet) - 2);
        QByteArray junk;
        for (int i = 0; i < kGarbageBytes; ++i)
            junk += kGarbageAlphabet[pick(m_noise)];
        return junk + "\r\n";
    }
    case Fault::Binary: {
        std::uniform_int_distribution<int> byte(0, 255);
        QByteArray noise;
        for (int i = 0; i < kBinaryBytes; ++i)
            noise += char(i % kBinaryNulEvery == 0 ? 0 : byte(m_noise));
        return noise + kOk;
    }
    case Fault::OverlongLine: {
        QByteArray line = normal.header.isEmpty() ? QByteArray(1, kDataLineStart) : normal.header;
        while (line.size() < kOverlongLineBytes)
            line += "0,";
        return line + '0' + kDataLineEnd + kOk;
    }
    default:
        return normal.Bytes();
    }
}

void CSimulatedBoard::Enqueue(const QByteArray &bytes, SteadyClock::time_point notBefore,
                              bool paced)
{
    SteadyClock::time_point start = notBefore;
    if (paced) {
        // Back to back with what the line still carries: the schedule is absolute, so the
        // pace does not drift however late the thread wakes.
        start = std::max(notBefore, m_lineFreeAt);
        m_lineFreeAt = start + LineTime(bytes.size());
    }
    m_out.push_back({bytes, start, paced, 0});
}

bool CSimulatedBoard::WriteDue(SteadyClock::time_point *nextDue, bool *waitWritable)
{
    const auto now = SteadyClock::now();
    while (!m_out.empty()) {
        Chunk &chunk = m_out.front();
        const int size = chunk.bytes.size();
        int due = 0;
        if (now >= chunk.start)
            due = chunk.paced ? int(std::min<qint64>(size, BytesCarried(now - chunk.start))) : size;
        if (due > chunk.written) {
            const ssize_t n = ::write(m_master, chunk.bytes.constData() + chunk.written,
                                      size_t(due - chunk.written));
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                m_out.clear();
                return false;
            }
            chunk.written += int(std::max<ssize_t>(n, 0));
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_sentBytes += std::max<ssize_t>(n, 0);
            }
            if (chunk.written < due) {
                // The pty is full until the far side reads.
                *waitWritable = true;
                return false;
            }
        }
        if (chunk.written == size) {
            m_out.pop_front();
            continue;
        }
        *nextDue = chunk.paced ? chunk.start + LineTime(chunk.written + 1) : chunk.start;
        return true;
    }
    return false;
}

void CSimulatedBoard::Wake()
{
    if (m_wakeFd < 0)
        return;
    const quint64 one = 1;
    // Fails only when the counter is saturated, and then the thread wakes anyway.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

// The slave side stays open until the board is destroyed: its device node goes with the master,
// but the pseudo-terminal's number cannot be handed to another program's new board while a test
// may still scan the old name.
void CSimulatedBoard::CloseLine()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_out.clear();
    m_running = false;
}
