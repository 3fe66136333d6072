#pragma once

#include "device/BoardRecords.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A board's programme kept in an INI file, to be restored, compared and copied. The tool writes
// every key in a fixed order and reads leniently in form but strictly in content: only the keys
// the file's family uses are checked and loaded. The output and power keys are those of the
// configuration import, which reads a saved programme as it is.
class CProgrammeFile
{
public:
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
    };

    // All 136 keys, whatever the family; UTF-8 without a byte order mark, LF line ends.
    static QByteArray Format(const Contents &contents);
    // Writes through QSaveFile. False with *message = "Could not save <file>: <reason>." when a
    // value the file's family uses is outside its range (reason = "<GROUP/key> <what is wrong>")
    // or the file cannot be written; an old file is then left as it was.
    static bool Save(const QString &path, const Contents &contents, QString *message);
    // Reads and checks. Keys the file's family does not use keep the values of `base`. False,
    // leaving *contents alone, with *message = "Could not read <file>: <reason>." or "<file> is
    // not a programme file: <GROUP/key> <what is wrong>." for the first problem in written order.
    static bool Open(const QString &path, const BoardProgramme &base, Contents *contents,
                     QString *message);
    // Empty when the file's family is the family of boardType; otherwise "<file> holds a
    // <family> programme, not one for <typeText>."
    static QString FamilyProblem(const QString &path, const Contents &contents, int boardType,
                                 const QString &typeText);
    // The keys the family uses whose values differ, in written order; numbers and times are
    // compared as values, not as text.
    static QVector<Difference> Compare(const QString &family, const BoardProgramme &board,
                                       const BoardProgramme &file);
    // "The board holds <file>." or "The board differs from <file> in ..." naming up to five
    // keys.
    static QString CompareMessage(const QString &path, const QVector<Difference> &differences);
    static QString SavedMessage(const QString &path);
    static QString NoReadBackMessage(const QString &path);
};
