#include "device/ReplyParser.h"

#include <algorithm>

namespace {
constexpr char kSuccess[] = "OK";

qint32 ToInt(const QString &field)
{
    return field.toInt(nullptr, 10); // 0 for anything that is not a 32-bit decimal integer
}

QDateTime ToTime(const QString &field)
{
    return QDateTime::fromString(field, CReplyParser::TimeFormat());
}
} // namespace

const QString &CReplyParser::TimeFormat()
{
    static const QString format = QStringLiteral("\"hh:mm:ss\"");
    return format;
}

bool CReplyParser::IsSuccess(const QByteArray &reply)
{
    return reply.contains(kSuccess);
}

bool CReplyParser::SplitFields(const QString &text, int header, QStringList *fields)
{
    // At least the "+" goes, so the parse always advances.
    header = std::max(1, header);
    bool result = false;
    int pos = 0;
    for (;;) {
        const int plus = text.indexOf(QLatin1Char('+'), pos);
        if (plus < 0)
            break;
        pos = std::min(int(text.size()), plus + header);
        const int cr = text.indexOf(QLatin1Char('\r'), pos);
        // The character before the CR is not data; a CR right after the header ends an empty
        // field.
        const int end = cr >= 0 ? std::max(pos, cr - 1) : int(text.size());
        for (int comma = text.indexOf(QLatin1Char(','), pos); comma >= 0 && comma < end;
             comma = text.indexOf(QLatin1Char(','), pos)) {
            fields->append(text.mid(pos, comma - pos));
            pos = comma + 1;
        }
        if (cr >= 0) {
            fields->append(text.mid(pos, end - pos));
            pos = cr + 1;
            result = true;
        }
    }
    return result;
}

void CReplyParser::StoreOutputModes(const QStringList &fields, int outputs, OutputModes *modes)
{
    for (int i = 0; i < std::min(outputs, kMaxOutputs); ++i)
        (*modes)[size_t(i)] = ToInt(fields[kFieldsPerOutputMode * i + 1]);
}

void CReplyParser::StorePowerModes(const QStringList &fields, int powers, PowerModes *modes)
{
    for (int i = 0; i < std::min(powers, kMaxPowers); ++i)
        (*modes)[size_t(i)] = ToInt(fields[kFieldsPerPowerMode * i + 1]);
}

void CReplyParser::StoreSessions(const QStringList &fields, WakeSessions *sessions)
{
    for (int j = 0; j < kSessionCount; ++j) {
        WakeSession &session = (*sessions)[size_t(j)];
        const int base = kFieldsPerSession * j;
        session.mode = ToInt(fields[base + 1]);
        session.start = ToTime(fields[base + 2]);
        session.interval = ToTime(fields[base + 3]);
        session.repeat = ToInt(fields[base + 4]);
    }
}

// All sessions of output 1 come first, then those of output 2, and so on.
void CReplyParser::StoreOutputTimings(const QStringList &fields, int outputs,
                                      AllOutputTimings *timings)
{
    for (int o = 0; o < std::min(outputs, kMaxOutputs); ++o) {
        for (int j = 0; j < kSessionCount; ++j) {
            SessionOutputTimings &t = (*timings)[size_t(j)];
            const int base = kFieldsPerOutputTimings * o + kFieldsPerOutputTiming * j;
            t.number[size_t(o)] = ToInt(fields[base + 2]);
            t.delay[size_t(o)] = ToInt(fields[base + 3]);
            t.duration[size_t(o)] = ToInt(fields[base + 4]);
            t.interval[size_t(o)] = ToInt(fields[base + 5]);
        }
    }
}

// All sessions of rail 1 come first, then all sessions of rail 2.
void CReplyParser::StorePowerTimes(const QStringList &fields, int powers, AllPowerTimes *times)
{
    for (int r = 0; r < std::min(powers, kMaxPowers); ++r) {
        for (int j = 0; j < kSessionCount; ++j)
            (*times)[size_t(j)][size_t(r)] =
                ToInt(fields[kFieldsPerRailTimes * r + kFieldsPerPowerTime * j + 2]);
    }
}

void CReplyParser::StoreInputs(const QStringList &fields, int inputs, InputTriggers *triggers)
{
    for (int i = 0; i < std::min(inputs, kMaxInputs); ++i) {
        InputTrigger &input = (*triggers)[size_t(i)];
        const int base = kFieldsPerInput * i;
        input.session = ToInt(fields[base + 1]);
        input.detection = ToInt(fields[base + 2]);
        input.enabled = ToInt(fields[base + 3]);
    }
}

void CReplyParser::StoreBattery(const QStringList &fields, BatteryThresholds *pair)
{
    (*pair)[0] = ToInt(fields[0]);
    (*pair)[1] = ToInt(fields[1]);
}
