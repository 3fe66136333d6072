#pragma once

#include "app/ActionGate.h"
#include "pages/Wake.h"

#include <QObject>
#include <QString>
#include <array>

class CActionFeedback;
class CBoardSettings;
class CCurve;
class CGeneral;
class CPortWatch;
class MainWindowForm;

// Keeps the window connected to the board on its cable.
//
// It runs the connection of start-up and "Connect": every listed port is probed, and the pages
// show what the board holds, or the reset values when no board answers. Once it follows the
// cable, it keeps the port list current (never while an action talks to the board):
// - While the window is not connected, a port that appears is probed alone, a second after it is
//   first listed (and each second while another program holds it, ten times at most). A board
//   that answers is connected and read out as "Connect" does, except that a session page holding
//   unsent edits keeps them when the board is of the type shown before. Ports listed before are
//   never opened in the background.
// - In a file mode, or while a dialog or another action runs, the status bar only tells of the new
//   port.
// - The board's port going (its line hangs up, or it leaves the list) while no action runs shows
//   "Disconnected" and closes the port; the pages keep what they show and the model what it holds.
//   An unplug during an action is told by the action's own report, and shown as "Disconnected"
//   when it ends. In a file mode the link stays connected: the status bar alone tells.
class CConnectionKeeper : public QObject
{
public:
    CConnectionKeeper(MainWindowForm *form, CBoardSettings *settings, CActionGate *gate,
                      CGeneral *general, const SessionPages &pages, CCurve *chart, QObject *parent);

    // The connection sequence of start-up and "Connect", within the running action.
    void Connect(CActionFeedback *busy);
    // From now on follows the cable.
    void Follow();
    CPortWatch &Watch() { return *m_watch; }

private:
    void ProbeNewPort(const QString &port);
    void ConnectNewPort(const CActionGate::Action &action, const QString &port);
    // After the handshake: the read-out and the pages, those with unsent edits kept if told so.
    void ReadOut(CActionFeedback *busy, bool keepEdits);
    void RefreshAll(bool keepEdits);
    void RedrawChart();
    void PortVanished(const QString &port);
    void LineGone();
    void ActionEnded();
    // The board's port went: shown, and in a live type closed; the status bar tells if `tell`.
    void TakeUnplug(bool tell);
    // TakeUnplug() as an action of its own, told; false, doing nothing, while another runs.
    bool TakeUnplugNow();
    bool InFileMode() const;

    MainWindowForm *m_form;
    CBoardSettings *m_settings;
    CActionGate *m_gate;
    CGeneral *m_general;
    SessionPages m_pages;
    CCurve *m_chart;
    CPortWatch *m_watch;
    bool m_goneNoticed = false; // the link told of its port going during an action
    QString m_vanished;         // the board's port left the list during an action
};
