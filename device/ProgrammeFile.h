#pragma once

#include "device/BoardRecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class QFileDevice;
class QIODevice;

// A board's programme kept in an INI file, to be restored, compared and copied. The tool writes
// every key in a fixed order, whatever the board holds, and reads leniently in form but strictly
// in content: only the keys the file's family uses are checked and loaded. The output and power
// keys are those of the configuration import, which reads a saved programme as it is.
class CProgrammeFile
{
public:
    // How messages name a file: by its base name (the window, whose files come from a dialog) or
    // as the user gave it (the command line).
    enum class Naming
    {
        BaseName,
        AsGiven,
    };

    struct Contents
    {
        QString family; // as BoardType::Family() names it
        QString version;
        BoardProgramme programme;
    };

    // A value that the board and a file hold differently, both as the file writes them.
    struct Difference
    {
        QString key; // "WAKE3/number"
        QString board;
        QString file;

        // "WAKE3/number: board 2, file 3"
        QString Text() const;
    };

    // All 136 keys, whatever the family and whatever the values: numbers as they are, a time that
    // is no time of day empty. UTF-8 without a byte order mark, LF line ends.
    static QByteArray Format(const Contents &contents);
    // Writes all of `bytes`, on after a short write, so that the failing write tells why.
    static bool WriteAll(QIODevice *device, const QByteArray &bytes);
    // One warning for each value of the family's keys that opening the formatted file refuses:
    // "<GROUP/key>: <value> is outside what this version knows; opening this file will refuse
    // it.", or for a time that is no time of day, that it is saved empty.
    static QStringList Warnings(const Contents &contents);
    // Empty when a file can be saved at `path`: its folder exists and may be written, and it is
    // no folder itself. Otherwise "Could not save <file>: <reason>."
    static QString DestinationProblem(const QString &path, Naming naming = Naming::BaseName);
    // Writes Format() through QSaveFile. False with *message = "Could not save <file>: <reason>."
    // when the file cannot be written; an old file is then left as it was.
    static bool Save(const QString &path, const Contents &contents, QString *message,
                     Naming naming = Naming::BaseName);
    // Writes Format() to an open device, such as standard output; messages name it `name`.
    static bool Save(QFileDevice *device, const QString &name, const Contents &contents,
                     QString *message);
    // Reads and checks. Keys the file's family does not use keep the values of `base`. False,
    // leaving *contents alone, with *message = "Could not read <file>: <reason>." or "<file> is
    // not a programme file: <problem>." where the problem is a group or key that appears twice,
    // or else the first bad value in written order ("<GROUP/key> <what is wrong>").
    static bool Open(const QString &path, const BoardProgramme &base, Contents *contents,
                     QString *message);
    // The same for a device, such as standard input, opened for reading here unless it is open;
    // messages name it `name`.
    static bool Open(QFileDevice *device, const QString &name, const BoardProgramme &base,
                     Contents *contents, QString *message);
    // Empty when the file's family is the family of boardType; otherwise "<file> holds a
    // <family> programme, not one for <typeText>."
    static QString FamilyProblem(const QString &path, const Contents &contents, int boardType,
                                 const QString &typeText, Naming naming = Naming::BaseName);
    // The keys the family uses whose values differ, in written order; numbers and times are
    // compared as values, not as text.
    static QVector<Difference> Compare(const QString &family, const BoardProgramme &board,
                                       const BoardProgramme &file);
    // "The board holds <file>." or "The board differs from <file> in ..." naming up to five
    // keys.
    static QString CompareMessage(const QString &path, const QVector<Difference> &differences,
                                  Naming naming = Naming::BaseName);
    static QString SavedMessage(const QString &path, Naming naming = Naming::BaseName);
    static QString NoReadBackMessage(const QString &path, Naming naming = Naming::BaseName);
};
