#include "device/BoardType.h"

namespace BoardType {

namespace {
struct Row
{
    Capabilities capabilities;
    const char *family;
    const char *commandFile;
};

// Indexed by board type. Lumivor V1's file mode has no inputs: its command file never
// carries input trigger lines.
constexpr Row kRows[] = {
    {{0, 0, 0}, "unknown", nullptr},
    {{6, 2, 2}, "Lumivor V1", nullptr},
    {{4, 2, 2}, "Lumivor V2", nullptr},
    {{0, 1, 1}, "KOTA", nullptr},
    {{0, 1, 1}, "KOTA", "KOTA.txt"},
    {{6, 0, 2}, "Lumivor V1", "LumivorV1.txt"},
    {{4, 2, 2}, "Lumivor V2", "LumivorV2.txt"},
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

QString Family(int type)
{
    return QString::fromLatin1(kRows[IsKnown(type) ? type : Unknown].family);
}

int LiveType(const QString &family)
{
    for (int type = Unknown; type <= kHighestLive; ++type) {
        if (family == QLatin1String(kRows[type].family))
            return type;
    }
    return -1;
}

} // namespace BoardType
