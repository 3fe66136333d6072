#pragma once

#include "device/BoardRecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns the text of a board's reply into fields, and the fields of each query into programme
// records. No input or output: the link runs the transactions, this only reads their text.
class CReplyParser
{
public:
    // Fields each query's reply must hold, per item or in all.
    static constexpr int kFieldsPerOutputMode = 2; // output, mode
    static constexpr int kFieldsPerPowerMode = 2;  // rail, mode
    static constexpr int kFieldsPerSession = 5;    // session, mode, start, interval, repeat
    static constexpr int kSessionFields = kFieldsPerSession * kSessionCount;
    static constexpr int kFieldsPerOutputTiming = 6; // output, session, 4 values
    static constexpr int kFieldsPerOutputTimings = kFieldsPerOutputTiming * kSessionCount;
    static constexpr int kFieldsPerPowerTime = 3; // rail, session, time
    static constexpr int kFieldsPerRailTimes = kFieldsPerPowerTime * kSessionCount;
    static constexpr int kFieldsPerInput = 4; // input, session, detection, enabled
    static constexpr int kBatteryFields = 2;  // low, high

    // A reply counts as a success when its bytes hold "OK" anywhere, a field's text included.
    static bool IsSuccess(const QByteArray &reply);

    // Appends the fields of every data line of the text: "+", `header` characters in all from
    // the "+" on, fields separated by commas, one more character, CR. True when at least one
    // data line ended in a CR; a line without one still gives its comma-ended fields.
    static bool SplitFields(const QString &text, int header, QStringList *fields);

    // Each takes exactly the fields its query requires for the item count, and stores the
    // value fields; index fields are not examined. A field that is not a decimal integer
    // stores 0, a time that is not a quoted "hh:mm:ss" a null time.
    static void StoreOutputModes(const QStringList &fields, int outputs, OutputModes *modes);
    static void StorePowerModes(const QStringList &fields, int powers, PowerModes *modes);
    static void StoreSessions(const QStringList &fields, WakeSessions *sessions);
    static void StoreOutputTimings(const QStringList &fields, int outputs,
                                   AllOutputTimings *timings);
    static void StorePowerTimes(const QStringList &fields, int powers, AllPowerTimes *times);
    static void StoreInputs(const QStringList &fields, int inputs, InputTriggers *triggers);
    static void StoreBattery(const QStringList &fields, BatteryThresholds *pair);

    // The quoted time of day of the wire, e.g. "07:30:00" with its double quotes.
    static const QString &TimeFormat();
};
