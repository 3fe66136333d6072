#pragma once

#include "device/AdvCmd.h"

#include <QString>
#include <QVector>

// The status message that tells why a scan of the serial ports found no board.
class CScanReport
{
public:
    // One entry per port tried, in scan order, each with its reason; then, once per distinct
    // group or device, what a user who lacks the rights on a port can do about it.
    static QString Message(const QVector<CAdvCmd::PortOutcome> &outcomes);
    // Why one port gave no board: "no answer", "permission denied", ...
    static QString Reason(CAdvCmd::PortFailure failure);
    // The scan of one port found it held by another program, which may let go of it soon.
    static bool InUse(const QVector<CAdvCmd::PortOutcome> &outcomes);
};
