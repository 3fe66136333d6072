#pragma once

#include "device/AdvCmd.h"

class CBoardSettings;
class MainWindowForm;
class QProgressBar;
class QStatusBar;

// What the window shows while one user action talks to the board or writes a command file, and
// what it tells afterwards.
//
// While it lives: the wait cursor, and, for work of more than one step, the progress bar showing
// the share done, repainted at once after each step since the event loop is blocked. When it
// goes: the cursor as it was, the bar back at 0, and in the status bar the lines of the action
// that could not be written to the command file, if any.
class CActionFeedback
{
public:
    enum class StepBy
    {
        Line, // each request or setting line the link writes
        Call, // each call of Step()
    };

    CActionFeedback(QProgressBar *bar, QStatusBar *status, const CBoardSettings *settings,
                    int steps, StepBy by = StepBy::Line);
    // The window's own progress bar and status bar.
    CActionFeedback(const MainWindowForm *form, const CBoardSettings *settings, int steps,
                    StepBy by = StepBy::Line);
    ~CActionFeedback();
    CActionFeedback(const CActionFeedback &) = delete;
    CActionFeedback &operator=(const CActionFeedback &) = delete;

    void Step();

private:
    void ReportCommandFile() const;

    QProgressBar *m_bar;
    QStatusBar *m_status;
    const CBoardSettings *m_settings;
    int m_steps;
    int m_done = 0;
    int m_barMinimum = 0;
    int m_barMaximum = 0;
    int m_fileLines;
    int m_fileFailures;
    CAdvCmd::LineObserver m_previous;
};
