#pragma once

#include "app/ActionGate.h"
#include "device/AdvCmd.h"

#include <QString>

class CBackupStore;
class CBoardSettings;
class MainWindowForm;
class QProgressBar;
class QStatusBar;

// What the window shows of one action that talks to the board or writes a command file.
//
// While it lives: the wait cursor; for work of more than one step, the progress bar showing the
// share done. It starts by clearing the status bar. When it goes: the cursor as it was, the bar
// back at 0, and the status bar telling what did not arrive (lines that could not be written to
// the command file, the board unplugged meanwhile and how many of the action's setting lines were
// sent before, or setting lines the board did not answer) or the action's own outcome.
//
// It shows for the outermost action only: within an action that others join, the one that
// started first shows for all.
class CActionFeedback
{
public:
    enum class StepBy
    {
        Line, // each request or setting line the link writes
        Call, // each call of Step()
    };

    CActionFeedback(const CActionGate::Action &action, QProgressBar *bar, QStatusBar *status,
                    CBoardSettings *settings, int steps, StepBy by = StepBy::Line);
    // The window's own progress bar and status bar.
    CActionFeedback(const CActionGate::Action &action, const MainWindowForm *form,
                    CBoardSettings *settings, int steps, StepBy by = StepBy::Line);
    ~CActionFeedback();
    CActionFeedback(const CActionFeedback &) = delete;
    CActionFeedback &operator=(const CActionFeedback &) = delete;

    void Step();
    // The message the action ends with, instead of the report of unanswered lines; a command file
    // that could not be written whole is still reported instead.
    void SetOutcome(const QString &message);
    // The action is to send `lines` setting lines to the board.
    void SetLines(int lines) { m_lines = lines; }
    // Before a write of `lines` programme lines, keeps what a live board holds in `store`
    // (CBoardSettings::KeepBackup). False, with why as the outcome, when nothing may be sent.
    // The action is to send those lines.
    bool KeepBackup(const CBackupStore &store, int lines);

private:
    void Report() const;

    bool m_shown;
    QProgressBar *m_bar = nullptr;
    QStatusBar *m_status = nullptr;
    CBoardSettings *m_settings;
    int m_steps = 0;
    int m_done = 0;
    int m_barMinimum = 0;
    int m_barMaximum = 0;
    int m_fileLines = 0;
    int m_fileFailures = 0;
    int m_serialLines = 0;
    int m_unansweredLines = 0;
    int m_lines = 0;
    QString m_outcome;
    CAdvCmd::LineObserver m_previousObserver;
};
