#pragma once

#include <QObject>

class CActionGate;
class CBackupStore;
class CBoardSettings;
class MainWindowForm;

// Controller of the "General" tab and of the strips above the tabs: connection status, version,
// board type, the board clock, command-file generation and INI import. Its slots start as actions
// of the window's gate; a board change it refuses leaves the board combo box on the type in use.
class CGeneral : public QObject
{
    Q_OBJECT

public:
    // Before an INI import goes to a live board, what it held is kept in `backups`.
    CGeneral(MainWindowForm *form, CBoardSettings *settings, CActionGate *gate,
             const CBackupStore *backups, QObject *parent);

    void ShowConnection(bool connected);
    void Refresh();

signals:
    // Asks every session page to reload from the model; true also returns it to its standard view.
    void sInitAff(bool bStandard);

public slots:
    void GetDateTime();
    void SetDateTime();
    void BoardChange();
    void FileGeneration();
    void SetConfiguration();

private:
    MainWindowForm *m_form;
    CBoardSettings *m_settings;
    CActionGate *m_gate;
    const CBackupStore *m_backups;
    bool m_wired = false; // the widget connections are made on the first ShowConnection
};
