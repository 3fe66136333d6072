// lumivor-bench: times the link against a simulated board paced like a 9600-baud line.
//
// For each live board type it measures a connection plus the full read-out, and for each board
// type the write-out of the whole programme. Then the port scan alone: with eight silent ports
// listed before the board's, and with no board at all, against one silent port's handshake. Each
// figure is compared with its protocol floor: the waits the protocol mandates for the exchanges
// that took place, plus the time the board's bytes spend on the line. The board runs in a child
// process, so the CPU share is the tool's own. Every measured action runs as the window runs it:
// through an action gate, which handles the window's events in the waits, with the wait cursor
// and a real progress bar repainted after each step, on the offscreen platform.
//
// Then the port list as the window keeps it current: the CPU share over a minute of idling with
// the machine's own ports, and, with the whole window, the time from the listing that first shows
// a new port to the board's handshake and to the end of its read-out. Last, the command line's
// writes: eight boards side by side with --all against one, and a write of the one differing line
// against the whole programme.
//
// Usage: lumivor-bench [--runs N]

#include "app/BoardRun.h"
#include "app/FleetRun.h"
#include "bench/BoardProcess.h"
#include "device/AdvCmd.h"
#include "device/BackupStore.h"
#include "device/BoardSettings.h"
#include "device/BoardType.h"
#include "device/PortScan.h"
#include "device/PortWatch.h"
#include "sim/SimulatedBoard.h"

#include "app/ActionGate.h"
#include "app/MainWindow.h"
#include "pages/ActionFeedback.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kDefaultRuns = 3;
constexpr int kSilentPorts = 8;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // 8N1: ten bits a byte
constexpr int kIdleMs = 60000;                     // the port watch left alone
constexpr int kListingSamples = 50;                // listings timed for the cost of one
constexpr int kNewPortListMs = 200; // the watch lists this often: a port the bench lists is seen
constexpr int kNewPortBoundMs = 10000;

// The waits every exchange must sit out after its bytes, in ms.
constexpr double kHandshakeWaitsMs = 100 + 100; // quiet line before, silence after
constexpr double kSettingWaitsMs = 100 + 100;   // the same for "ADV#ECHO=0" and every setting
constexpr double kQueryWaitsMs = 50;            // silence after the reply

const char *const kTypeNames[] = {
    "unknown",        "Lumivor V1",           "Lumivor V2",          "KOTA",
    "KOTA file mode", "Lumivor V1 file mode", "Lumivor V2 file mode"};

bool IsQuery(const QByteArray &command)
{
    return command.endsWith("=?\r") || command.startsWith("ADV#VERSION") ||
           command.startsWith("ADV#INPUTA=") || command.startsWith("ADV#INPUTL=");
}

double FloorMs(const CBoardProcess::Traffic &traffic)
{
    double ms = traffic.sentBytes * kByteMs;
    for (const QByteArray &command : traffic.commands) {
        if (command == "ADV#\r")
            ms += kHandshakeWaitsMs;
        else if (IsQuery(command))
            ms += kQueryWaitsMs;
        else
            ms += kSettingWaitsMs;
    }
    return ms;
}

double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Figures
{
    double wallMs = 0;
    double floorMs = 0;
    double cpuMs = 0;
    int lines = 0;
    bool ok = true;
};

// One run of `measured`: its wall and CPU time.
Figures Timed(const std::function<bool()> &measured)
{
    QElapsedTimer wall;
    const double cpuBefore = CpuMs();
    wall.start();
    Figures f;
    f.ok = measured();
    f.wallMs = wall.nsecsElapsed() / 1e6;
    f.cpuMs = CpuMs() - cpuBefore;
    return f;
}

// The median run, with the CPU share of all runs: the share of a single run of a second or two
// swings with what else the machine does; over all runs together it is steadier.
Figures Median(std::vector<Figures> all)
{
    double cpuMs = 0;
    double wallMs = 0;
    for (const Figures &f : all) {
        cpuMs += f.cpuMs;
        wallMs += f.wallMs;
    }
    std::sort(all.begin(), all.end(),
              [](const Figures &a, const Figures &b) { return a.wallMs < b.wallMs; });
    Figures median = all[all.size() / 2];
    median.cpuMs = median.wallMs * cpuMs / wallMs;
    return median;
}

