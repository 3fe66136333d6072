#pragma once

#include "app/ActionGate.h"
#include "device/ProgrammeFile.h"
#include "pages/Wake.h"

#include <QObject>
#include <array>

class CBackupStore;
class CBoardSettings;
class MainWindowForm;
class QWidget;

// The window's programme-file actions of the File menu: "Open Programme…", "Open Backup…" and
// "Save Programme…", and the opening of a file named on the command line.
//
// A file opened while a live board is connected goes to it only after the user has seen what it
// changes and chosen "Send"; then a backup of what the board held is kept and only the differing
// lines are sent, the board is read back and compared. In a file mode the file goes to the command
// file, without a board it is only loaded.
class CProgrammeActions : public QObject
{
public:
    // Connects the form's File actions; `window` parents the dialogs and this object.
    CProgrammeActions(QWidget *window, MainWindowForm *form, CBoardSettings *settings,
                      CActionGate *gate, const CBackupStore *backups, const SessionPages &pages);

    void OpenProgramme();
    void OpenBackup();
    void SaveProgramme();
    // Opens the programme file at `path` as "Open Programme…" does, without the file dialog.
    void Open(const QString &path);

private:
    void OpenChosen(const QString &caption, const QString &folder);
    void OpenFile(const CActionGate::Action &action, const QString &path);
    // A file for no live board: loaded, and written to the command file of a file mode.
    void LoadAside(const CActionGate::Action &action, const QString &path,
                   const CProgrammeFile::Contents &file);
    // The file to a live board that holds `held`: a backup, the differing lines, the read-back.
    void Write(const CActionGate::Action &action, const QString &path,
               const CProgrammeFile::Contents &file, const BoardProgramme &held);
    // The model's programme on the pages, from the file at `path`.
    void Show(const QString &path);
    void ReloadSessionPages();

    QWidget *m_window;
    MainWindowForm *m_form;
    CBoardSettings *m_settings;
    CActionGate *m_gate;
    const CBackupStore *m_backups;
    SessionPages m_pages;
};
