#pragma once

#include "device/AdvCmd.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The bytes on one serial line as lines a technician can read and send on: "> ADV#WAKE=?" for a
// line written, "< +WAKE=1,07:30:00,00:10:00,12" for one received. A line ends at CR or LF, or
// where the other direction takes over; empty lines are left out. Bytes outside printable ASCII
// show as \xNN, a backslash as \\.
class CTrafficLog
{
public:
    using Sink = std::function<void(const QString &line)>;

    explicit CTrafficLog(Sink sink);

    // Takes the link's traffic observer's bytes, in order.
    void Add(CAdvCmd::Direction direction, const QByteArray &bytes);
    // Hands on the line begun, if any.
    void Flush();

private:
    Sink m_sink;
    CAdvCmd::Direction m_direction = CAdvCmd::Direction::Sent;
    QByteArray m_line; // begun, not yet ended
};
