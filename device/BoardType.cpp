#include "device/BoardType.h"

namespace BoardType {

namespace {
struct Row
{
    Capabilities capabilities;
    const char *commandFile;
};

// Indexed by board type. Lumivor V1's file mode has no inputs: its command file never
// carries input trigger lines.
constexpr Row kRows[] = {
    {{0, 0, 0}, nullptr},         // unknown
    {{6, 2, 2}, nullptr},         // Lumivor V1
    {{4, 2, 2}, nullptr},         // Lumivor V2
    {{0, 1, 1}, nullptr},         // KOTA
    {{0, 1, 1}, "KOTA.txt"},      // KOTA file mode
    {{6, 0, 2}, "LumivorV1.txt"}, // Lumivor V1 file mode
    {{4, 2, 2}, "LumivorV2.txt"}, // Lumivor V2 file mode
};
constexpr int kRowCount = int(sizeof(kRows) / sizeof(kRows[0]));

bool IsKnown(int type)
{
    return type >= 0 && type < kRowCount;
}
} // namespace

Capabilities CapabilitiesOf(int type)
{
    return IsKnown(type) ? kRows[type].capabilities : Capabilities{0, 0, 0};
}

bool IsFileMode(int type)
{
    return type > kHighestLive;
}

QString CommandFile(int type)
{
    if (!IsKnown(type) || kRows[type].commandFile == nullptr)
        return QString();
    return QString::fromLatin1(kRows[type].commandFile);
}

} // namespace BoardType
