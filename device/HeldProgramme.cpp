#include "device/HeldProgramme.h"

#include "device/BoardType.h"

#include <algorithm>

namespace {

size_t IndexOf(CHeldProgramme::Group group)
{
    const auto &groups = CHeldProgramme::kGroups;
    return size_t(std::find(groups.cbegin(), groups.cend(), group) - groups.cbegin());
}

// Items 0 .. count - 1 of `from` into `to`.
template <typename Array> void CopyItems(const Array &from, Array *to, int count)
{
    std::copy_n(from.cbegin(), std::min(count, int(from.size())), to->begin());
}

} // namespace

bool CHeldProgramme::IsGroup(Group setting)
{
    return IndexOf(setting) < kGroups.size();
}

void CHeldProgramme::SetBoardType(int type)
{
    if (type == m_type)
        return;
    m_type = type;
    Forget();
}

void CHeldProgramme::Forget()
{
    m_known.fill(false);
}

void CHeldProgramme::Forget(Group group)
{
    if (IsGroup(group))
        m_known[IndexOf(group)] = false;
}

void CHeldProgramme::Take(Group group, const BoardProgramme &from)
{
    if (!IsGroup(group))
        return;
    const BoardType::Capabilities counts = BoardType::CapabilitiesOf(m_type);
    BoardProgramme &to = m_programme;
    switch (group) {
    case Group::Output:
        CopyItems(from.outputModes, &to.outputModes, counts.outputs);
        break;
    case Group::Power:
        CopyItems(from.powerModes, &to.powerModes, counts.powers);
        break;
    case Group::Wake:
        to.sessions = from.sessions;
        break;
    case Group::COutput:
        for (size_t s = 0; s < to.outputTimings.size(); ++s) {
            const SessionOutputTimings &f = from.outputTimings[s];
            SessionOutputTimings &t = to.outputTimings[s];
            CopyItems(f.number, &t.number, counts.outputs);
            CopyItems(f.delay, &t.delay, counts.outputs);
            CopyItems(f.duration, &t.duration, counts.outputs);
            CopyItems(f.interval, &t.interval, counts.outputs);
        }
        break;
    case Group::CPower:
        for (size_t s = 0; s < to.powerTimes.size(); ++s)
            CopyItems(from.powerTimes[s], &to.powerTimes[s], counts.powers);
        break;
    case Group::CInput:
        CopyItems(from.inputs, &to.inputs, counts.inputs);
        break;
    default:
        return;
    }
    m_known[IndexOf(group)] = true;
}

bool CHeldProgramme::IsKnown(Group group) const
{
    return IsGroup(group) && m_known[IndexOf(group)];
}
