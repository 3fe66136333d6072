#include "pages/ActionFeedback.h"

#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "device/WriteReport.h"
#include "forms/MainWindowForm.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QProgressBar>
#include <QStatusBar>
#include <QWidget>

namespace {

// The action running now, and whether the window is handling its events in one of its waits.
CActionFeedback *g_running = nullptr;
bool g_inWait = false;

// What the user does with mouse, keyboard, wheel, touch or pen; a shortcut arrives as its own
// event after the key press that makes it.
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

CActionFeedback::CActionFeedback(QProgressBar *bar, QStatusBar *status, CBoardSettings *settings,
                                 int steps, StepBy by)
    : m_role(g_running ? (g_inWait ? Role::Refused : Role::Nested) : Role::Outer),
      m_settings(settings)
{
    // The running action already shows, filters and reports for both.
    if (m_role != Role::Outer)
        return;
    g_running = this;
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
    qApp->installEventFilter(this);
    m_previousSlice = settings->Link().SetWaitSlice(&CActionFeedback::HandleEvents);
}

CActionFeedback::CActionFeedback(const MainWindowForm *form, CBoardSettings *settings, int steps,
                                 StepBy by)
    : CActionFeedback(form->progressBar, form->statusBar, settings, steps, by)
{
}

CActionFeedback::~CActionFeedback()
{
    if (m_role != Role::Outer)
        return;
    // Input that arrived, or that Qt set aside, while the action ran is dropped with the rest.
    HandleEvents();
    m_settings->Link().SetWaitSlice(m_previousSlice);
    qApp->removeEventFilter(this);
    m_settings->Link().SetLineObserver(m_previousObserver);
    if (m_bar) {
        m_bar->setRange(m_barMinimum, m_barMaximum);
        m_bar->setValue(0);
    }
    QApplication::restoreOverrideCursor();
    Report();
    g_running = nullptr;
    // Queued, so that a window closed during the start-up closes once the event loop runs.
    for (const QPointer<QWidget> &window : m_closing) {
        if (window)
            QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
    }
}

bool CActionFeedback::MayStart()
{
    return !(g_running && g_inWait);
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

bool CActionFeedback::eventFilter(QObject *watched, QEvent *event)
{
    // A question the action asks takes its answer; Qt itself keeps input from the other windows.
    if (QGuiApplication::modalWindow())
        return false;
    if (IsInput(event->type()))
        return true;
    if (event->type() == QEvent::Close && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->isWindow()) {
        const QPointer<QWidget> window(static_cast<QWidget *>(watched));
        if (!m_closing.contains(window))
            m_closing << window;
        event->ignore();
        return true;
    }
    return false;
}

void CActionFeedback::HandleEvents()
{
    const bool wasInWait = g_inWait;
    g_inWait = true;
    QCoreApplication::processEvents();
    g_inWait = wasInWait;
}

void CActionFeedback::Report() const
{
    if (!m_status)
        return;
    const CAdvCmd &link = m_settings->Link();
    const int fileFailures = link.CommandFileFailures() - m_fileFailures;
    const int unanswered = link.UnansweredLines() - m_unansweredLines;
    if (fileFailures > 0)
        m_status->showMessage(CWriteReport::IncompleteCommandFile(
            BoardType::CommandFile(m_settings->GetBoardType()), fileFailures,
            link.CommandFileLines() - m_fileLines));
    else if (!m_outcome.isEmpty())
        m_status->showMessage(m_outcome);
    else if (unanswered > 0)
        m_status->showMessage(
            CWriteReport::Unanswered(unanswered, link.SerialLines() - m_serialLines));
}
