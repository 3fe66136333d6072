#pragma once

#include "device/BoardRecords.h"
#include "device/SettingLines.h"

#include <array>

// What a live board holds of its programme, as far as the tool knows: each of the six groups
// (output modes, power modes, sessions, output timings, power times, input triggers) known with
// its values, or unknown. Only the items of the board's type are kept; the others stay at their
// defaults, so that two boards holding the same programme give the same one here.
class CHeldProgramme
{
public:
    // A group is named by the setting command that writes it.
    using Group = CSettingLines::Setting;
    // The groups in the order the read-out asks for them.
    static constexpr std::array<Group, 6> kGroups{Group::Output,  Group::Power,  Group::Wake,
                                                  Group::COutput, Group::CPower, Group::CInput};

    // True for the six groups; false for the clock and the battery thresholds.
    static bool IsGroup(Group setting);

    // The board is of this type, as its version tells: another type than before makes every
    // group unknown. The type chosen for the model does not matter here.
    void SetBoardType(int type);
    int Type() const { return m_type; }
    // Every group unknown.
    void Forget();
    void Forget(Group group);
    // The board holds `from`'s values of this group.
    void Take(Group group, const BoardProgramme &from);

    bool IsKnown(Group group) const;
    // The known groups' values; an unknown group's are left from before.
    const BoardProgramme &Programme() const { return m_programme; }

private:
    int m_type = 0;
    BoardProgramme m_programme;
    std::array<bool, kGroups.size()> m_known{};
};
