#pragma once

#include <QObject>

class CActionGate;
class CBackupStore;
class CBoardSettings;
class MainWindowForm;

// Controller of the four administrator tabs ("Input", "Output", "Power", "Battery Protected"):
// each button reads values into its tab's fields or sends the tab's fields through the model.
// It keeps no state of its own and tracks no edits; every slot starts as an action of the
// window's gate.
class CSuperUser : public QObject
{
    Q_OBJECT

public:
    // Before the output or power modes go to a live board, what it held is kept in `backups`.
    CSuperUser(MainWindowForm *form, CBoardSettings *settings, CActionGate *gate,
               const CBackupStore *backups, QObject *parent);

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
    CActionGate *m_gate;
    const CBackupStore *m_backups;
    QObject *m_owner;
};
