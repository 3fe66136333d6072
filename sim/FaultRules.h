#pragma once

#include "sim/BoardReply.h"

#include <QByteArray>
#include <QVector>
#include <random>

// The misbehaviour a simulated board is told to show: rules that pick a fault for each command,
// and the bytes a fault makes of the normal reply. Not safe across threads by itself: the
// board's firmware holds it under its lock.
class CFaultRules
{
public:
    // Ways to misbehave.
    enum class Fault
    {
        None,          // served normally; shields matching commands from later rules
        Silent,        // neither echo nor reply
        TooFewFields,  // the normal reply without its last field
        TooManyFields, // the normal reply with one field more
        NoOk,          // the normal data lines, no "OK" line
        Garbage,       // one line of printable junk, no "OK"
        Binary,        // random bytes with NULs, then "OK"
        OverlongLine,  // a 64 KiB data line, then "OK"
        Late,          // the normal reply, 1500 ms after the command
        Babble,        // junk lines without end, at line pace, until the rule is cleared
        HangUp,        // the pty closes at once: the board is gone
    };

    CFaultRules();

    // From now on, the commands that start with `commandPrefix` (every command when empty) are
    // served normally `afterMatches` times and then get `fault`, until Clear(). A Babble rule
    // for every command with no normal replies starts the babble at once.
    void Add(Fault fault, const QByteArray &commandPrefix, int afterMatches);
    void Clear();
    // The fault of the first rule added that matches the command line and is due; None when no
    // rule is. A Babble fault starts the babble.
    Fault Take(const QByteArray &line);
    bool IsBabbling() const { return m_babbling; }
    // The next line of junk while babbling; nothing otherwise.
    QByteArray BabbleLine();
    // The bytes the fault makes of the normal reply; the normal bytes for a fault that does not
    // change them.
    QByteArray Misbehave(Fault fault, const CBoardReply &normal);

private:
    struct Rule
    {
        Fault fault;
        QByteArray prefix;
        int afterMatches;
        int matched;
    };

    QVector<Rule> m_rules;
    bool m_babbling = false;
    quint32 m_babbleCount = 0;
    std::mt19937 m_noise;
};
