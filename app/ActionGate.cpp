#include "app/ActionGate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGestureEvent>
#include <QMainWindow>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QWhatsThisClickedEvent>

namespace {

const char *const kClosingMessage =
    QT_TRANSLATE_NOOP("MainWindow", "Closing once the exchange with the board has ended.");

// What the user does, told by the event's class so that a new kind of input is caught too:
// mouse, keyboard, wheel, touch, pen, context menu, hover and native gestures are input events;
// text from an input method, drag and drop, shortcuts, recognised gestures, tooltip and "What's
// This" requests come as events of their own.
bool IsUserInput(const QEvent *event)
{
    return dynamic_cast<const QInputEvent *>(event) ||
           dynamic_cast<const QInputMethodEvent *>(event) ||
           dynamic_cast<const QDropEvent *>(event) ||
           dynamic_cast<const QDragLeaveEvent *>(event) ||
           dynamic_cast<const QShortcutEvent *>(event) ||
           dynamic_cast<const QGestureEvent *>(event) || dynamic_cast<const QHelpEvent *>(event) ||
           dynamic_cast<const QWhatsThisClickedEvent *>(event);
}

int LoopLevel()
{
    return QThread::currentThread()->loopLevel();
}

} // namespace

CActionGate::Action::~Action()
{
    if (m_outer)
        m_gate->End();
}

CActionGate::CActionGate(QMainWindow *window, CAdvCmd *link)
    : QObject(window), m_window(window), m_link(link)
{
}

std::unique_ptr<CActionGate::Action> CActionGate::Start()
{
    if (m_running) {
        if (m_inWait || LoopLevel() > m_loopLevel)
            return nullptr;
        return std::unique_ptr<Action>(new Action(this, false));
    }
    m_running = true;
    m_waited = false;
    m_loopLevel = LoopLevel();
    qApp->installEventFilter(this);
    m_previousSlice = m_link->SetWaitSlice([this] {
        if (!m_waited) {
            m_waited = true;
            emit ExchangeBegun();
        }
        HandleEvents();
    });
    return std::unique_ptr<Action>(new Action(this, true));
}

void CActionGate::End()
{
    // Input that arrived, or that the platform set aside, while the action waited is dropped too.
    if (m_waited)
        HandleEvents();
    m_link->SetWaitSlice(m_previousSlice);
    qApp->removeEventFilter(this);
    m_running = false;
    // Queued, so that a window closed during its start-up closes once the event loop runs.
    if (m_closing)
        QTimer::singleShot(0, m_window, &QWidget::close);
    emit Ended();
}

void CActionGate::HandleEvents()
{
    const bool wasInWait = m_inWait;
    m_inWait = true;
    QCoreApplication::processEvents();
    m_inWait = wasInWait;
}

bool CActionGate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        DeferClose();
        event->ignore();
        return true;
    }
    // A question the action asks takes its answer; Qt itself keeps input from the other windows.
    if (QGuiApplication::modalWindow())
        return false;
    return IsUserInput(event);
}

// The message stays until the window closes: whatever the action reports meanwhile gives way.
void CActionGate::DeferClose()
{
    if (m_closing)
        return;
    m_closing = true;
    QStatusBar *status = m_window->statusBar();
    const QString message = QCoreApplication::translate("MainWindow", kClosingMessage);
    connect(status, &QStatusBar::messageChanged, this, [status, message](const QString &shown) {
        if (shown != message)
            status->showMessage(message);
    });
    status->showMessage(message);
}
