#include "sim/SimulatedBoard.h"

QByteArrayList CSimulatedBoard::ReceivedLines() const
{
    QByteArrayList lines;
    for (const ReceivedLine &line : Received())
        lines << line.bytes;
    return lines;
}
