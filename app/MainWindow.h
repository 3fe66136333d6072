#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "forms/MainWindowForm.h"

class CActionFeedback;
class CActionGate;
class CBoardSettings;
class CCurve;
class CGeneral;
class CSuperUser;
class CWake;

class QScrollArea;

// The program's one window. It builds the form on itself, hosts every other object of the tool
// and switches between the standard page set (General and the four photo sessions) and the
// administrator set, which adds the Input, Output, Power and battery pages. It shows itself as
// soon as it is built and then looks for a board. Every action of the window and its pages starts
// through the window's gate; SIGTERM and SIGHUP close the window as its close button does.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The settings model and its link, for the tools and tests that watch the board.
    CBoardSettings &Settings() { return *m_settings; }

public slots:
    // Shows the administrator pages at tab indices 5 to 8.
    void Admin();
    // Takes the administrator pages out again.
    void Standard();
    // Scans the serial ports for a board and reads its settings into the pages.
    void Connect();
    // Loads a programme file into the model and the pages and gives it to the board, the
    // command file, or nobody, as the link allows.
    void OpenProgramme();
    // Writes the model's programme to a programme file; the board is not asked.
    void SaveProgramme();

private:
    static constexpr int kSessionPages = 4;

    // Scans the serial ports for a board and reads its settings into the pages, as one action.
    void RunConnection(CActionFeedback *busy);
    // Copies the model into every page.
    void RefreshAll();
    // Reloads the session pages and the chart from the model, as after an import.
    void ReloadSessionPages();
    void RemoveAdminTabs();

    MainWindowForm *m_form;
    std::unique_ptr<CBoardSettings> m_settings;
    CActionGate *m_gate = nullptr;
    CGeneral *m_general = nullptr;
    std::array<CWake *, kSessionPages> m_wakes{};
    CSuperUser *m_superUser = nullptr;
    // The administrator pages, kept while they are out of the tab widget.
    std::array<QWidget *, MainWindowForm::kAdminTabCount> m_adminPages{};
    CCurve *m_chart = nullptr;
    QScrollArea *m_chartArea = nullptr;
};
