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
    // False for a file that does not exist, cannot be read, is malformed, or holds none of the
    // programme's keys (some other file picked by mistake); *programme is then untouched.
    static bool Read(const QString &path, IniProgramme *programme);
};