// Runs `setUp` unmeasured and `measured` timed, `runs` times; keeps the median run, with the CPU
// share of all runs.
Figures Measure(CBoardProcess &board, int runs, const std::function<void(CBoardSettings &)> &setUp,
                const std::function<bool(CBoardSettings &)> &measured)
{
    std::vector<Figures> all;
    for (int run = 0; run < runs; ++run) {
        CBoardSettings settings;
        setUp(settings);
        board.Clear();
        Figures f = Timed([&] { return measured(settings); });
        const CBoardProcess::Traffic traffic = board.Read();
        f.floorMs = FloorMs(traffic);
        f.lines = traffic.commands.size();
        const QString file = BoardType::CommandFile(settings.GetBoardType());
        if (!file.isEmpty()) {
            QFile written(file);
            written.open(QIODevice::ReadOnly);
            f.lines = written.readAll().count('\n');
            written.remove();
        }
        all.push_back(f);
    }
    return Median(all);
}

// Ratio and CPU share mean something only where the line is involved; a command file is
// written in well under a millisecond.
void Print(const char *what, const char *type, const Figures &f)
{
    const bool serial = f.floorMs > 0;
    const QString ratio = serial ? QString::number(f.wallMs / f.floorMs, 'f', 3) : "-";
    const QString cpu = serial ? QString::number(100.0 * f.cpuMs / f.wallMs, 'f', 2) + '%' : "-";
    std::printf("%-22s %-21s %5d %10.1f %10.1f %7s %7s %s\n", what, type, f.lines, f.wallMs,
                f.floorMs, qPrintable(ratio), qPrintable(cpu), f.ok ? "" : "(failed)");
}

