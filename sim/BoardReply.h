#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QVector>

// One answer of a simulated board as it goes on the wire: data lines that share a header, each
// ending in one more character and CR LF, then "OK" or "ERROR".
struct CBoardReply
{
    static constexpr char kDataLineStart = '+';
    static constexpr char kFieldSeparator = ',';
    // The tool drops the character before a data line's CR, so one stands there.
    static constexpr char kDataLineEnd[] = ";\r\n";
    static constexpr char kOk[] = "OK\r\n";
    static constexpr char kError[] = "ERROR\r\n";

    QByteArray header;
    QVector<QByteArrayList> lines;
    bool ok = true;

    static CBoardReply Error()
    {
        CBoardReply r;
        r.ok = false;
        return r;
    }

    QByteArray DataLines() const
    {
        QByteArray out;
        for (const QByteArrayList &fields : lines)
            out += header + fields.join(kFieldSeparator) + kDataLineEnd;
        return out;
    }

    QByteArray Bytes() const { return DataLines() + (ok ? kOk : kError); }
};
