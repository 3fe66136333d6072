#include "app/ConnectionKeeper.h"

#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "device/PortWatch.h"
#include "device/ScanReport.h"
#include "device/WriteReport.h"
#include "forms/MainWindowForm.h"
#include "pages/ActionFeedback.h"
#include "pages/Curve.h"
#include "pages/General.h"
#include "pages/Wake.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStatusBar>

namespace {

QString Tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

CConnectionKeeper::CConnectionKeeper(MainWindowForm *form, CBoardSettings *settings,
                                     CActionGate *gate, CGeneral *general,
                                     const SessionPages &pages, CCurve *chart, QObject *parent)
    : QObject(parent), m_form(form), m_settings(settings), m_gate(gate), m_general(general),
      m_pages(pages), m_chart(chart),
      m_watch(new CPortWatch([link = &settings->Link()] { return link->ListedPorts(); }, this))
{
    connect(m_gate, &CActionGate::ExchangeBegun, m_watch, &CPortWatch::Pause);
    connect(m_gate, &CActionGate::Ended, this, &CConnectionKeeper::ActionEnded);
    connect(m_watch, &CPortWatch::ProbeDue, this, &CConnectionKeeper::ProbeNewPort);
    connect(m_watch, &CPortWatch::Vanished, this, &CConnectionKeeper::PortVanished);
    // The link goes before the keeper (the window's members before its children), so the
    // handler never outlives it.
    m_settings->Link().SetUnplugHandler([this] { LineGone(); });
}

void CConnectionKeeper::Follow()
{
    m_watch->Start();
}

void CConnectionKeeper::Connect(CActionFeedback *busy)
{
    if (m_settings->ConnectBoard()) {
        ReadOut(busy, false);
    } else {
        // Every listed port was tried just now: none of them is new.
        m_watch->Rebase();
        // Why no board answered stays in the status bar until the next attempt.
        m_form->statusBar->showMessage(CScanReport::Message(m_settings->Link().LastScan()));
        m_general->ShowConnection(false);
        m_form->leConf->setText(Tr("unknown"));
        m_settings->Reset();
        RefreshAll(false);
    }
    RedrawChart();
}

void CConnectionKeeper::ProbeNewPort(const QString &port)
{
    if (m_settings->IsConnected())
        return;
    const auto action = m_gate->Start();
    if (!action || !action->IsOuter() || InFileMode() || QGuiApplication::modalWindow()) {
        m_form->statusBar->showMessage(
            Tr("A new port appeared: %1. \"Connect\" uses it.").arg(port));
        return;
    }
    ConnectNewPort(*action, port);
}

void CConnectionKeeper::ConnectNewPort(const CActionGate::Action &action, const QString &port)
{
    CActionFeedback busy(action, m_form, m_settings, CBoardSettings::kReadOutSteps,
                         CActionFeedback::StepBy::Call);
    m_form->statusBar->showMessage(Tr("Connecting to the board on %1\u2026").arg(port));
    if (!m_settings->ConnectBoardOn(port)) {
        if (CScanReport::InUse(m_settings->Link().LastScan()))
            m_watch->Busy(port);
        m_form->statusBar->clearMessage();
        return;
    }
    std::array<bool, kSessionCount> unsent{};
    for (size_t page = 0; page < m_pages.size(); ++page)
        unsent[page] = m_pages[page]->HasUnsentEdits();
    ReadOut(&busy, true);
    RedrawChart();

    // A board of another type changes the pages, so their edits went.
    QStringList told{Tr("Connected to the board on %1.").arg(port)};
    for (size_t page = 0; page < m_pages.size(); ++page) {
        if (!unsent[page])
            continue;
        if (m_pages[page]->HasUnsentEdits())
            told << Tr("Photo Session %1 keeps your unsent edits.").arg(page + 1);
        else
            told << Tr("Photo Session %1 lost its unsent edits: the board is a %2.")
                        .arg(page + 1)
                        .arg(BoardType::Family(m_settings->GetBoardType()));
    }
    busy.SetOutcome(told.join(QLatin1Char(' ')));
}

void CConnectionKeeper::ReadOut(CActionFeedback *busy, bool keepEdits)
{
    m_general->ShowConnection(true);
    m_form->leConf->setText(Tr("by board"));
    // A read-out that fails part-way leaves the session pages as they were, but the board type
    // and version in use are shown; a changed type reloads the pages through the General page's
    // board change.
    if (m_settings->ReadAll([busy] { busy->Step(); }))
        RefreshAll(keepEdits);
    else
        m_general->Refresh();
}

void CConnectionKeeper::RefreshAll(bool keepEdits)
{
    // Showing the board type may run the General page's board change, which reloads the pages.
    m_general->Refresh();
    for (CWake *page : m_pages) {
        if (keepEdits && page->HasUnsentEdits())
            continue;
        page->GetWake();
        page->GetCPower();
        page->GetCOutput();
    }
}

void CConnectionKeeper::RedrawChart()
{
    m_chart->ComputeTimeline();
    m_chart->repaint();
}

void CConnectionKeeper::PortVanished(const QString &port)
{
    const CAdvCmd &link = m_settings->Link();
    if (port != link.PortName() || !link.IsConnected() || link.WasUnplugged())
        return;
    if (!TakeUnplugNow())
        m_vanished = port;
}

// Told by the link from the event loop, once per port.
void CConnectionKeeper::LineGone()
{
    if (!TakeUnplugNow())
        m_goneNoticed = true;
}

bool CConnectionKeeper::TakeUnplugNow()
{
    const auto action = m_gate->Start();
    if (!action || !action->IsOuter())
        return false;
    TakeUnplug(true);
    return true;
}

// An unplug during the action is taken now. In a live type its report told of it already; in a
// file mode nothing did.
void CConnectionKeeper::ActionEnded()
{
    m_watch->Resume(); // nothing to resume when the action did not wait on the line
    const CAdvCmd &link = m_settings->Link();
    if (link.WasUnplugged() && (m_goneNoticed || !InFileMode()))
        TakeUnplug(InFileMode());
    else if (!m_vanished.isEmpty() && m_vanished == link.PortName() && link.IsConnected())
        TakeUnplug(true);
    m_goneNoticed = false;
    m_vanished.clear();
}

void CConnectionKeeper::TakeUnplug(bool tell)
{
    const QString port = m_settings->Link().PortName();
    if (!InFileMode()) {
        m_settings->Disconnect();
        m_general->ShowConnection(false);
        // Should the port still be listed, or come back before the next listing, it is new.
        m_watch->Forget(port);
    }
    if (tell)
        m_form->statusBar->showMessage(CWriteReport::Unplugged(port));
}

bool CConnectionKeeper::InFileMode() const
{
    return BoardType::IsFileMode(m_settings->GetBoardType());
}
