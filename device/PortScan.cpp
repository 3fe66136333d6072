#include "device/PortScan.h"

#include "device/ReplyParser.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPair>
#include <QSerialPortInfo>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <grp.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kHandshake[] = "ADV#\r";
// An open that blocks (a bound Bluetooth serial port can take 25 s) is given up after this.
constexpr int kOpenLimitMs = 1000;

// Decide() while the port of highest priority still in play has not answered, and when none did.
constexpr int kUndecided = -2;
constexpr int kNoBoard = -1;

using Traffic = QVector<QPair<CSerialLine::Direction, QByteArray>>;

// One port's probe, as its thread and the scan share it.
struct Probe
{
    enum class State
    {
        Opening,
        Late, // its open missed the limit; the scan does not wait for it any more
        Probing,
        Failed,
        Answered,
    };
    State state = State::Opening;
    CPortScan::PortFailure failure = CPortScan::PortFailure::NoAnswer;
    QSerialPort::SerialPortError openError = QSerialPort::NoError;
    std::unique_ptr<QSerialPort> port; // an answering port, moved to the scanning thread
    Traffic traffic;                   // its handshake
};

// Lives as long as the last probe thread, which may outlive the scan.
struct Probes
{
    explicit Probes(int count) : probes(size_t(count)) {}

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Probe> probes;
    std::atomic<bool> decided{false};
};

