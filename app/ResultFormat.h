#pragma once

#include "app/BoardResult.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

// How the command line tells boards' results on stdout and stderr: as tab-separated result lines
// with the differing values under them, as JSON objects one a line for scripts, and as a summary.
class CResultFormat
{
public:
    // "written and verified", "holds the file", "differs: 2 values", "no board",
    // "unplugged: 3 of 46 lines sent", "interrupted: no line sent", ...
    static QString Text(const CBoardResult &result);
    // "ok", "differs", "other-family", "no-board", "lost", "unplugged", "interrupted", "no-backup".
    static QString Word(CBoardResult::Outcome outcome);
    // Port, family, version and Text(), tab-separated, then the differences, each after a tab.
    static QString Line(const CBoardResult &result);
    // One line a differing value: "WAKE3/number: board 4, file 40", after `indent`.
    static QString Differences(const QVector<CProgrammeFile::Difference> &differences,
                               const QString &indent = QString());
    // port, family, version, result (the word), differences ({key, board, file}), unanswered,
    // lines (setting lines sent) and seconds, as one line.
    static QString Json(const CBoardResult &result);
    // "4 boards: 3 written and verified, 1 differs."
    static QString Summary(const QVector<CBoardResult> &results);

    // The fields separated by tabs, as a line.
    static QString TabLine(const QStringList &fields);
    // The object in compact JSON, as a line.
    static QString JsonLine(const QJsonObject &object);
};
