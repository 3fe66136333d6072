#pragma once

#include "app/CommandOptions.h"
#include "app/Console.h"
#include "app/TrafficLog.h"
#include "device/BoardSettings.h"
#include "device/ProgrammeFile.h"

#include <QString>
#include <QStringList>

// The tool's command line: which way the tool starts, and the commands that keep, restore and
// check a board's programme in a programme file without a window.
//
// The commands need no display: they run on a core application object and reach the board
// through the settings model alone. Messages go to stderr with the window's texts; the keys in
// which the board differs from a file go to stdout, one a line.
//
// An object is one run against one board: its model and link, its traffic and its count of
// lines. A caught signal stops a run at the next slice of a wait, or after the line under way
// of a write-out; the tool then ends by that signal once the run is over.
class CCommandLine
{
public:
    enum ExitStatus
    {
        kDone = 0,
        kNoBoard = 1,  // no board found, or it stopped answering a read
        kBadInput = 2, // a bad command line, or a file that cannot be used
        kDiffers = 3,  // the board does not hold the file
    };

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
    // For the window: applies the port choice. False, after saying why on stderr, for a command
    // line the window cannot take.
    static bool SetUpWindow(const QStringList &arguments);

private:
    // Thrown by the link's hooks once a signal was caught: it unwinds the run to Execute(), past
    // the waits and the board's model, without ending the process from deep inside them.
    struct Interrupted
    {
    };

    CCommandLine(const CCommandOptions &options, CConsole *console);

    // The run's exit status; after a signal, the status a death by it shows in the shell.
    int Execute();
    void WatchLink();
    void StopIfInterrupted() const;
    int Read();
    int Write();
    int Compare();
    // Finds the board and reads it out, telling why when it cannot.
    bool ConnectAndReadOut();
    int OpenForBoard(CProgrammeFile::Contents *file);
    bool Save(const CProgrammeFile::Contents &contents);
    // Tells the verdict of a comparison; the differing keys go to stdout.
    int Verdict(const QString &family, const BoardProgramme &file);

    static int Usage(const QString &why);
    static void UsePort(const QString &port);

    CCommandOptions::Command m_command;
    QString m_path; // as given
    QString m_name; // the file as messages name it
    bool m_verbose;
    CConsole &m_console;
    CTrafficLog m_traffic;
    CBoardSettings m_settings;
    bool m_writing = false; // the programme's lines are going out: each ends before a signal acts
    int m_linesToWrite = 0;
    int m_linesWritten = 0;
};
