#include "sim/BoardFirmware.h"

#include <QByteArrayList>
#include <QLocale>

namespace {

// Wire format.
constexpr char kCommandPrefix[] = "ADV#";
constexpr char kQuerySuffix[] = "=?";
constexpr char kDataLineStart = CBoardReply::kDataLineStart;
constexpr char kFieldSeparator = CBoardReply::kFieldSeparator;
constexpr char kTimeFormat[] = "\"hh:mm:ss\"";
constexpr char kDateFormat[] = "\"dd/MM/yyyy\"";

constexpr auto kLateDelay = std::chrono::milliseconds(1500);

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

// A time of day as the wire's times parse: on 1900-01-01.
QDateTime TimeOfDay(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

// A board writes ASCII digits, whatever the locale of the program it runs in.
QByteArray Formatted(const QDateTime &time, const char *format)
{
    return QLocale::c().toString(time, QLatin1String(format)).toLatin1();
}

QByteArray FormatTime(const QDateTime &time)
{
    return Formatted(time, kTimeFormat);
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

CBoardFirmware::CBoardFirmware(int type)
    : m_type(type), m_version(DefaultVersion(type)), m_programme(DefaultProgramme()),
      m_clockBase(QDateTime::currentDateTime()),
      m_clockSetAt(SteadyClock::now()), m_analog{QStringLiteral("1.25"), QStringLiteral("0.48"),
                                                 QStringLiteral("3.30"), QStringLiteral("25")},
      m_digital{QStringLiteral("0"), QStringLiteral("1")}
{
}

int CBoardFirmware::Type() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_type;
}

void CBoardFirmware::SetType(int type)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_type = type;
    m_version = DefaultVersion(type);
}

QString CBoardFirmware::Version() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_version;
}

void CBoardFirmware::SetVersion(const QString &field)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_version = field;
}

CBoardFirmware::Programme CBoardFirmware::DefaultProgramme()
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

CBoardFirmware::Programme CBoardFirmware::GetProgramme() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_programme;
}

void CBoardFirmware::SetProgramme(const Programme &programme)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_programme = programme;
}

QDateTime CBoardFirmware::Clock() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ClockNow();
}

void CBoardFirmware::SetClock(const QDateTime &now, bool running)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clockBase = now;
    m_clockSetAt = SteadyClock::now();
    m_clockRunning = running;
}

QDateTime CBoardFirmware::ClockNow() const
{
    if (!m_clockRunning)
        return m_clockBase;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - m_clockSetAt);
    return m_clockBase.addSecs(elapsed.count());
}

void CBoardFirmware::SetAnalogInput(int channel, const QString &reading)
{
    if (channel < 1 || channel > kAnalogChannels)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_analog[size_t(channel - 1)] = reading;
}

void CBoardFirmware::SetDigitalInput(int channel, const QString &reading)
{
    if (channel < 1 || channel > kDigitalChannels)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_digital[size_t(channel - 1)] = reading;
}

CBoardReply CBoardFirmware::Answer(const QByteArray &command)
{
    if (!command.startsWith(kCommandPrefix))
        return CBoardReply::Error();
    const QByteArray body = command.mid(int(sizeof kCommandPrefix) - 1);
    if (body.isEmpty())
        return CBoardReply(); // the handshake
    if (body.endsWith(kQuerySuffix))
        return Query(body.chopped(int(sizeof kQuerySuffix) - 1));
    if (body == "VERSION") {
        CBoardReply r;
        r.header = kDataLineStart + body + '=';
        r.lines.append(QByteArrayList{m_version.toLatin1()});
        return r;
    }
    if (body == "RESETWAKE")
        return CBoardReply();

    const int equals = body.indexOf('=');
    if (equals < 0)
        return CBoardReply::Error();
    const QByteArray name = body.left(equals);
    const QByteArray value = body.mid(equals + 1);
    if (name == "INPUTA" || name == "INPUTL")
        return Reading(name, value);
    if (name == "ECHO") {
        if (value != "0" && value != "1")
            return CBoardReply::Error();
        m_echo = value == "1";
        return CBoardReply();
    }
    return Apply(name, value.split(kFieldSeparator)) ? CBoardReply() : CBoardReply::Error();
}

CBoardReply CBoardFirmware::Query(const QByteArray &name) const
{
    const BoardType::Capabilities caps = BoardType::CapabilitiesOf(m_type);
    const Programme &p = m_programme;
    CBoardReply r;
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
        r.lines.append(QByteArrayList{Formatted(ClockNow(), kTimeFormat)});
    } else if (name == "DATE") {
        r.lines.append(QByteArrayList{Formatted(ClockNow(), kDateFormat)});
    } else if (name == "BATTERY") {
        r.lines.append(QByteArrayList{Number(p.battery[0]), Number(p.battery[1])});
    } else {
        return CBoardReply::Error();
    }
    return r;
}

CBoardReply CBoardFirmware::Reading(const QByteArray &name, const QByteArray &channel) const
{
    const bool analog = name == "INPUTA";
    const int channels = analog ? kAnalogChannels : kDigitalChannels;
    if (channel.size() != 1 || channel[0] < '1' || channel[0] > '0' + channels)
        return CBoardReply::Error();
    const size_t index = size_t(channel[0] - '1');
    CBoardReply r;
    r.header = kDataLineStart + name + '=' + channel + kFieldSeparator;
    r.lines.append(QByteArrayList{(analog ? m_analog[index] : m_digital[index]).toLatin1()});
    return r;
}

bool CBoardFirmware::Apply(const QByteArray &name, const QList<QByteArray> &args)
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

void CBoardFirmware::SetFault(Fault fault, const QByteArray &commandPrefix, int afterMatches)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Add(fault, commandPrefix, afterMatches);
}

void CBoardFirmware::ClearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.Clear();
}

void CBoardFirmware::ReplyToNextCommand(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nextReply = bytes;
}

CBoardFirmware::Response CBoardFirmware::Serve(const QByteArray &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Response response;
    if (m_faults.IsBabbling())
        return response;
    if (!m_nextReply.isEmpty()) {
        response.reply.swap(m_nextReply);
        return response;
    }
    const Fault fault = m_faults.Take(line);
    response.hangUp = fault == Fault::HangUp;
    if (fault == Fault::Silent || fault == Fault::HangUp)
        return response;
    if (m_echo)
        response.echo = line;
    if (fault == Fault::Babble)
        return response;
    response.reply = m_faults.Misbehave(fault, Answer(line.chopped(1)));
    if (fault == Fault::Late)
        response.delay = kLateDelay;
    return response;
}

QByteArray CBoardFirmware::BabbleLine()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults.BabbleLine();
}
