#pragma once

#include "device/AdvCmd.h"

#include <QObject>
#include <memory>

class QMainWindow;

// Lets one user action at a time change the model, the link or the pages of a window.
//
// Every slot that does so starts through Start(). While the outermost action runs, the window
// handles its events between the slices of every wait on the line, so it repaints and answers the
// desktop; but nothing the user does reaches a widget (input is dropped, not kept for later),
// unless a question or dialog the action opened takes it, and a request to close the window waits
// until the action has ended, telling so in the status bar.
//
// The gate tells when the running action begins to talk to the board and when it ends.
//
// An action started by the running one itself (a question it asks, a board change it causes)
// joins it. One started from an event handled meanwhile, in a wait on the line or in the event
// loop of a dialog the action opened, is refused: the slot changes nothing.
class CActionGate : public QObject
{
    Q_OBJECT

public:
    // A started action; it ends when the object goes.
    class Action
    {
    public:
        ~Action();
        Action(const Action &) = delete;
        Action &operator=(const Action &) = delete;

        // The action the others join; per-action feedback shows for it alone.
        bool IsOuter() const { return m_outer; }

    private:
        friend class CActionGate;
        Action(CActionGate *gate, bool outer) : m_gate(gate), m_outer(outer) {}

        CActionGate *m_gate;
        bool m_outer;
    };

    // Guards `window` (also the gate's owner), whose actions wait on `link`.
    CActionGate(QMainWindow *window, CAdvCmd *link);

    // The one entry of every action: nothing when the action is refused.
    std::unique_ptr<Action> Start();

signals:
    // The running action waits on the line for the first time: it talks to the board until it
    // ends.
    void ExchangeBegun();
    // The outermost action has ended; a new one may start.
    void Ended();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void End();
    void HandleEvents();
    void DeferClose();

    QMainWindow *m_window;
    CAdvCmd *m_link;
    bool m_running = false;
    bool m_inWait = false;
    bool m_waited = false; // the running action has waited on the line
    int m_loopLevel = 0;   // the event-loop level the running action started at
    bool m_closing = false;
    CAdvCmd::WaitSlice m_previousSlice;
};
