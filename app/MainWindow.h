#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "forms/MainWindowForm.h"
#include "pages/Wake.h"

class CActionGate;
class CBackupStore;
class CBoardSettings;
class CConnectionKeeper;
class CPortWatch;
class CProgrammeActions;
class CSuperUser;

class QScrollArea;

// The program's one window. It builds the form on itself, hosts every other object of the tool
// and switches between the standard page set (General and the four photo sessions) and the
// administrator set, which adds the Input, Output, Power and battery pages. It shows itself as
// soon as it is built and then looks for a board; from then on it connects a board plugged in and
// notices one unplugged (CConnectionKeeper). Every action of the window and its pages starts
// through the window's gate; SIGTERM and SIGHUP close the window as its close button does. Every
// write of a programme setting to a live board keeps a backup of what the board held first.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // A programme file given is opened, as "Open Programme…" opens one, once the window has
    // looked for a board.
    explicit MainWindow(const QString &programmeFile = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

    // The settings model and its link, for the tools and tests that watch the board.
    CBoardSettings &Settings() { return *m_settings; }
    // The watch of the serial ports, for the tools and tests that change how often it lists.
    CPortWatch &PortWatch();

public slots:
    // Shows the administrator pages at tab indices 5 to 8.
    void Admin();
    // Takes the administrator pages out again.
    void Standard();
    // Scans the serial ports for a board and reads its settings into the pages.
    void Connect();

private:
    void RemoveAdminTabs();

    MainWindowForm *m_form;
    std::unique_ptr<CBoardSettings> m_settings;
    std::unique_ptr<CBackupStore> m_backups;
    CActionGate *m_gate = nullptr;
    SessionPages m_wakes{};
    CSuperUser *m_superUser = nullptr;
    CProgrammeActions *m_programmeActions = nullptr;
    CConnectionKeeper *m_keeper = nullptr;
    // The administrator pages, kept while they are out of the tab widget.
    std::array<QWidget *, MainWindowForm::kAdminTabCount> m_adminPages{};
    QScrollArea *m_chartArea = nullptr;
};
