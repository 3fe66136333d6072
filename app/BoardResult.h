#pragma once

#include "device/AdvCmd.h"
#include "device/ProgrammeFile.h"

#include <QString>
#include <QVector>

// What one board's run against a programme file came to: the board, the outcome, and what the
// outcome rests on (CResultFormat tells it). A run of --read uses its board and its failures
// alone.
class CBoardResult
{
public:
    // In the order a summary lists them.
    enum class Outcome
    {
        Written,     // lines were sent, and the read-back holds the file
        Holds,       // the board held the file: nothing was sent
        Differs,     // the read-out or the read-back differs from the file
        OtherFamily, // the file is for another family: nothing was sent
        NoBoard,     // no board answered the handshake
        Lost,        // the board stopped answering during the read-out or the read-back
        Unplugged,   // the board's port went
        Interrupted, // a signal ended the run
        NoBackup,    // no backup could be kept: nothing was sent
    };
    static constexpr int kOutcomes = int(Outcome::NoBackup) + 1;

    // The shell's exit status of a run that ended so.
    enum Status
    {
        kDone = 0,
        kNoBoard = 1,  // no board, or it stopped answering or went
        kBadInput = 2, // a bad command line, or a file that cannot be used
        kDiffers = 3,  // the board does not hold the file
        kNoBackup = 4, // no backup of the board's programme could be kept
    };

    QString port;   // empty until a board answered, unless the port was named
    QString family; // empty until a board answered the handshake
    QString version;
    Outcome outcome = Outcome::NoBoard;
    QVector<CProgrammeFile::Difference> differences;
    QVector<CAdvCmd::PortOutcome> scan; // why no board answered
    int linesToSend = -1;               // -1 until the lines to send are known
    int linesSent = 0;
    int unanswered = 0; // lines sent that the board did not answer
    double seconds = 0; // from the handshake to the result

    // A board answered on the port: a port without one is no board of --all and --watch.
    bool Answered() const { return !family.isEmpty(); }
    // 0 when the board ends holding the file; otherwise the status above, or after a signal the
    // status a death by it shows in the shell.
    int StatusAfter(int signal) const;
};
