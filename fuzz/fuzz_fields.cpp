// Fuzzes every query's conversion of reply fields into the programme: the input, split at
// commas, is repeated to the field count each query requires for each item count.

#include "device/ReplyParser.h"

#include <QByteArray>
#include <QStringList>

namespace {
QStringList Fields(const QStringList &source, int count)
{
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << source[i % source.size()];
    return fields;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList source =
        QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)).split(QLatin1Char(','));

    OutputModes outputModes{};
    PowerModes powerModes{};
    WakeSessions sessions{};
    AllOutputTimings timings{};
    AllPowerTimes times{};
    InputTriggers inputs{};
    BatteryThresholds battery{};

    CReplyParser::StoreSessions(Fields(source, CReplyParser::kSessionFields), &sessions);
    CReplyParser::StoreBattery(Fields(source, CReplyParser::kBatteryFields), &battery);
    for (int n = 0; n <= kMaxOutputs; ++n) {
        CReplyParser::StoreOutputModes(Fields(source, CReplyParser::kFieldsPerOutputMode * n), n,
                                       &outputModes);
        CReplyParser::StoreOutputTimings(Fields(source, CReplyParser::kFieldsPerOutputTimings * n),
                                         n, &timings);
    }
    for (int n = 0; n <= kMaxPowers; ++n) {
        CReplyParser::StorePowerModes(Fields(source, CReplyParser::kFieldsPerPowerMode * n), n,
                                      &powerModes);
        CReplyParser::StorePowerTimes(Fields(source, CReplyParser::kFieldsPerRailTimes * n), n,
                                      &times);
    }
    for (int n = 0; n <= kMaxInputs; ++n)
        CReplyParser::StoreInputs(Fields(source, CReplyParser::kFieldsPerInput * n), n, &inputs);

    // The time fields go back onto the wire: they must format as a quoted time or as nothing.
    for (const WakeSession &s : sessions) {
        const QString start = s.start.toString(CReplyParser::TimeFormat());
        if (!start.isEmpty() && start.size() != 10)
            __builtin_trap();
    }
    return 0;
}
