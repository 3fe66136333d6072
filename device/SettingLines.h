#pragma once

#include "device/BoardRecords.h"
#include "device/BoardType.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The setting lines that write a programme to a board or a command file, encoded for given
// counts of outputs, inputs and power rails: "ADV#" name "=" fields joined by commas, CR.
class CSettingLines
{
public:
    static constexpr char kCommandPrefix[] = "ADV#";

    // The setting commands, one per kind of line.
    enum class Setting
    {
        Output,
        Power,
        Wake,
        COutput,
        CPower,
        CInput,
        Time,
        Date,
        Battery,
    };

    // One line and the command it belongs to.
    struct Line
    {
        Setting setting;
        QByteArray text; // with its CR
    };
    using Lines = QVector<Line>;

    // Counts beyond the records' arrays are cut to them.
    explicit CSettingLines(const BoardType::Capabilities &counts);

    // Lines of one setting command, in the order they are sent. COUTPUT and CPOWER run over the
    // outputs or rails outside and the four sessions inside; WAKE always has four lines.
    Lines Output(const OutputModes &modes) const;
    Lines Power(const PowerModes &modes) const;
    Lines Wake(const WakeSessions &sessions) const;
    Lines COutput(const AllOutputTimings &timings) const;
    Lines CPower(const AllPowerTimes &times) const;
    Lines CInput(const InputTriggers &inputs) const;
    static Line Time(const QString &text);
    static Line Date(const QString &text);
    static Line Battery(const BatteryThresholds &pair);

    // The whole write-out: POWER, CPOWER, OUTPUT, COUTPUT, WAKE, then CINPUT lines, the order of
    // lines in a command file.
    Lines Programme(const BoardProgramme &programme) const;
    // The lines of `wanted`'s write-out whose text differs from `held`'s, in write-out order:
    // what brings a board that holds `held` to `wanted`.
    Lines Differing(const BoardProgramme &held, const BoardProgramme &wanted) const;

private:
    int m_outputs;
    int m_inputs;
    int m_powers;
};
