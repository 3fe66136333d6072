#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <sys/types.h>

// A simulated board, paced like a 9600-baud line, running in a child process so that the
// benchmark's own CPU time is the tool's alone, with silent boards beside it for the port scan
// and paced boards for boards written side by side.
// Talks to the child over two pipes.
class CBoardProcess
{
public:
    // What the board saw and sent since the last Clear().
    struct Traffic
    {
        QVector<QByteArray> commands; // each with its CR
        qint64 sentBytes = 0;
    };

    // Forks the board; call before any thread or Qt object exists in the process.
    bool Start();
    ~CBoardProcess();

    QString PortName() const { return m_portName; }
    // Starts `count` more boards in the child that never answer, and returns their ports.
    QStringList StartSilentBoards(int count);
    // Starts `count` more paced Lumivor V1 boards in the child, and returns their ports.
    QStringList StartPacedBoards(int count);
    // Gives the board and the paced boards beside it the default programme again.
    void ResetProgrammes();
    void SetType(int type);
    void Clear();
    Traffic Read();

private:
    QByteArray Ask(const QByteArray &request);
    QStringList StartBoards(const char *request, int count);

    pid_t m_child = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
    QString m_portName;
};