bool MayReadWrite(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

bool SetUp(QSerialPort &port)
{
    return port.setBaudRate(QSerialPort::Baud9600) && port.setDataBits(QSerialPort::Data8) &&
           port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

bool Handshake(CSerialLine &line)
{
    line.Flush();
    // What arrives before the handshake stays in the buffer and counts as part of the reply.
    if (!line.WaitQuiet() || !line.Write(kHandshake))
        return false;
    line.Flush();
    QByteArray reply;
    return line.WaitForData(CSerialLine::kFirstReplyMs) &&
           line.Collect(CSerialLine::kGapMs, &reply) && CReplyParser::IsSuccess(reply);
}

void Settle(Probes &all, size_t index, Probe::State state, CPortScan::PortFailure failure)
{
    std::lock_guard<std::mutex> lock(all.mutex);
    all.probes[index].state = state;
    all.probes[index].failure = failure;
    all.changed.notify_all();
}

// Opens, sets up and asks one port, on a thread of its own. An answering port is moved to the
// scanning thread, from this one, before the scan may take it.
void RunProbe(const std::shared_ptr<Probes> &all, size_t index, const QString &name,
              const CPortScan::Opener &opener, QThread *scanner)
{
    // The port's notifiers need an event dispatcher on this thread; an event loop makes one.
    const QEventLoop dispatcher;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(name);
    const bool opened = opener ? opener(*port) : port->open(QIODevice::ReadWrite);
    {
        std::lock_guard<std::mutex> lock(all->mutex);
        Probe &probe = all->probes[index];
        // Too late, or no longer needed: the port closes as it goes, without a byte written.
        if (probe.state == Probe::State::Late || all->decided)
            return;
        if (!opened) {
            probe.state = Probe::State::Failed;
            probe.failure = CPortScan::PortFailure::NotOpened;
            probe.openError = port->error();
            all->changed.notify_all();
            return;
        }
        probe.state = Probe::State::Probing;
    }
    if (!SetUp(*port)) {
        Settle(*all, index, Probe::State::Failed, CPortScan::PortFailure::NotSetUp);
        return;
    }
    CSerialLine line(std::move(port));
    line.SetStopCheck([&all] { return all->decided.load(); });
    Traffic traffic;
    line.SetTrafficObserver([&traffic](CSerialLine::Direction direction, const QByteArray &bytes) {
        traffic.append({direction, bytes});
    });
    const bool answered = Handshake(line);

    std::lock_guard<std::mutex> lock(all->mutex);
    Probe &probe = all->probes[index];
    if (answered && !all->decided) {
        probe.port = line.Release();
        probe.port->moveToThread(scanner);
        probe.traffic = traffic;
        probe.state = Probe::State::Answered;
    } else {
        probe.state = Probe::State::Failed;
    }
    all->changed.notify_all();
}

// The port taken, kUndecided, or kNoBoard; marks the opens that missed their limit.
int Decide(std::vector<Probe> &probes, qint64 elapsedMs)
{
    for (size_t i = 0; i < probes.size(); ++i) {
        Probe &probe = probes[i];
        if (probe.state == Probe::State::Opening && elapsedMs >= kOpenLimitMs) {
            probe.state = Probe::State::Late;
            probe.failure = CPortScan::PortFailure::NotOpenedInTime;
        }
        if (probe.state == Probe::State::Answered)
            return int(i);
        if (probe.state == Probe::State::Opening || probe.state == Probe::State::Probing)
            return kUndecided;
    }
    return kNoBoard;
}

} // namespace

QStringList CPortScan::AvailablePorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

QString CPortScan::DevicePath(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return name;
    return QLatin1String(kDeviceFolder) + name;
}

CPortScan::Found CPortScan::Run(QStringList names, const CSerialLine::WaitSlice &waitSlice,
                                const CSerialLine::TrafficObserver &traffic)
{
    names.removeDuplicates();
    if (!m_lastFound.isEmpty() && names.removeAll(m_lastFound) > 0)
        names.prepend(m_lastFound);
    m_outcomes.clear();
    const auto all = std::make_shared<Probes>(names.size());
    std::vector<std::thread> threads;
    for (int i = 0; i < names.size(); ++i)
        threads.emplace_back(RunProbe, all, size_t(i), names[i], m_opener,
                             QThread::currentThread());

    QElapsedTimer elapsed;
    elapsed.start();
    QElapsedTimer sinceSlice;
    sinceSlice.start();
    std::unique_lock<std::mutex> lock(all->mutex);
    int taken;
    while ((taken = Decide(all->probes, elapsed.elapsed())) == kUndecided) {
        if (m_stopCheck && m_stopCheck())
            break;
        const qint64 sliceLeft = std::max<qint64>(1, CSerialLine::kSliceMs - sinceSlice.elapsed());
        all->changed.wait_for(lock, std::chrono::milliseconds(sliceLeft));
        if (waitSlice && sinceSlice.elapsed() >= CSerialLine::kSliceMs) {
            lock.unlock();
            waitSlice();
            lock.lock();
            sinceSlice.start();
        }
    }
    all->decided = true;

    Found found;
    Traffic handshake;
    std::vector<std::unique_ptr<QSerialPort>> notTaken;
    std::vector<bool> opening(threads.size());
    QVector<QPair<PortFailure, QSerialPort::SerialPortError>> failures;
    for (size_t i = 0; i < threads.size(); ++i) {
        Probe &probe = all->probes[i];
        opening[i] = probe.state == Probe::State::Opening || probe.state == Probe::State::Late;
        if (probe.state != Probe::State::Answered)
            continue;
        if (int(i) == taken) {
            found = {names[int(i)], std::move(probe.port)};
            handshake = probe.traffic;
        } else {
            notTaken.push_back(std::move(probe.port));
        }
    }
    if (taken == kNoBoard) {
        for (const Probe &probe : all->probes)
            failures.append({probe.failure, probe.openError});
    }
    lock.unlock();

    // The other probes end within a slice; an open that blocks is left to finish by itself.
    for (size_t i = 0; i < threads.size(); ++i) {
        if (opening[i])
            threads[i].detach();
        else
            threads[i].join();
    }
    notTaken.clear();
    for (int i = 0; i < failures.size(); ++i)
        m_outcomes << Outcome(names[i], failures[i].first, failures[i].second);
    if (traffic) {
        for (const auto &bytes : handshake)
            traffic(bytes.first, bytes.second);
    }
    if (found.port)
        m_lastFound = found.name;
    return found;
}

// The serial port reports both a device this user may not open and one held by another program
// as a permission error; the device file's rights tell them apart. For a denied port, the group
// owning the device says who may use it.
CPortScan::PortOutcome CPortScan::Outcome(const QString &name, PortFailure failure,
                                          QSerialPort::SerialPortError openError) const
{
    PortOutcome outcome{name, DevicePath(name), failure, QString(), false};
    if (failure == PortFailure::NotOpened && openError == QSerialPort::PermissionError) {
        const bool mayUse =
            m_accessCheck ? m_accessCheck(outcome.path) : MayReadWrite(outcome.path);
        outcome.failure = mayUse ? PortFailure::InUse : PortFailure::PermissionDenied;
    } else if (failure == PortFailure::NotOpened &&
               openError == QSerialPort::UnsupportedOperationError) {
        outcome.failure = PortFailure::NotSetUp;
    }
    struct stat info
    {
    };
    if (outcome.failure != PortFailure::PermissionDenied ||
        ::stat(QFile::encodeName(outcome.path).constData(), &info) != 0)
        return outcome;
    if (const group *owner = ::getgrgid(info.st_gid))
        outcome.group = QString::fromLocal8Bit(owner->gr_name);
    outcome.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    return outcome;
}
