#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

// Standard error of the command line: on a terminal one progress line kept up to date, messages
// on lines of their own, the traffic on the line when asked for, and with --quiet nothing but
// problems. One console serves all the runs of a process.
class CConsole
{
public:
    explicit CConsole(bool quiet);

    // Written over by the next progress, message or traffic line; shown on a terminal alone.
    void Progress(const QString &text);
    // A message of a run that goes well; not with --quiet. An empty one only clears the progress
    // line.
    void Tell(const QString &message);
    // A problem: told with --quiet as well.
    void Warn(const QString &message);
    // A line of the traffic, after the seconds since the console was made, to the millisecond.
    void Trace(const QString &line);

    // Writes the text in UTF-8, whatever the locale, and flushes the stream.
    static void Print(FILE *stream, const QString &text);

private:
    void Clear();

    bool m_quiet;
    bool m_terminal; // stderr is a terminal: a progress line is kept up to date there
    bool m_progressShown = false;
    QElapsedTimer m_sinceStart;
};
