#pragma once

#include "app/Console.h"

#include <QString>
#include <QStringList>
#include <QVector>

// --list: what is plugged in. Every port is probed at the same time, each on a thread of its own
// with a link of its own, and is sent nothing but the handshake, "ADV#ECHO=0" and the version
// query.
class CPortList
{
public:
    // A port with the board on it, or why none answered.
    struct Entry
    {
        QString port;
        QString family; // empty when no board answered
        QString version;
        QString reason; // the scan report's words, when no board answered
    };

    static QVector<Entry> Probe(const QStringList &ports);
    // Probes the ports and tells each on stdout, a tab-separated line or a JSON object; returns
    // 0 when a board answered on any, else 1.
    static int Run(const QStringList &ports, bool json, CConsole *console);
};
