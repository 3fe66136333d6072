#pragma once

#include <QDateTime>
#include <array>

// The programme records shared by the link, the settings model and the pages.

constexpr int kSessionCount = 4;
constexpr int kMaxOutputs = 6;
constexpr int kMaxInputs = 2;
constexpr int kMaxPowers = 2;

// Trigger modes of a photo session.
constexpr int kWakeNone = 0;
constexpr int kWakeByTime = 1;
constexpr int kWakeByInput = 2;

// One photo session's wake-up trigger; start and interval are times of day.
struct WakeSession
{
    qint32 mode = 0;
    QDateTime start;
    QDateTime interval;
    qint32 repeat = 0;
};

// One board input: its detection mode, whether it wakes a session, and which one (0 to 3).
struct InputTrigger
{
    qint32 detection = 0;
    qint32 enabled = 0;
    qint32 session = 0;
};

// Number, delay, duration and interval of the six outputs within one session;
// array index = output number - 1.
struct SessionOutputTimings
{
    std::array<qint32, kMaxOutputs> number{};
    std::array<qint32, kMaxOutputs> delay{};
    std::array<qint32, kMaxOutputs> duration{};
    std::array<qint32, kMaxOutputs> interval{};
};

using OutputModes = std::array<qint32, kMaxOutputs>;
using PowerModes = std::array<qint32, kMaxPowers>;
using BatteryThresholds = std::array<qint32, 2>;   // low, high, in millivolts
using PowerTimes = std::array<qint32, kMaxPowers>; // power 1, power 2, in seconds
using WakeSessions = std::array<WakeSession, kSessionCount>;
using InputTriggers = std::array<InputTrigger, kMaxInputs>;
using AllOutputTimings = std::array<SessionOutputTimings, kSessionCount>;
using AllPowerTimes = std::array<PowerTimes, kSessionCount>;

// A board's whole programme as programme files carry it: everything the setting lines write
// except the battery thresholds and the clock.
struct BoardProgramme
{
    WakeSessions sessions{};
    InputTriggers inputs{};
    OutputModes outputModes{};
    PowerModes powerModes{};
    AllOutputTimings outputTimings{};
    AllPowerTimes powerTimes{};
};
