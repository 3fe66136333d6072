#pragma once

#include "device/AdvCmd.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class CBoardSettings;
class MainWindowForm;
class QProgressBar;
class QStatusBar;
class QWidget;

// One user action that talks to the board or writes a command file, as the window lives it.
//
// While it lives: the wait cursor; for work of more than one step, the progress bar showing the
// share done. Between the slices of every wait on the line the window handles its events, so it
// repaints and answers the desktop, but input is dropped, not kept for later, and a request to
// close a window is kept until the action has ended. It starts by clearing the status bar. When
// it goes: the cursor as it was, the bar back at 0, the status bar telling what did not arrive
// (lines that could not be written to the command file, or setting lines the board did not
// answer) or the action's own outcome, and a kept close request carried out.
//
// Only one action runs at a time. An action started from an event handled during another one's
// wait is refused; one the running action starts itself (a question it asks, answered with Yes)
// becomes part of it.
class CActionFeedback : public QObject
{
public:
    enum class StepBy
    {
        Line, // each request or setting line the link writes
        Call, // each call of Step()
    };

    CActionFeedback(QProgressBar *bar, QStatusBar *status, CBoardSettings *settings, int steps,
                    StepBy by = StepBy::Line);
    // The window's own progress bar and status bar.
    CActionFeedback(const MainWindowForm *form, CBoardSettings *settings, int steps,
                    StepBy by = StepBy::Line);
    ~CActionFeedback() override;
    CActionFeedback(const CActionFeedback &) = delete;
    CActionFeedback &operator=(const CActionFeedback &) = delete;

    // Another action was waiting on the line when this one was to start: do nothing.
    bool Refused() const { return m_role == Role::Refused; }
    // False while an action waits on the line, when nothing may start, not even a question.
    static bool MayStart();

    void Step();
    // The message the action ends with, instead of the report of unanswered lines; a command file
    // that could not be written whole is still reported instead.
    void SetOutcome(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Role
    {
        Outer,   // the running action
        Nested,  // started by the running action itself
        Refused, // started from an event during the running action's wait
    };

    static void HandleEvents();
    void Report() const;

    Role m_role;
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
    QString m_outcome;
    QVector<QPointer<QWidget>> m_closing;
    CAdvCmd::LineObserver m_previousObserver;
    CAdvCmd::WaitSlice m_previousSlice;
};
