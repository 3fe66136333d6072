#include "device/PortWatch.h"

#include "device/PortScan.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace {

// A device file appears a moment before the system has set up its port; listing a little later
// finds the port complete.
constexpr int kSettleMs = 250;

} // namespace

CPortWatch::CPortWatch(Lister lister, QObject *parent)
    : QObject(parent), m_lister(std::move(lister))
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    m_dueTimer.setSingleShot(true);
    // A coarse timer may fire early, and a probe must not come before its second has passed.
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_listTimer, &QTimer::timeout, this, &CPortWatch::List);
    connect(&m_settleTimer, &QTimer::timeout, this, &CPortWatch::List);
    connect(&m_dueTimer, &QTimer::timeout, this, &CPortWatch::TellDue);
    connect(&m_folder, &QFileSystemWatcher::directoryChanged, &m_settleTimer,
            QOverload<>::of(&QTimer::start));
}

void CPortWatch::Start()
{
    m_ports = Listed();
    const bool watched = m_folder.addPath(QDir::cleanPath(CPortScan::kDeviceFolder));
    m_listTimer.start(m_intervalMs > 0 ? m_intervalMs : watched ? kListMs : kPollMs);
}

void CPortWatch::Rebase()
{
    if (!m_listTimer.isActive()) // not started
        return;
    m_ports = Listed();
    m_new.clear();
    ScheduleNext();
}

void CPortWatch::SetInterval(int ms)
{
    m_intervalMs = ms;
    if (m_listTimer.isActive())
        m_listTimer.start(ms);
}

void CPortWatch::Pause()
{
    ++m_paused;
}

// What fell into the pause is told from the event loop, never from inside this call.
void CPortWatch::Resume()
{
    if (m_paused == 0 || --m_paused > 0)
        return;
    if (m_listWanted)
        QTimer::singleShot(0, this, &CPortWatch::List);
    ScheduleNext();
}

void CPortWatch::Busy(const QString &port)
{
    const auto found = m_new.find(port);
    if (found == m_new.end() || found->retries >= kBusyRetries)
        return;
    ++found->retries;
    found->at = QDeadlineTimer(kBusyRetryMs, Qt::PreciseTimer);
    ScheduleNext();
}

void CPortWatch::Forget(const QString &port)
{
    m_ports.removeAll(port);
    m_new.remove(port);
    ScheduleNext();
}

QStringList CPortWatch::Listed() const
{
    QStringList ports;
    for (const QString &name : m_lister()) {
        if (QFileInfo::exists(CPortScan::DevicePath(name)))
            ports << name;
    }
    ports.removeDuplicates();
    return ports;
}

void CPortWatch::List()
{
    if (m_paused > 0) {
        m_listWanted = true;
        return;
    }
    m_listWanted = false;
    const QStringList listed = Listed();
    const QStringList before = std::exchange(m_ports, listed);
    QStringList gone;
    for (const QString &port : before) {
        if (!listed.contains(port)) {
            gone << port;
            m_new.remove(port);
        }
    }
    for (const QString &port : listed) {
        if (!before.contains(port))
            m_new.insert(port, {QDeadlineTimer(kProbeDelayMs, Qt::PreciseTimer), 0});
    }
    ScheduleNext();
    for (const QString &port : gone)
        emit Vanished(port);
}

// Whoever probes a port may run the event loop meanwhile, so each port is looked at again
// before it is told.
void CPortWatch::TellDue()
{
    if (m_paused > 0)
        return;
    QStringList due;
    for (auto it = m_new.begin(); it != m_new.end(); ++it) {
        if (!it->at.isForever() && it->at.hasExpired()) {
            due << it.key();
            it->at = QDeadlineTimer(QDeadlineTimer::Forever);
        }
    }
    ScheduleNext();
    for (const QString &port : due) {
        if (m_ports.contains(port))
            emit ProbeDue(port);
    }
}

void CPortWatch::ScheduleNext()
{
    qint64 next = -1;
    for (const Due &port : std::as_const(m_new)) {
        if (!port.at.isForever())
            next = next < 0 ? port.at.remainingTime() : std::min(next, port.at.remainingTime());
    }
    if (next < 0)
        m_dueTimer.stop();
    else
        m_dueTimer.start(int(next));
}
