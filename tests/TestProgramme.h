#pragma once

// Helpers for the tests that give a simulated board a programme of their own and check the
// command files a programme is written to.

#include "sim/SimulatedBoard.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QPair>
#include <QTemporaryDir>
#include <QVector>

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

// The part of a simulated board's state that programme files carry.
inline BoardProgramme ProgrammeOf(const CSimulatedBoard &board)
{
    const CSimulatedBoard::Programme p = board.GetProgramme();
    return {p.sessions, p.inputs, p.outputModes, p.powerModes, p.outputTimings, p.powerTimes};
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

// The file with one key's line given this value, or without that line for a null value.
inline QByteArray Edited(const QByteArray &file, const QString &path, const QByteArray &value)
{
    const QByteArray key = '\n' + path.section('/', 1).toUtf8() + '=';
    const int start = file.indexOf(key, file.indexOf('[' + path.section('/', 0, 0).toUtf8() + ']'));
    const int end = file.indexOf('\n', start + 1);
    return file.left(start + 1) + (value.isNull() ? QByteArray() : key.mid(1) + value + '\n') +
           file.mid(end + 1);
}

// Keys of a programme file and the values they are given, a null value taking the key out.
using Edits = QVector<QPair<QString, QByteArray>>;

inline QByteArray Edited(QByteArray file, const Edits &edits)
{
    for (const auto &edit : edits)
        file = Edited(file, edit.first, edit.second);
    return file;
}

} // namespace testprogramme
