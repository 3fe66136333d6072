#pragma once

#include <QByteArray>
#include <QString>

// A group or key that an INI text holds twice. The INI reader merges the two silently, the last
// value winning, so a hand-edited file would otherwise load a value its reader never noticed.
class CIniDuplicates
{
public:
    // The first group ("[WAKE1]") or key ("WAKE1/start") met a second time, in file order; empty
    // when there is none. Lines are read as the INI reader reads them: names trimmed, ";" starts
    // a comment, a line without "=" holds no key, keys before any group belong to none.
    static QString First(const QByteArray &text);
};
