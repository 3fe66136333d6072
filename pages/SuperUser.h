#pragma once

#include <QObject>

class CBoardSettings;
class MainWindowForm;

// Controller of the four administrator tabs ("Input", "Output", "Power", "Battery Protected"):
// each button reads values into its tab's fields or sends the tab's fields through the model.
// It keeps no state of its own and tracks no edits.
class CSuperUser : public QObject
{
    Q_OBJECT

public:
    CSuperUser(MainWindowForm *form, CBoardSettings *settings, QObject *parent);

    // Connects the eight buttons to their slots.
    void Init();

public slots:
    void GetAnalog();
    void GetDigital();
    void SetOutput();
    void GetOutput();
    void SetPower();
    void GetPower();
    void SetBattery();
    void GetBattery();

private:
    MainWindowForm *m_form;
    CBoardSettings *m_settings;
    QObject *m_owner;
};
