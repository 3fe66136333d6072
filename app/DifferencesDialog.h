#pragma once

#include "device/ProgrammeFile.h"

#include <QDialog>
#include <QVector>

// What sending a programme file would change on a board, shown before anything is sent: each
// differing key with the board's value and the file's, one a line, as text the user can select
// and copy. "Send" accepts the dialog, "Cancel" rejects it.
class CDifferencesDialog : public QDialog
{
    Q_OBJECT

public:
    // `file` as messages name it; `port` the board's.
    CDifferencesDialog(const QString &file, const QString &port,
                       const QVector<CProgrammeFile::Difference> &differences, QWidget *parent);
};
