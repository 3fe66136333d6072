#include "app/FleetRun.h"

#include "app/Interruption.h"
#include "app/ResultFormat.h"
#include "device/ScanReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace {

const char *const kContext = "MainWindow";
// How often this thread looks whether a signal was caught, to end station mode.
constexpr int kSignalCheckMs = CSerialLine::kSliceMs;

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

} // namespace

CFleetRun::CFleetRun(Plan plan, CConsole *console)
    : m_plan(std::move(plan)), m_console(*console), m_progress(console)
{
}

CFleetRun::~CFleetRun()
{
    for (QThread *thread : qAsConst(m_running)) {
        thread->wait();
        delete thread;
    }
}

int CFleetRun::Exec()
{
    QEventLoop loop;
    m_loop = &loop;
    QTimer signalCheck;
    connect(&signalCheck, &QTimer::timeout, this, &CFleetRun::CheckSignal);
    signalCheck.start(kSignalCheckMs);
    if (m_plan.watch)
        Watch();
    else
        m_listed = m_plan.ports.isEmpty() ? CAdvCmd().ListedPorts() : m_plan.ports;
    for (const QString &port : qAsConst(m_listed))
        Start(port);
    if (!m_running.isEmpty() || m_watch)
        loop.exec();
    m_loop = nullptr;
    m_progress.SetIdle(QString());

    if (m_results.isEmpty() && !m_plan.watch && CInterruption::Caught() == 0) {
        QVector<CAdvCmd::PortOutcome> outcomes;
        for (const QString &port : qAsConst(m_listed)) {
            if (m_noBoard.contains(port))
                outcomes << m_noBoard.value(port);
        }
        m_console.Warn(CScanReport::Message(outcomes));
        return CBoardResult::kNoBoard;
    }
    const int status = Status();
    const QString summary = CResultFormat::Summary(m_results);
    if (status == CBoardResult::kDone)
        m_console.Tell(summary);
    else
        m_console.Warn(summary);
    return status;
}

bool CFleetRun::EndsBySignal() const
{
    return !m_plan.watch ||
           std::any_of(m_results.cbegin(), m_results.cend(), [](const CBoardResult &result) {
               return result.outcome == CBoardResult::Outcome::Interrupted;
           });
}

// The ports listed now are the boards already plugged in; a port listed later is probed when
// the watch finds it due. Ports handed in by the program that runs the tool are no device files
// that come and go in /dev, so they are listed every second.
void CFleetRun::Watch()
{
    m_watch = std::make_unique<CPortWatch>([] { return CAdvCmd().ListedPorts(); });
    if (!CAdvCmd::ListsSystemPorts())
        m_watch->SetInterval(CPortWatch::kPollMs);
    connect(m_watch.get(), &CPortWatch::ProbeDue, this, [this](const QString &port) {
        if (m_running.contains(port))
            m_again.insert(port);
        else
            Start(port);
    });
    m_watch->Start();
    m_listed = m_watch->Ports();
    m_progress.SetIdle(Waiting());
}

QString CFleetRun::Waiting() const
{
    return Tr("Waiting for a board to be plugged in (%1 so far)").arg(m_results.size());
}

void CFleetRun::StopWatching()
{
    m_watch.reset();
    m_again.clear();
    m_progress.SetIdle(QString());
    if (m_running.isEmpty() && m_loop)
        m_loop->quit();
}

// A signal ends station mode; the runs under way wind down by themselves.
void CFleetRun::CheckSignal()
{
    if (m_watch && CInterruption::Caught() != 0)
        StopWatching();
}

// Each run reports through the event loop of this thread, which alone writes to the console.
void CFleetRun::Start(const QString &port)
{
    const auto report = [this, port](const QString &text) {
        Post([this, port, text] { m_progress.Set(port, text); });
    };
    const auto warn = [this, port](const QString &text) {
        Post([this, port, text] {
            m_console.Warn(Tr("%1: %2").arg(port, text));
            m_progress.Show();
        });
    };
    const auto trace = [this, port](const QString &line) {
        Post([this, port, line] {
            m_console.Trace(port + QLatin1Char(' ') + line);
            m_progress.Show();
        });
    };
    QThread *thread = QThread::create(
        [this, port, job = m_plan.job, verbose = m_plan.verbose, report, warn, trace] {
            CBoardRun run(job, report, warn);
            run.UsePort(port);
            if (verbose)
                run.Trace(trace);
            const CBoardResult result = run.Run();
            Post([this, port, result] { Finished(port, result); });
        });
    m_running.insert(port, thread);
    m_progress.Set(port, Tr("Looking for a board on %1").arg(port));
    thread->start();
}

void CFleetRun::Post(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

// A port of the list without a board is none of the boards; a port named must hold one.
void CFleetRun::Finished(const QString &port, const CBoardResult &result)
{
    QThread *thread = m_running.take(port);
    thread->wait();
    delete thread;
    if (result.Answered() || !m_plan.ports.isEmpty())
        Tell(result);
    else if (!result.scan.isEmpty())
        m_noBoard.insert(port, result.scan.first());
    m_progress.Remove(port);
    if (m_watch) {
        if (m_plan.count > 0 && m_results.size() >= m_plan.count)
            StopWatching();
        else if (m_again.remove(port))
            Start(port);
        else if (result.outcome == CBoardResult::Outcome::Unplugged)
            m_watch->Forget(port); // the port's next listing is a board plugged in anew
        else if (CScanReport::InUse(result.scan))
            m_watch->Busy(port);
        if (m_watch)
            m_progress.SetIdle(Waiting());
    }
    if (m_running.isEmpty() && !m_watch && m_loop)
        m_loop->quit();
}

void CFleetRun::Tell(const CBoardResult &result)
{
    m_results << result;
    if (result.outcome == CBoardResult::Outcome::NoBoard)
        m_console.Warn(CScanReport::Message(result.scan));
    m_console.Out(m_plan.json ? CResultFormat::Json(result) : CResultFormat::Line(result));
}

int CFleetRun::Status() const
{
    int status = CBoardResult::kDone;
    for (const CBoardResult &result : m_results)
        status = std::max(status, result.StatusAfter(CInterruption::Caught()));
    return status;
}
