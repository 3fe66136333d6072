#include "device/SettingLines.h"

#include "device/ReplyParser.h"

#include <QLocale>
#include <algorithm>
#include <initializer_list>

namespace {

QByteArray Number(qint32 value)
{
    return QByteArray::number(value, 10);
}

// Digits of the C locale: Qt 5 formats a time in the user's, with Arabic-Indic digits for some.
QByteArray TimeField(const QDateTime &time)
{
    return QLocale::c().toString(time, CReplyParser::TimeFormat()).toUtf8(); // empty when null
}

// "ADV#" name "=" fields joined by commas, CR.
QByteArray Text(const char *name, std::initializer_list<QByteArray> fields)
{
    QByteArray line = CSettingLines::kCommandPrefix;
    line += name;
    line += '=';
    bool first = true;
    for (const QByteArray &field : fields) {
        if (!first)
            line += ',';
        line += field;
        first = false;
    }
    line += '\r';
    return line;
}

// One line per output or rail n = 1 .. count: n, then its mode.
CSettingLines::Lines Modes(CSettingLines::Setting setting, const char *name, int count,
                           const qint32 *modes)
{
    CSettingLines::Lines lines;
    for (int n = 1; n <= count; ++n)
        lines.append({setting, Text(name, {Number(n), Number(modes[n - 1])})});
    return lines;
}

} // namespace

CSettingLines::CSettingLines(const BoardType::Capabilities &counts)
    : m_outputs(std::clamp(counts.outputs, 0, kMaxOutputs)),
      m_inputs(std::clamp(counts.inputs, 0, kMaxInputs)),
      m_powers(std::clamp(counts.powers, 0, kMaxPowers))
{
}

CSettingLines::Lines CSettingLines::Output(const OutputModes &modes) const
{
    return Modes(Setting::Output, "OUTPUT", m_outputs, modes.data());
}

CSettingLines::Lines CSettingLines::Power(const PowerModes &modes) const
{
    return Modes(Setting::Power, "POWER", m_powers, modes.data());
}

CSettingLines::Lines CSettingLines::Wake(const WakeSessions &sessions) const
{
    Lines lines;
    for (int j = 0; j < kSessionCount; ++j) {
        const WakeSession &s = sessions[size_t(j)];
        lines.append({Setting::Wake, Text("WAKE", {Number(j), Number(s.mode), TimeField(s.start),
                                                   TimeField(s.interval), Number(s.repeat)})});
    }
    return lines;
}

CSettingLines::Lines CSettingLines::COutput(const AllOutputTimings &timings) const
{
    Lines lines;
    for (int n = 1; n <= m_outputs; ++n) {
        const size_t o = size_t(n - 1);
        for (int j = 0; j < kSessionCount; ++j) {
            const SessionOutputTimings &t = timings[size_t(j)];
            lines.append(
                {Setting::COutput,
                 Text("COUTPUT", {Number(n), Number(j), Number(t.number[o]), Number(t.delay[o]),
                                  Number(t.duration[o]), Number(t.interval[o])})});
        }
    }
    return lines;
}

CSettingLines::Lines CSettingLines::CPower(const AllPowerTimes &times) const
{
    Lines lines;
    for (int r = 1; r <= m_powers; ++r) {
        for (int j = 0; j < kSessionCount; ++j) {
            lines.append(
                {Setting::CPower,
                 Text("CPOWER", {Number(r), Number(j), Number(times[size_t(j)][size_t(r - 1)])})});
        }
    }
    return lines;
}

CSettingLines::Lines CSettingLines::CInput(const InputTriggers &inputs) const
{
    Lines lines;
    for (int i = 1; i <= m_inputs; ++i) {
        const InputTrigger &in = inputs[size_t(i - 1)];
        lines.append({Setting::CInput, Text("CINPUT", {Number(i), Number(in.session),
                                                       Number(in.detection), Number(in.enabled)})});
    }
    return lines;
}

CSettingLines::Line CSettingLines::Time(const QString &text)
{
    return {Setting::Time, Text("TIME", {text.toUtf8()})};
}

CSettingLines::Line CSettingLines::Date(const QString &text)
{
    return {Setting::Date, Text("DATE", {text.toUtf8()})};
}

CSettingLines::Line CSettingLines::Battery(const BatteryThresholds &pair)
{
    return {Setting::Battery, Text("BATTERY", {Number(pair[0]), Number(pair[1])})};
}

CSettingLines::Lines CSettingLines::Programme(const BoardProgramme &programme) const
{
    return Power(programme.powerModes) + CPower(programme.powerTimes) +
           Output(programme.outputModes) + COutput(programme.outputTimings) +
           Wake(programme.sessions) + CInput(programme.inputs);
}

// Both write-outs have the same lines for the same items, so line i of one carries the item of
// line i of the other: an item differs exactly when its line's text does.
CSettingLines::Lines CSettingLines::Differing(const BoardProgramme &held,
                                              const BoardProgramme &wanted) const
{
    const Lines before = Programme(held);
    const Lines after = Programme(wanted);
    Lines differing;
    for (int i = 0; i < after.size(); ++i) {
        if (after[i].text != before[i].text)
            differing.append(after[i]);
    }
    return differing;
}
