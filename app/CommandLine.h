#pragma once

#include "app/BoardResult.h"
#include "app/BoardRun.h"
#include "app/CommandOptions.h"
#include "app/Console.h"

#include <QString>
#include <QStringList>

// The tool's command line: which way the tool starts, and the commands that keep, restore and
// check boards' programmes in programme files without a window, and list the boards plugged in.
//
// The commands need no display: they run on a core application object and reach each board
// through a settings model of its own (CBoardRun). One board's run tells its messages on stderr
// with the window's texts and the keys in which the board differs from a file on stdout, one a
// line; several boards' runs (CFleetRun) tell one result line a board. A caught signal winds the
// runs down; the tool then ends by that signal once they are over.
class CCommandLine
{
public:
    using ExitStatus = CBoardResult::Status;
    static constexpr ExitStatus kBadInput = CBoardResult::kBadInput;

    // Gives each of the standard streams that the tool was started without a stream that takes
    // nothing, before anything else is opened: the first file, port or event opened would
    // otherwise take its place, and a programme for standard output would go there.
    static void KeepStandardStreams();
    // True when the arguments ask for a command that runs without a window; decided before any
    // application object exists.
    static bool RunsWithoutWindow(int argc, char *argv[]);
    // False, after saying why on stderr, when the window has no display to open on: neither
    // DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM is set, and no -platform is given.
    static bool HasDisplay(int argc, char *argv[]);
    // Runs that command; the core application object exists. Returns the exit status, or ends
    // the process by the signal that interrupted it.
    static int Run(const QStringList &arguments);
    // For the window: applies the port choice and gives the programme file to open, if any, in
    // *programmeFile. False, after saying why on stderr, for a command line the window cannot take.
    static bool SetUpWindow(const QStringList &arguments, QString *programmeFile = nullptr);

private:
    CCommandLine(const CCommandOptions &options, CConsole *console);

    // The command's exit status.
    int Execute();
    int Read();
    // --write or --compare, on one board or several.
    int WriteOrCompare();
    // Reads and checks the file before any port is opened.
    bool OpenFile(CProgrammeFile::Contents *file);
    // One board's run, on the port given or else on the first port with a board.
    CBoardRun::Report Progress();
    CBoardRun::Report Warn();
    void SetUp(CBoardRun *run);
    // Tells one board's result, as one board's run does; returns its exit status.
    int Tell(const CBoardResult &result);
    bool Save(const CProgrammeFile::Contents &contents);

    static int Usage(const QString &why);
    static QString PortName(const QString &given);

    const CCommandOptions &m_options;
    bool m_endsBySignal = true; // after a caught signal; station mode may end normally
    CConsole &m_console;
    QStringList m_ports; // as the system lists them
    QString m_name;      // the file as messages name it
};
