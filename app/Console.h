#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>

// Standard error of the command line: on a terminal the progress kept up to date, a line or one
// line a board, messages on lines of their own, the traffic on the line when asked for, and with
// --quiet nothing but problems. One console serves all the runs of a process, from one thread.
class CConsole
{
public:
    explicit CConsole(bool quiet);

    // Written over by the next progress, message or traffic line; shown on a terminal alone.
    void Progress(const QString &text);
    // The same for several lines at once; each is cut to the terminal's width.
    void Progress(const QStringList &lines);
    // A message of a run that goes well; not with --quiet. An empty one only clears the progress.
    void Tell(const QString &message);
    // A problem: told with --quiet as well.
    void Warn(const QString &message);
    // A line of the traffic, after the seconds since the console was made, to the millisecond.
    void Trace(const QString &line);
    // Text for standard output, such as a result line, with the progress kept off it.
    void Out(const QString &text);

    // Writes the text in UTF-8, whatever the locale, and flushes the stream.
    static void Print(FILE *stream, const QString &text);

private:
    void Clear();
    int Columns() const;

    bool m_quiet;
    bool m_terminal;         // stderr is a terminal: the progress is kept up to date there
    int m_progressShown = 0; // lines of progress on the terminal, the cursor after the last
    QElapsedTimer m_sinceStart;
};
