#include "pages/ActionFeedback.h"

#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "forms/MainWindowForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProgressBar>
#include <QStatusBar>

CActionFeedback::CActionFeedback(QProgressBar *bar, QStatusBar *status,
                                 const CBoardSettings *settings, int steps, StepBy by)
    : m_bar(steps > 1 ? bar : nullptr), m_status(status), m_settings(settings), m_steps(steps),
      m_fileLines(settings->Link().CommandFileLines()),
      m_fileFailures(settings->Link().CommandFileFailures())
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_bar) {
        m_barMinimum = m_bar->minimum();
        m_barMaximum = m_bar->maximum();
        m_bar->setRange(0, m_steps);
        m_bar->setValue(0);
    }
    // The observer is chained, so whoever watched the link before still sees every line.
    m_previous = CAdvCmd::SetLineObserver([this, by](const QByteArray &line) {
        if (by == StepBy::Line)
            Step();
        if (m_previous)
            m_previous(line);
    });
}

CActionFeedback::CActionFeedback(const MainWindowForm *form, const CBoardSettings *settings,
                                 int steps, StepBy by)
    : CActionFeedback(form->progressBar, form->statusBar, settings, steps, by)
{
}

CActionFeedback::~CActionFeedback()
{
    CAdvCmd::SetLineObserver(m_previous);
    if (m_bar) {
        m_bar->setRange(m_barMinimum, m_barMaximum);
        m_bar->setValue(0);
        m_bar->repaint();
    }
    QApplication::restoreOverrideCursor();
    ReportCommandFile();
}

void CActionFeedback::Step()
{
    if (!m_bar || m_done >= m_steps)
        return;
    m_bar->setValue(++m_done);
    m_bar->repaint();
}

void CActionFeedback::ReportCommandFile() const
{
    const int failed = m_settings->Link().CommandFileFailures() - m_fileFailures;
    if (failed == 0 || !m_status)
        return;
    const int lines = m_settings->Link().CommandFileLines() - m_fileLines;
    m_status->showMessage(
        QCoreApplication::translate("MainWindow",
                                    "%1 is incomplete: %2 of %3 lines could not be written.")
            .arg(BoardType::CommandFile(m_settings->GetBoardType()))
            .arg(failed)
            .arg(lines));
}
