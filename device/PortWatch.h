#pragma once

#include <QDeadlineTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

// Keeps the list of serial ports current and tells which ports are new and which went, for an
// owner that probes a new port and notices a board's port going. It needs an event loop, no
// widgets.
//
// It lists when the device folder /dev changes, and at least every 10 s besides; where the folder
// cannot be watched, once a second. A port counts as listed while its discovery names it and its
// device file exists, so a port named on the command line is listed only while it is plugged in.
// The first listing, Start(), only notes what is there: none of it is new. A port that was not in
// the previous listing is new: it is due for a probe 1 s after the listing that first shows it.
// If the probe finds it in use by another program (Busy()), it is due again a second later, at
// most ten times. A port that leaves the list is told as vanished, and is no longer due; so is a
// port whose owner saw it go first (Forget()).
//
// While an exchange with a board runs (between Pause() and Resume()), nothing is listed and no
// probe is told; what came due meanwhile is told once the exchange has ended.
class CPortWatch : public QObject
{
    Q_OBJECT

public:
    // Names the serial ports there are: the link's discovery seam (CAdvCmd::ListedPorts()).
    using Lister = std::function<QStringList()>;

    static constexpr int kListMs = 10000;      // listings besides those of a changing device folder
    static constexpr int kPollMs = 1000;       // listings when the device folder cannot be watched
    static constexpr int kProbeDelayMs = 1000; // from the listing that first shows a port
    static constexpr int kBusyRetryMs = 1000;  // from a probe that found the port in use
    static constexpr int kBusyRetries = 10;

    explicit CPortWatch(Lister lister, QObject *parent = nullptr);

    // Takes the first listing, outside an exchange, and keeps the list current from then on.
    void Start();
    // Takes the listing as it is now as the known one, telling nothing: for an owner that has just
    // probed every listed port itself. Nothing listed now is new any more.
    void Rebase();
    // Lists every `ms` instead, whatever the device folder does: for a discovery whose ports are
    // not device files that come and go in /dev, as in tests.
    void SetInterval(int ms);
    // An exchange runs until as many Resume() calls: no listing and no probe told meanwhile.
    void Pause();
    void Resume();
    // The probe of `port` found it in use by another program.
    void Busy(const QString &port);
    // The owner saw `port` go (its line hung up) before a listing did: the next listing that
    // shows it finds it new.
    void Forget(const QString &port);
    // The ports of the last listing.
    QStringList Ports() const { return m_ports; }

signals:
    // The new port `port` is due for a probe.
    void ProbeDue(const QString &port);
    // `port` left the list.
    void Vanished(const QString &port);

private:
    // A new port: when it is due for a probe (never, once told), and its probes that found it
    // in use.
    struct Due
    {
        QDeadlineTimer at;
        int retries;
    };

    QStringList Listed() const;
    void List();
    void TellDue();
    void ScheduleNext();

    Lister m_lister;
    QStringList m_ports;
    QHash<QString, Due> m_new; // listed ports that were new, until they go
    QFileSystemWatcher m_folder;
    QTimer m_listTimer;   // runs from Start() on
    QTimer m_settleTimer; // a listing shortly after the device folder changed
    QTimer m_dueTimer;
    int m_intervalMs = 0; // 0: chosen by whether the device folder is watched
    int m_paused = 0;
    bool m_listWanted = false; // a listing fell into a pause
};
