#pragma once

#include <QString>

// The board types, by their index in the board combo box. Types above Kota are file modes:
// the programme goes into the family's command file instead of to the port.
namespace BoardType {

enum : int
{
    Unknown = 0,
    LumivorV1 = 1,
    LumivorV2 = 2,
    Kota = 3,
    KotaFile = 4,
    LumivorV1File = 5,
    LumivorV2File = 6,
};

constexpr int kHighestLive = Kota;

struct Capabilities
{
    int outputs;
    int inputs;
    int powers;
};

// Counts of the type; all 0 for a value that is not a board type.
Capabilities CapabilitiesOf(int type);

bool IsFileMode(int type);

// The command file of a file-mode type ("KOTA.txt", ...); empty for every other type.
QString CommandFile(int type);

// The family a type belongs to, a file mode's included: "Lumivor V1", "Lumivor V2", "KOTA", or
// "unknown" for type 0 and for a value that is not a board type.
QString Family(int type);

// The live type (0 to kHighestLive) of a family's name; -1 for a text that names none.
int LiveType(const QString &family);

} // namespace BoardType
