#pragma once

#include "app/BoardResult.h"
#include "app/CommandOptions.h"
#include "app/TrafficLog.h"
#include "device/BoardSettings.h"
#include "device/ProgrammeFile.h"

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class CBackupStore;

// One board's run of the command line: it finds the board and reads it out, then compares it with
// a programme file (--compare), or keeps a backup of what the board held, sends the lines in which
// it differs from the file, reads it back and compares (--write). --read uses the read-out alone.
//
// A run happens on the thread that calls it, with a model and a link of its own, so that boards
// on several ports can run side by side. Once a signal was caught, the link winds the run down:
// the line under way ends with its answer, nothing more is sent, queries fail at once, and the
// result says the run was interrupted.
class CBoardRun
{
public:
    // Takes a text to show or tell, on the run's thread.
    using Report = std::function<void(const QString &text)>;

    struct Job
    {
        CCommandOptions::Command command = CCommandOptions::Command::Read;
        QString name;                          // the file as messages name it
        CProgrammeFile::Contents file;         // checked; for --write and --compare
        const CBackupStore *backups = nullptr; // where --write keeps what the board held, if at all
    };

    // `progress` takes what the run does now; `warn` each problem that the result does not tell.
    CBoardRun(Job job, Report progress, Report warn);

    // Tries this port alone, by the name the system lists it under, instead of every listed port.
    void UsePort(const QString &port);
    // Hands every line sent and received, as --verbose shows it, to `sink`.
    void Trace(CTrafficLog::Sink sink);

    // --write or --compare.
    CBoardResult Run();
    // Finds the board and reads it out into Settings(), for --read; false when it could not, the
    // result then telling why.
    bool Read(CBoardResult *result);
    const CBoardSettings &Settings() const { return m_settings; }

private:
    bool ReadOut();
    bool FamilyMatches();
    void Write();
    // The outcome `matching` when the board's programme holds the file, else Differs.
    void Verdict(const BoardProgramme &board, CBoardResult::Outcome matching);
    // Ends the run with `outcome`, unless a signal stopped it or the board was unplugged.
    bool Fail(CBoardResult::Outcome outcome);
    CBoardResult Finish();

    Job m_job;
    Report m_progress;
    Report m_warn;
    std::unique_ptr<CTrafficLog> m_traffic;
    CBoardSettings m_settings;
    CBoardResult m_result;
    QElapsedTimer m_clock;
    bool m_writing = false; // the programme's lines are going out
};
