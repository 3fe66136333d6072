#pragma once

#include <QByteArray>
#include <QString>

// The command files of the file-mode board types: every setting line is appended to the board
// family's file instead of going to a port, as the files boards are loaded from.
class CCommandFile
{
public:
    // Appends the line to the file `name` in the current directory. Every line opens and closes
    // the file anew; a line that cannot be written is lost, and the next line tries again.
    void Append(const QString &name, const QByteArray &line);

    // Lines given since construction, and those of them that could not be written.
    int Lines() const { return m_lines; }
    int Failures() const { return m_failures; }

private:
    int m_lines = 0;
    int m_failures = 0;
};
