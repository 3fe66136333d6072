#pragma once

// Helpers for the tests that give a simulated board a programme of their own and check the
// command files a programme is written to.

#include "sim/SimulatedBoard.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

namespace testprogramme {

// A time of day as the link stores it (a time parsed alone carries the date 1900-01-01).
inline QDateTime At(int h, int m, int s)
{
    return QDateTime(QDate(1900, 1, 1), QTime(h, m, s));
}

// Sets the four timings of one output (1 to 6) in one session (index 0 to 3) of a board's or a
// programme file's programme.
template <typename Programme>
void SetTiming(Programme *p, int session, int output, int number, int delay, int duration,
               int interval)
{
    SessionOutputTimings &t = p->outputTimings[size_t(session)];
    const size_t o = size_t(output - 1);
    t.number[o] = number;
    t.delay[o] = delay;
    t.duration[o] = duration;
    t.interval[o] = interval;
}

// A command file's bytes: every command (with its CR) followed by CR LF.
inline QByteArray FileBytes(const QList<QByteArray> &commands)
{
    QByteArray bytes;
    for (const QByteArray &command : commands)
        bytes += command + "\r\n";
    return bytes;
}

inline QByteArray ReadFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool WriteFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Writes the file into the folder and returns its path.
inline QString WriteInto(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    WriteFile(path, bytes);
    return path;
}

} // namespace testprogramme
