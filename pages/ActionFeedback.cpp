#include "pages/ActionFeedback.h"

#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "device/WriteReport.h"
#include "forms/MainWindowForm.h"

#include <QApplication>
#include <QProgressBar>
#include <QStatusBar>

CActionFeedback::CActionFeedback(const CActionGate::Action &action, QProgressBar *bar,
                                 QStatusBar *status, CBoardSettings *settings, int steps, StepBy by)
    : m_shown(action.IsOuter()), m_settings(settings)
{
    // The outermost action already shows and reports for the ones that join it.
    if (!m_shown)
        return;
    m_bar = steps > 1 ? bar : nullptr;
    m_status = status;
    m_steps = steps;
    const CAdvCmd &link = settings->Link();
    m_fileLines = link.CommandFileLines();
    m_fileFailures = link.CommandFileFailures();
    m_serialLines = link.SerialLines();
    m_unansweredLines = link.UnansweredLines();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_bar) {
        m_barMinimum = m_bar->minimum();
        m_barMaximum = m_bar->maximum();
        m_bar->setRange(0, m_steps);
        m_bar->setValue(0);
    }
    if (m_status)
        m_status->clearMessage();
    // The observer is chained, so whoever watched the link before still sees every line.
    m_previousObserver = settings->Link().SetLineObserver([this, by](const QByteArray &line) {
        if (by == StepBy::Line)
            Step();
        if (m_previousObserver)
            m_previousObserver(line);
    });
}

CActionFeedback::CActionFeedback(const CActionGate::Action &action, const MainWindowForm *form,
                                 CBoardSettings *settings, int steps, StepBy by)
    : CActionFeedback(action, form->progressBar, form->statusBar, settings, steps, by)
{
}

CActionFeedback::~CActionFeedback()
{
    if (!m_shown)
        return;
    m_settings->Link().SetLineObserver(m_previousObserver);
    if (m_bar) {
        m_bar->setRange(m_barMinimum, m_barMaximum);
        m_bar->setValue(0);
    }
    QApplication::restoreOverrideCursor();
    Report();
}

void CActionFeedback::Step()
{
    if (!m_bar || m_done >= m_steps)
        return;
    // The bar repaints itself at once whenever the change shows.
    m_bar->setValue(++m_done);
}

void CActionFeedback::SetOutcome(const QString &message)
{
    m_outcome = message;
}

bool CActionFeedback::KeepBackup(const CBackupStore &store, int lines)
{
    SetLines(lines);
    QString message;
    if (m_settings->KeepBackup(store, lines, &message))
        return true;
    SetOutcome(message);
    return false;
}

void CActionFeedback::Report() const
{
    if (!m_status)
        return;
    const CAdvCmd &link = m_settings->Link();
    const int fileFailures = link.CommandFileFailures() - m_fileFailures;
    const int unanswered = link.UnansweredLines() - m_unansweredLines;
    // A port that went is closed as soon as no action runs, so one that is gone now went during
    // this action. In a file mode the lines go to the command file all the same.
    const bool unplugged =
        link.WasUnplugged() && !BoardType::IsFileMode(m_settings->GetBoardType());
    if (fileFailures > 0)
        m_status->showMessage(CWriteReport::IncompleteCommandFile(
            BoardType::CommandFile(m_settings->GetBoardType()), fileFailures,
            link.CommandFileLines() - m_fileLines));
    else if (unplugged)
        m_status->showMessage(
            m_lines > 0 ? CWriteReport::UnpluggedDuringWrite(
                              link.PortName(), link.SerialLines() - m_serialLines, m_lines)
                        : CWriteReport::Unplugged(link.PortName()));
    else if (!m_outcome.isEmpty())
        m_status->showMessage(m_outcome);
    else if (unanswered > 0)
        m_status->showMessage(
            CWriteReport::Unanswered(unanswered, link.SerialLines() - m_serialLines));
}