// Scan rows: the ratio is to one silent port's handshake, the wait no scan can avoid.
void PrintScan(const char *what, const Figures &f, double referenceMs)
{
    std::printf("%-34s %10.1f %7.3f %6.2f%% %s\n", what, f.wallMs, f.wallMs / referenceMs,
                100.0 * f.cpuMs / f.wallMs, f.ok ? "" : "(failed)");
}
// Runs the event loop until `done` holds (looked at every few milliseconds), or for `boundMs` at
// the most; without `done`, for `boundMs`.
void RunUntil(const std::function<bool()> &done, int boundMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    if (done)
        poll.start(5);
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// The watch keeps the machine's own port list current while nothing else happens.
void IdleWatch()
{
    QElapsedTimer listing;
    listing.start();
    for (int i = 0; i < kListingSamples; ++i)
        CPortScan::AvailablePorts();
    const double listingMs = listing.nsecsElapsed() / 1e6 / kListingSamples;
    int listings = 0;
    CPortWatch watch([&listings] {
        ++listings;
        return CPortScan::AvailablePorts();
    });
    watch.Start();
    const double cpuBefore = CpuMs();
    QElapsedTimer wall;
    wall.start();
    RunUntil({}, kIdleMs);
    const double wallMs = wall.nsecsElapsed() / 1e6;
    std::printf("%-34s %10.1f %6.2f%% (%d listings of %d ports, %.1f ms each)\n",
                "idle, port list kept current", wallMs, 100.0 * (CpuMs() - cpuBefore) / wallMs,
                listings, int(CPortScan::AvailablePorts().size()), listingMs);
}

// A Lumivor V1 paced like a 9600-baud line appears in the window's port list: the median time
// from the listing that first shows it to its handshake, and to the end of the read-out.
void NewPort(int runs)
{
    QVector<double> toHandshake;
    QVector<double> toReadOut;
    for (int run = 0; run < runs; ++run) {
        CSimulatedBoard board(BoardType::LumivorV1);
        board.SetPacing(true);
        QElapsedTimer clock; // the board's received lines are timed from its start
        clock.start();
        if (!board.Start())
            return;
        bool plugged = false;
        qint64 listedAt = -1;
        CAdvCmd::SetDefaultPortDiscovery([&] {
            if (!plugged)
                return QStringList();
            if (listedAt < 0)
                listedAt = clock.elapsed();
            return QStringList{board.PortName()};
        });
        MainWindow window;
        window.PortWatch().SetInterval(kNewPortListMs);
        plugged = true;
        // The window tells of the connection when the read-out has ended.
        RunUntil([&] { return window.statusBar()->currentMessage().startsWith("Connected"); },
                 kNewPortBoundMs);
        const QVector<CSimulatedBoard::ReceivedLine> received = board.Received();
        if (received.isEmpty() || listedAt < 0)
            return;
        toHandshake << double(received.first().atMs - listedAt);
        toReadOut << double(clock.elapsed() - listedAt);
    }
    CAdvCmd::SetDefaultPortDiscovery({});
    std::sort(toHandshake.begin(), toHandshake.end());
    std::sort(toReadOut.begin(), toReadOut.end());
    std::printf("%-34s %10.1f\n", "new port: listed to handshake", toHandshake[runs / 2]);
    std::printf("%-34s %10.1f\n", "new port: listed to read-out done", toReadOut[runs / 2]);
}

BoardProgramme ProgrammeOf(const CSimulatedBoard::Programme &p)
{
    return {p.sessions, p.inputs, p.outputModes, p.powerModes, p.outputTimings, p.powerTimes};
}

// A Lumivor V1 programme that differs from the simulated board's default in every one of its 46
// lines.
BoardProgramme AllDifferent()
{
    CSimulatedBoard::Programme p = CSimulatedBoard::DefaultProgramme();
    for (qint32 &mode : p.outputModes)
        mode = (mode + 1) % 5;
    for (qint32 &mode : p.powerModes)
        mode = (mode + 1) % 3;
    for (WakeSession &session : p.sessions)
        ++session.repeat;
    for (SessionOutputTimings &timings : p.outputTimings) {
        for (qint32 &number : timings.number)
            ++number;
    }
    for (PowerTimes &times : p.powerTimes) {
        for (qint32 &time : times)
            ++time;
    }
    for (InputTrigger &input : p.inputs)
        input.enabled = 1 - input.enabled;
    return ProgrammeOf(p);
}

// Standard output goes nowhere while it lives: the runs' result lines are not the figures.
class SilencedOutput
{
public:
    SilencedOutput() : m_saved(::dup(STDOUT_FILENO))
    {
        std::fflush(stdout);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    ~SilencedOutput()
    {
        std::fflush(stdout);
        ::dup2(m_saved, STDOUT_FILENO);
        ::close(m_saved);
    }
    SilencedOutput(const SilencedOutput &) = delete;
    SilencedOutput &operator=(const SilencedOutput &) = delete;

private:
    int m_saved;
};

// The command line's writes as `lumivor --write` runs them, the board's programme reset before
// each run: eight paced boards side by side with --all against one board, and a file that differs
// in one session's start against the whole programme sent, as every write did before.
void CommandLineRows(CBoardProcess &board, int runs)
{
    board.SetType(BoardType::LumivorV1);
    const QString family = BoardType::Family(BoardType::LumivorV1);
    const QStringList eight = QStringList{board.PortName()} + board.StartPacedBoards(7);
    QTemporaryDir data; // the backups
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const CBackupStore backups;
    CSimulatedBoard::Programme later = CSimulatedBoard::DefaultProgramme();
    later.sessions[0].start = later.sessions[0].start.addSecs(15 * 60);
    const BoardProgramme oneStart = ProgrammeOf(later);
    using Command = CCommandOptions::Command;
    const CBoardRun::Job whole{Command::Write, "all.ini", {family, {}, AllDifferent()}, &backups};
    const CBoardRun::Job oneLine{Command::Write, "one.ini", {family, {}, oneStart}, &backups};
    const auto timed = [&](const std::function<bool()> &measured) {
        std::vector<Figures> all;
        for (int run = 0; run < runs; ++run) {
            board.ResetProgrammes();
            all.push_back(Timed(measured));
        }
        return Median(all);
    };
    const auto write = [&](const CBoardRun::Job &job) {
        return timed([&] {
            CBoardRun run(
                job, [](const QString &) {}, [](const QString &) {});
            run.UsePort(board.PortName());
            return run.Run().outcome == CBoardResult::Outcome::Written;
        });
    };
    CConsole console(true);
    const Figures one = write(whole);
    CAdvCmd::SetDefaultPortDiscovery([eight] { return eight; });
    const Figures all = timed([&] {
        const SilencedOutput silenced;
        return CFleetRun({whole, {}, false, 0, false, false}, &console).Exec() == 0;
    });
    CAdvCmd::SetDefaultPortDiscovery([&board] { return QStringList{board.PortName()}; });
    const Figures wholeAgain = timed([&] {
        CBoardSettings s;
        if (!s.ConnectBoard() || !s.ReadAll())
            return false;
        s.SetProgramme(oneStart);
        s.SendAll();
        return s.ReadProgramme();
    });
    const Figures differing = write(oneLine);

    std::printf("\n%-34s %10s %7s %7s\n", "command line --write", "wall ms", "ratio", "CPU");
    PrintScan("one board, 46 lines", one, one.wallMs);
    PrintScan("8 boards with --all, 46 lines each", all, one.wallMs);
    PrintScan("whole programme sent, as before", wholeAgain, wholeAgain.wallMs);
    PrintScan("one session's start: its 1 line", differing, wholeAgain.wallMs);
}

} // namespace

int main(int argc, char *argv[])
{
    CBoardProcess board; // forked before any thread exists
    if (!board.Start()) {
        std::fprintf(stderr, "lumivor-bench: cannot start the simulated board\n");
        return 1;
    }
    // The link logs every raw reply; the figures are all this program should print.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QMainWindow window;
    QProgressBar bar;
    QStatusBar status;
    bar.show();
    int runs = kDefaultRuns;
    const QStringList args = application.arguments();
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    if (runsAt > 0 && runsAt + 1 < args.size())
        runs = std::max(1, args[runsAt + 1].toInt());

    CAdvCmd::SetDefaultPortDiscovery([&board] { return QStringList{board.PortName()}; });
    QTemporaryDir commandFiles; // file modes write their command files here
    QDir::setCurrent(commandFiles.path());

    std::printf("Median of %d runs; board paced at %.4f ms a byte.\n", runs, kByteMs);
    std::printf("%-22s %-21s %5s %10s %10s %7s %7s\n", "scenario", "board type", "lines", "wall ms",
                "floor ms", "ratio", "CPU");

    for (int type = BoardType::LumivorV1; type <= BoardType::kHighestLive; ++type) {
        board.SetType(type);
        const Figures f = Measure(
            board, runs, [](CBoardSettings &) {},
            [&](CBoardSettings &s) {
                CActionGate gate(&window, &s.Link());
                const auto action = gate.Start();
                CActionFeedback busy(*action, &bar, &status, &s, CBoardSettings::kReadOutSteps,
                                     CActionFeedback::StepBy::Call);
                return s.ConnectBoard() && s.ReadAll([&busy] { busy.Step(); });
            });
        Print("connect + read-out", kTypeNames[type], f);
    }
    for (int type = BoardType::Unknown; type <= BoardType::LumivorV2File; ++type) {
        // A file-mode type writes its family's command file; the board keeps a live type.
        board.SetType(BoardType::IsFileMode(type) ? BoardType::LumivorV1 : type);
        const Figures f = Measure(
            board, runs,
            [type](CBoardSettings &s) {
                s.ConnectBoard();
                s.SetBoardType(type);
            },
            [&](CBoardSettings &s) {
                CActionGate gate(&window, &s.Link());
                const auto action = gate.Start();
                const CActionFeedback busy(*action, &bar, &status, &s, s.SendAllLines());
                return s.SendAll();
            });
        Print("write-out (SendAll)", kTypeNames[type], f);
    }

    // The port scan as "Connect" runs it, with silent ports listed before the board's.
    const QStringList silent = board.StartSilentBoards(kSilentPorts);
    const auto scan = [&](const QStringList &ports, bool found) {
        return Measure(
            board, runs,
            [ports](CBoardSettings &s) { s.Link().SetPortDiscovery([ports] { return ports; }); },
            [&](CBoardSettings &s) {
                CActionGate gate(&window, &s.Link());
                const auto action = gate.Start();
                const CActionFeedback busy(*action, &bar, &status, &s, 1);
                return s.ConnectBoard() == found;
            });
    };
    const Figures one = scan(silent.mid(0, 1), false);
    std::printf("\n%-34s %10s %7s %7s\n", "port scan", "wall ms", "ratio", "CPU");
    PrintScan("one silent port, no board", one, one.wallMs);
    PrintScan("board after 8 silent ports", scan(silent + QStringList{board.PortName()}, true),
              one.wallMs);
    PrintScan("8 silent ports, no board", scan(silent, false), one.wallMs);

    std::printf("\n%-34s %10s %7s\n", "port watch", "wall ms", "CPU");
    IdleWatch();
    NewPort(runs);
    CommandLineRows(board, runs);
    return 0;
}
