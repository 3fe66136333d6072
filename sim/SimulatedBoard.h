#pragma once

#include "sim/BoardFirmware.h"
#include "sim/PseudoTerminal.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QString>
#include <QVector>

// A controller board played in software at the far end of a pseudo-terminal.
//
// Start() opens a pty pair; the tool opens the slave side, PortName(), with its ordinary
// QSerialPort exactly as it would open a real serial port, and the board answers the "ADV#"
// protocol from the master side in a thread of its own. The board keeps a programme that the
// setting lines change and the queries report, a clock, and its input readings; the test thread
// may read and change all of it while the board runs.
//
// Uses:
// - Tests talk to it through the link, or with raw bytes, and inject misbehaviour with SetFault():
//   silence, wrong field counts, junk, binary noise, overlong lines, late replies, endless
//   chatter or a hang-up, each for the commands that start with a given prefix.
// - The demo runs the real window in-process against a board started with its default programme
//   and SetPacing(true), so the exchanges take as long as on a 9600-baud line.
// - The benchmark runs one in a thread of its own process, or in a child process that only
//   constructs a board, starts it and reports PortName().
//
// Several boards may run in one process; each has its own pty, thread and state. A board is its
// firmware (CBoardFirmware: programme, clock, inputs, fault rules, the answer to each command) at
// the end of a pseudo-terminal (CPseudoTerminal: the pty, its thread, pacing and hang-up).
class CSimulatedBoard
{
public:
    using Fault = CBoardFirmware::Fault;
    using Programme = CBoardFirmware::Programme;
    using ReceivedLine = CPseudoTerminal::ReceivedLine;

    // A board of a live type (0 to 3) with that type's version field and the default programme.
    explicit CSimulatedBoard(int type = BoardType::LumivorV1) : m_firmware(type), m_line(m_firmware)
    {
    }
    CSimulatedBoard(const CSimulatedBoard &) = delete;
    CSimulatedBoard &operator=(const CSimulatedBoard &) = delete;

    // Opens the pty pair and starts serving. False when the pty cannot be opened or the board
    // has already been started.
    bool Start() { return m_line.Start(); }
    // The slave device, "/dev/pts/N"; empty before Start().
    QString PortName() const { return m_line.PortName(); }
    // True from Start() until the board is destroyed or hangs up.
    bool IsRunning() const { return m_line.IsRunning(); }
    // Closes the pty from the calling thread; returns once the board is gone.
    void HangUp() { m_line.HangUp(); }

    int Type() const { return m_firmware.Type(); }
    // Changes the type, and so the counts of outputs, inputs and rails the queries report and
    // the setting lines accept; the version field becomes the new type's default.
    void SetType(int type) { m_firmware.SetType(type); }
    QString Version() const { return m_firmware.Version(); }
    // The whole version field, type digit first, e.g. "1LV1-2.04".
    void SetVersion(const QString &field) { m_firmware.SetVersion(field); }

    // A plausible Lumivor V1 day: a morning and an evening session by time, one by input 1.
    static Programme DefaultProgramme() { return CBoardFirmware::DefaultProgramme(); }
    Programme GetProgramme() const { return m_firmware.GetProgramme(); }
    void SetProgramme(const Programme &programme) { m_firmware.SetProgramme(programme); }

    // The board's clock. A running clock advances from the given moment; a stopped one keeps it.
    // The wire's TIME and DATE lines set it and keep its running state.
    QDateTime Clock() const { return m_firmware.Clock(); }
    void SetClock(const QDateTime &now, bool running) { m_firmware.SetClock(now, running); }

    // Readings of "ADV#INPUTA=n" (n = 1..4: two inputs, supply voltage, temperature) and
    // "ADV#INPUTL=n" (n = 1..2), as sent.
    void SetAnalogInput(int channel, const QString &reading)
    {
        m_firmware.SetAnalogInput(channel, reading);
    }
    void SetDigitalInput(int channel, const QString &reading)
    {
        m_firmware.SetDigitalInput(channel, reading);
    }

    // Writes at the pace of a 9600-baud 8N1 line instead of at once. Junk of Fault::Babble is
    // always paced.
    void SetPacing(bool paced) { m_line.SetPacing(paced); }

    // From now on, the commands that start with `commandPrefix` (every command when empty) are
    // served normally `afterMatches` times and then get `fault`, until ClearFaults(). Where
    // several rules match a command, the first one added that is due applies. A Babble rule for
    // every command with no normal replies starts at once, before any command, even when it is
    // added before Start().
    void SetFault(Fault fault, const QByteArray &commandPrefix = {}, int afterMatches = 0)
    {
        m_firmware.SetFault(fault, commandPrefix, afterMatches);
        m_line.Wake();
    }
    void ClearFaults() { m_firmware.ClearFaults(); }

    // Sends these bytes as they are, unasked, after whatever the board is sending: data before a
    // handshake, or an answer that comes too late.
    void Inject(const QByteArray &bytes) { m_line.Inject(bytes); }
    // Answers the next command it receives with exactly these bytes, whatever rule applies to
    // it: a reply of a shape the board never makes, sent only once it was asked for.
    void ReplyToNextCommand(const QByteArray &bytes) { m_firmware.ReplyToNextCommand(bytes); }

    // Bytes the board has written to the line since Start() or ClearReceived().
    qint64 SentBytes() const { return m_line.SentBytes(); }

    QVector<ReceivedLine> Received() const { return m_line.Received(); }
    // The bytes of the received lines alone, in order.
    QByteArrayList ReceivedLines() const;
    void ClearReceived() { m_line.ClearReceived(); }
    // Waits up to timeoutMs until at least `count` lines have been received since the last
    // ClearReceived(); true when they have.
    bool WaitForReceived(int count, int timeoutMs) const
    {
        return m_line.WaitForReceived(count, timeoutMs);
    }

private:
    CBoardFirmware m_firmware;
    CPseudoTerminal m_line; // stops serving before the firmware goes
};
