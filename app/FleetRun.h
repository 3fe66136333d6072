#pragma once

#include "app/BoardProgress.h"
#include "app/BoardResult.h"
#include "app/BoardRun.h"
#include "app/Console.h"
#include "device/PortWatch.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class QEventLoop;
class QThread;

// Boards on several ports at the same time (--all, several --port): each board's run on a thread
// of its own with a link of its own, every wait as for one board. This thread tells each board's
// result on stdout as it finishes, keeps one progress line a board on a terminal, and ends with a
// summary on stderr.
//
// In station mode (--watch) it then watches the port list: each port that appears gets a run of
// its own as the window would probe it, 1 s after it is first listed and again while it is in use
// by another program; it ends after a number of boards, or at a signal.
//
// After a signal each run under way winds down (its result: interrupted) and the fleet ends once
// all have.
class CFleetRun : public QObject
{
public:
    struct Plan
    {
        CBoardRun::Job job;
        QStringList ports; // each must hold a board; none: every listed port that has one
        bool watch = false;
        int count = 0; // the boards after which station mode ends; 0 for a signal alone
        bool json = false;
        bool verbose = false;
    };

    CFleetRun(Plan plan, CConsole *console);
    ~CFleetRun() override;
    CFleetRun(const CFleetRun &) = delete;
    CFleetRun &operator=(const CFleetRun &) = delete;

    // Runs every board to its result; returns the exit status: 0 when every board ends holding
    // the file, else the largest of the boards' statuses, and 1 when no port of --all held a
    // board.
    int Exec();
    // The tool ends by the signal caught: always but in station mode, and there when a board was
    // interrupted by it.
    bool EndsBySignal() const;

private:
    void Start(const QString &port);
    void Watch();
    void StopWatching();
    // What station mode shows while no board is under way.
    QString Waiting() const;
    void CheckSignal();
    // Runs `work` on this object's thread.
    void Post(std::function<void()> work);
    void Finished(const QString &port, const CBoardResult &result);
    void Tell(const CBoardResult &result);
    int Status() const;

    Plan m_plan;
    CConsole &m_console;
    CBoardProgress m_progress;
    QEventLoop *m_loop = nullptr;
    std::unique_ptr<CPortWatch> m_watch; // while station mode takes new boards
    QHash<QString, QThread *> m_running; // port, the thread of its run
    QSet<QString> m_again; // ports that came back while the run of their last board went on
    QStringList m_listed;  // the ports tried, in the order listed
    QHash<QString, CAdvCmd::PortOutcome> m_noBoard; // why each port without a board had none
    QVector<CBoardResult> m_results;
};
