#pragma once

#include "device/BoardRecords.h"

#include <QObject>
#include <array>

class CActionGate;
class CBackupStore;
class CBoardSettings;
class CCurve;
class MainWindowForm;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QTabWidget;
class QTimeEdit;
class QWidget;

// Controller of one "Photo Session" page: copies the session's trigger, power times and output
// timings between the model and the page's widgets, tracks unsaved edits in three groups, sends
// the changed groups and switches between the standard and the administrator view. Its slots
// start as actions of the window's gate, except those that note an edit: an edit made while a
// group is sent stays marked as unsent.
//
// The page's widgets are found by object name under the owner; a control that is not found
// exactly once stays unbound (null) and the page works without it.
class CWake : public QObject
{
    Q_OBJECT

public:
    // Before it sends to a live board, a save keeps what the board held in `backups`.
    CWake(int index, MainWindowForm *form, CBoardSettings *settings, CCurve *chart,
          CActionGate *gate, const CBackupStore *backups, QObject *parent);

    // Binds the page's controls and connects them; always true.
    bool Init();
    // The page holds edits not yet sent with "SetSettings".
    bool HasUnsentEdits() const { return m_wakeChanged || m_powerChanged || m_outputChanged; }

public slots:
    void GetInfo();
    void SetInfo();
    void GetWake();
    void SetWake();
    void GetCPower();
    void SetCPower();
    void GetCOutput();
    void SetCOutput();
    void OnChange();
    void OnChangeTime();
    void OnChangeCPower();
    void OnChangeCOutput();
    void TabChange();
    void GetStandard();
    void GetAdmin();
    void InitAff(bool bStandard);

private:
    template <typename T> T *Bind(const QString &prefix) const;
    template <typename T> T *BindOutput(const QString &prefix, int output) const;
    void SelectTrigger(QRadioButton *chosen);
    void RedrawChart();

    MainWindowForm *m_form;
    CBoardSettings *m_settings;
    CCurve *m_chart;
    CActionGate *m_gate;
    const CBackupStore *m_backups;
    QObject *m_owner;
    int m_index;
    bool m_wakeChanged = false;
    bool m_powerChanged = false;
    bool m_outputChanged = false;
    // Set while the model fills the trigger widgets, so that their change signals do not move
    // the trigger selection; the page counts as loading until Init() has run.
    bool m_loading = true;

    QRadioButton *m_noaction = nullptr;
    QRadioButton *m_trigtime = nullptr;
    QRadioButton *m_trigin1 = nullptr;
    QRadioButton *m_trigin2 = nullptr;
    QTimeEdit *m_time = nullptr;
    QTimeEdit *m_interval = nullptr;
    QLineEdit *m_repeat = nullptr;
    QComboBox *m_detect1 = nullptr;
    QComboBox *m_detect2 = nullptr;
    QPushButton *m_pbGetSetting = nullptr;
    QPushButton *m_pbSetSetting = nullptr;
    QLabel *m_ltimepower1 = nullptr;
    QLabel *m_ltimepower2 = nullptr;
    QLineEdit *m_timepower1 = nullptr;
    QLineEdit *m_timepower2 = nullptr;
    QTabWidget *m_tabWidget1 = nullptr;

    std::array<QLineEdit *, kMaxOutputs> m_outnumber{};
    std::array<QLineEdit *, kMaxOutputs> m_outdelay{};
    std::array<QLineEdit *, kMaxOutputs> m_outduration{};
    std::array<QLineEdit *, kMaxOutputs> m_outinterval{};
    // The output sub-pages as the form made them, kept while their tabs are taken out.
    std::array<QWidget *, kMaxOutputs> m_outputPages{};
};

// The four session pages, in session order.
using SessionPages = std::array<CWake *, kSessionCount>;
