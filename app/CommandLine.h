#pragma once

#include "device/BoardSettings.h"
#include "device/ProgrammeFile.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QTextStream;

// The tool's command line: which way the tool starts, the commands that keep, restore and check a
// board's programme in a programme file without a window, and the port the window scans.
//
// The commands need no display: they run on a core application object and reach the board
// through the settings model alone. Messages go to stderr with the window's texts; the keys in
// which the board differs from a file go to stdout, one a line.
class CCommandLine
{
public:
    enum ExitStatus
    {
        kDone = 0,
        kNoBoard = 1,      // no board found, or it stopped answering a read
        kBadInput = 2,     // a bad command line, or a file that cannot be used
        kDiffers = 3,      // the board does not hold the file
        kInterrupted = 130 // Ctrl+C
    };

    // True when the arguments ask for a command that runs without a window; decided before any
    // application object exists.
    static bool RunsWithoutWindow(int argc, char *argv[]);
    // Runs that command; the core application object exists. Returns the exit status.
    static int Run(const QStringList &arguments);
    // For the window: applies the port choice. False, after saying why on stderr, for a command
    // line the window cannot take.
    static bool SetUpWindow(const QStringList &arguments);

private:
    enum class Command
    {
        Read,
        Write,
        Compare,
    };

    CCommandLine(Command command, const QString &path);

    int Execute();
    int Read();
    int Write();
    int Compare();
    // Finds the board and reads it out, telling why when it cannot.
    bool ConnectAndReadOut();
    int OpenForBoard(CProgrammeFile::Contents *file);
    // Tells the verdict of a comparison; the differing keys go to stdout.
    int Verdict(const QString &family, const BoardProgramme &file);

    void Progress(const QString &text);
    void Tell(const QString &message);
    // Ends the run at once after Ctrl+C, with the port closed.
    [[noreturn]] void Interrupted();

    static void AddOptions(QCommandLineParser *parser);
    static void UsePort(const QCommandLineParser &parser);

    Command m_command;
    QString m_path;
    CBoardSettings m_settings;
    bool m_terminal; // stderr is a terminal: a progress line is kept up to date there
    bool m_progressShown = false;
    bool m_writing = false; // the programme's lines are going out: each ends before Ctrl+C acts
    int m_linesToWrite = 0;
    int m_linesWritten = 0;
};
