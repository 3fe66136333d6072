#pragma once

#include "device/BoardRecords.h"

#include <QString>

// The output and power programme that an INI file can carry.
struct IniProgramme
{
    OutputModes outputModes{};
    PowerModes powerModes{};
    AllOutputTimings outputTimings{};
    AllPowerTimes powerTimes{};
};

// Reads an output and power programme from an INI file: group OUTPUT (keys Output1..6),
// ACTION_OUT<n>_WAKE<s> (timeout_start, duration, interval, number), POWER (Power1..2) and
// ACTION_POWER_WAKE<s> (Power1..2); sessions count from 1 in the file. Missing, empty and
// non-numeric values read as 0.
class CIniImport
{
public:
    // One of an output's timings in a session: its key name and the values it fills.
    struct TimingKey
    {
        const char *name;
        std::array<qint32, kMaxOutputs> SessionOutputTimings::*values;
    };
    // An output's timing keys in a session, in the order programme files write them.
    static constexpr std::array<TimingKey, 4> kTimingKeys{{
        {"timeout_start", &SessionOutputTimings::delay},
        {"duration", &SessionOutputTimings::duration},
        {"interval", &SessionOutputTimings::interval},
        {"number", &SessionOutputTimings::number},
    }};

    // The key paths, outputs, rails and sessions counted from 1; the programme files write
    // them too, so that a saved programme imports as it is.
    static QString OutputModeKey(int output);
    static QString OutputTimingKey(int output, int session, const TimingKey &timing);
    static QString PowerModeKey(int rail);
    static QString PowerTimeKey(int session, int rail);

    // False for a file that does not exist, cannot be read, is malformed, or holds none of the
    // programme's keys (some other file picked by mistake); *programme is then untouched.
    static bool Read(const QString &path, IniProgramme *programme);
};
