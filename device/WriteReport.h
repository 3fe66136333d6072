#pragma once

#include <QString>

// The status messages about the lines of one action that did not arrive, and about a board
// that was unplugged: shown by the window and written by the command line alike.
class CWriteReport
{
public:
    // Lines that could not be appended to the command file `file`.
    static QString IncompleteCommandFile(const QString &file, int failed, int lines);
    // Setting lines the board did not answer.
    static QString Unanswered(int unanswered, int lines);
    // The board's port went during an action, or while the window was idle.
    static QString Unplugged(const QString &port);
    // The board's port went during an action that was to send `lines` setting lines.
    static QString UnpluggedDuringWrite(const QString &port, int sent, int lines);
};
