#pragma once

#include <QObject>

class CBoardSettings;
class MainWindowForm;

// Controller of the "General" tab and of the strips above the tabs: connection status, version,
// board type, the board clock, command-file generation and INI import.
class CGeneral : public QObject
{
    Q_OBJECT

public:
    CGeneral(MainWindowForm *form, CBoardSettings *settings, QObject *parent);

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
    bool m_wired = false; // the widget connections are made on the first ShowConnection
};
