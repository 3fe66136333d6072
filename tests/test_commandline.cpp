#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "device/ProgrammeFile.h"
#include "tests/LinkBench.h"
#include "tests/TestProgramme.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>

// The command line as people run it: the tool started as a process, with no display at all,
// against simulated boards whose ports it is given. The system never lists a pseudo-terminal, so
// where the tool must find boards by itself (--all, --watch, --list), this program starts itself
// in the tool's place, with the boards' ports as its port discovery.

using namespace linkbench;
using testprogramme::At;
using testprogramme::Edited;
using testprogramme::ProgrammeOf;

namespace {

constexpr int kRunBoundMs = 60000;
const QString kTool = QStringLiteral(LUMIVOR_TOOL);
const char *const kAsTool = "--as-tool";
const QString kV1 = BoardType::Family(BoardType::LumivorV1);

struct Outcome
{
    int status = -1; // -1 after a death by a signal
    QString out;
    QString err;
    int signal = 0; // the signal the tool died by
};

// Where a tool process finds its boards and keeps its backups.
struct Launch
{
    // The ports the process lists, one a line, read at every listing: this program then runs
    // in the tool's place with them as its port discovery.
    QString portsFile;
    QString dataHome; // XDG_DATA_HOME, where not the test program's own
};

// Starts the tool in the folder with neither a display nor a platform chosen.
void Start(QProcess *process, QStringList arguments, const QString &folder,
           const Launch &launch = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    if (!launch.dataHome.isEmpty())
        environment.insert("XDG_DATA_HOME", launch.dataHome);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(folder);
    QString program = kTool;
    if (!launch.portsFile.isEmpty()) {
        program = QCoreApplication::applicationFilePath();
        arguments = QStringList{kAsTool, launch.portsFile} + arguments;
    }
    process->start(program, arguments);
}

// Lists these ports to a tool process started with the file.
bool ListPorts(const QString &file, const QStringList &ports)
{
    QSaveFile list(file);
    return list.open(QIODevice::WriteOnly) && list.write(ports.join('\n').toUtf8()) >= 0 &&
           list.commit();
}

Outcome Finish(QProcess *process)
{
    if (!process->waitForFinished(kRunBoundMs))
        process->kill();
    const bool exited = process->exitStatus() == QProcess::NormalExit;
    return {exited ? process->exitCode() : -1, QString::fromUtf8(process->readAllStandardOutput()),
            QString::fromUtf8(process->readAllStandardError()), exited ? 0 : process->exitCode()};
}

// Runs the tool in the folder, with these bytes on its standard input.
Outcome Run(const QStringList &arguments, const QString &folder, const QByteArray &input = {},
            const Launch &launch = {})
{
    QProcess process;
    Start(&process, arguments, folder, launch);
    process.write(input);
    process.closeWriteChannel();
    return Finish(&process);
}

// A Lumivor V1 programme unlike the simulated board's own in every group.
CSimulatedBoard::Programme Distinct()
{
    CSimulatedBoard::Programme p = CSimulatedBoard::DefaultProgramme();
    p.outputModes = {4, 3, 2, 1, 0, -1};
    p.powerModes = {1, 2};
    p.sessions[2] = {kWakeByTime, At(13, 5, 0), At(0, 7, 30), 9};
    p.inputs[1] = {1, 1, 3};
    p.powerTimes[3] = {75, 15};
    testprogramme::SetTiming(&p, 1, 5, 6, 7, 8, 9);
    return p;
}

QByteArray FileOf(const CSimulatedBoard::Programme &p)
{
    return CProgrammeFile::Format(
        {kV1,
         QString(),
         {p.sessions, p.inputs, p.outputModes, p.powerModes, p.outputTimings, p.powerTimes}});
}

// How a Lumivor V1 of the many-board tables takes a file of Distinct().
enum class Kind
{
    Takes,          // holds the default programme: 12 lines differ
    Holds,          // holds the file
    LosesALine,     // differs in WAKE3/number and leaves that line unanswered
    Goes,           // holds the default programme and hangs up at the line for output 1
    StopsAnswering, // differs in WAKE3/number, and the read-back of its inputs gets no "OK"
    Silent,         // no board: nothing answers on its port
};

std::unique_ptr<CSimulatedBoard> BoardOf(Kind kind)
{
    auto board = std::make_unique<CSimulatedBoard>(BoardType::LumivorV1);
    CSimulatedBoard::Programme held = kind == Kind::Takes || kind == Kind::Goes
                                          ? CSimulatedBoard::DefaultProgramme()
                                          : Distinct();
    if (kind == Kind::LosesALine || kind == Kind::StopsAnswering)
        held.sessions[2].repeat = 40;
    board->SetProgramme(held);
    if (kind == Kind::LosesALine)
        board->SetFault(Fault::Silent, "ADV#WAKE=2,");
    else if (kind == Kind::Goes)
        board->SetFault(Fault::HangUp, "ADV#OUTPUT=1");
    else if (kind == Kind::StopsAnswering)
        board->SetFault(Fault::NoOk, "ADV#CINPUT=?", 1);
    else if (kind == Kind::Silent)
        board->SetFault(Fault::Silent);
    return board->Start() ? std::move(board) : nullptr;
}

// The result lines of stdout, a board's differences on its line.
QStringList ResultLines(const QString &out)
{
    return out.split(QRegularExpression("\n(?!\t)"), Qt::SkipEmptyParts);
}

const QList<QByteArray> kReadOut{"ADV#\r",          "ADV#ECHO=0\r",   "ADV#VERSION\r",
                                 "ADV#OUTPUT=?\r",  "ADV#POWER=?\r",  "ADV#WAKE=?\r",
                                 "ADV#COUTPUT=?\r", "ADV#CPOWER=?\r", "ADV#CINPUT=?\r"};

// The setting lines a board received after its read-out.
int SettingLines(const CSimulatedBoard &board)
{
    int lines = 0;
    for (const QByteArray &line : board.ReceivedLines())
        lines += line.contains('=') && !line.endsWith("=?\r") && line != "ADV#ECHO=0\r";
    return lines;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    Outcome RunHere(const QStringList &arguments, const QByteArray &input = {})
    {
        return Run(arguments, m_dir.path(), input);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ScanOnly({});
        QuietDebugOutput();
    }

    void cleanup() { ScanOnly({}); }

    void withoutABoard_data()
    {
        QTest::addColumn<QStringList>("arguments"); // PORT: a simulated board's port
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // the start of stderr

        const QString tryHelp = "\nTry \"lumivor --help\".\n";
        QTest::newRow("the version") << QStringList{"--version"} << 0 << "lumivor 1.1.0\n"
                                     << QString();
        QTest::newRow("a command without its file")
            << QStringList{"--read"} << 2 << QString() << "Missing value after '--read'." + tryHelp;
        QTest::newRow("two commands at once")
            << QStringList{"--read", "a.ini", "--compare", "b.ini", "-p", "PORT"} << 2 << QString()
            << "Give one of --read, --write, --compare and --list." + tryHelp;
        QTest::newRow("the same command twice")
            << QStringList{"--read", "a.ini", "--read", "b.ini", "-p", "PORT"} << 2 << QString()
            << "--read is given twice." + tryHelp;
        QTest::newRow("a port twice, short and long, for one board")
            << QStringList{"--read", "a.ini", "-p", "PORT", "--port", "PORT"} << 2 << QString()
            << "--port is given twice." + tryHelp;
        QTest::newRow("the same port twice for several boards")
            << QStringList{"--write", "a.ini", "-p", "PORT", "-p", "ttyUSB0", "-p", "PORT"} << 2
            << QString() << "--port names PORT twice." + tryHelp;
        QTest::newRow("every board for --read")
            << QStringList{"--read", "a.ini", "--all"} << 2 << QString()
            << "--all goes with --write or --compare." + tryHelp;
        QTest::newRow("every board for the window")
            << QStringList{"--watch"} << 2 << QString()
            << "--watch goes with --write or --compare." + tryHelp;
        QTest::newRow("every board and a port")
            << QStringList{"--compare", "a.ini", "--all", "-p", "PORT"} << 2 << QString()
            << "Give --port or --all, not both." + tryHelp;
        QTest::newRow("a count without --watch")
            << QStringList{"--write", "a.ini", "--all", "--count", "2"} << 2 << QString()
            << "--count goes with --watch." + tryHelp;
        QTest::newRow("a count of no board")
            << QStringList{"--write", "a.ini", "--watch", "--count", "0"} << 2 << QString()
            << "--count needs a number of boards, 1 or more." + tryHelp;
        QTest::newRow("no backup of a comparison")
            << QStringList{"--compare", "a.ini", "--no-backup", "-p", "PORT"} << 2 << QString()
            << "--no-backup goes with --write." + tryHelp;
        QTest::newRow("JSON of a read")
            << QStringList{"--read", "a.ini", "--json", "-p", "PORT"} << 2 << QString()
            << "--json goes with --write, --compare or --list." + tryHelp;
        QTest::newRow("a list and a command")
            << QStringList{"--list", "--compare", "a.ini", "-p", "PORT"} << 2 << QString()
            << "Give one of --read, --write, --compare and --list." + tryHelp;
        QTest::newRow("an empty port")
            << QStringList{"--compare", "a.ini", "--port", ""} << 2 << QString()
            << "--port needs a port name or path." + tryHelp;
        QTest::newRow("an option the tool does not know")
            << QStringList{"--compare", "a.ini", "--prot", "PORT"} << 2 << QString()
            << "Unknown option 'prot'." + tryHelp;
        QTest::newRow("a stray argument")
            << QStringList{"--read", "a.ini", "b.ini", "-p", "PORT"} << 2 << QString()
            << "Unexpected argument: b.ini" + tryHelp;
        QTest::newRow("the window without a display")
            << QStringList{"-p", "PORT"} << 2 << QString()
            << "No display to open the window on. Without one, use --read, --write or "
               "--compare." +
                   tryHelp;
        QTest::newRow("no board on the port, and no file")
            << QStringList{"--read", "none.ini", "--port", "/nonexistent/ttyUSB7"} << 1 << QString()
            << "No board found: /nonexistent/ttyUSB7 (could not be opened).\n";
    }

    // Runs that end before or at the port scan: the board on the port given hears nothing, and
    // no file is left behind.
    void withoutABoard()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        CSimulatedBoard board;
        QVERIFY(board.Start());
        arguments.replaceInStrings(QRegularExpression("^PORT$"), board.PortName());
        err.replace("PORT", board.PortName());
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
        const Outcome run = RunHere(arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QVERIFY2(run.err.startsWith(err), qPrintable(run.err));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
        QCOMPARE(board.ReceivedLines(), QList<QByteArray>());
    }

    // One board's programme copied to another through standard output and input; a file saved
    // from the board holds the same bytes, and the copy then holds the programme.
    void copiesAProgrammeFromBoardToBoard()
    {
        CSimulatedBoard source(BoardType::LumivorV1);
        source.SetProgramme(Distinct());
        CSimulatedBoard target(BoardType::LumivorV1);
        QVERIFY(source.Start() && target.Start());

        const Outcome piped = RunHere({"--read", "-", "-p", source.PortName(), "--verbose"});
        QCOMPARE(piped.status, 0);
        QVERIFY(piped.err.endsWith("\nSaved the board's programme to standard output.\n"));
        // The whole exchange, stamped: the request and the board's reply to it.
        QStringList traffic = piped.err.split('\n');
        traffic.erase(traffic.end() - 2, traffic.end());
        const QRegularExpression stamped("^\\d+\\.\\d{3} [<>] \\S");
        for (const QString &line : traffic)
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
        QVERIFY(traffic.indexOf(QRegularExpression(".* > ADV#WAKE=\\?$")) <
                traffic.indexOf(QRegularExpression(".* < \\+WAKE=.*")));

        Outcome run = RunHere({"--read", "copy.ini", "--port", source.PortName()});
        QCOMPARE(run.err, QStringLiteral("Saved the board's programme to copy.ini.\n"));
        QCOMPARE(run.status, 0);
        QCOMPARE(source.ReceivedLines(), kReadOut + kReadOut);
        QCOMPARE(testprogramme::ReadFile(m_dir.filePath("copy.ini")), piped.out.toUtf8());
        QVERIFY(!CProgrammeFile::Compare(BoardType::Family(BoardType::LumivorV1),
                                         ProgrammeOf(source), ProgrammeOf(target))
                     .isEmpty());

        run = RunHere({"--write", "-", "--port", target.PortName()}, piped.out.toUtf8());
        QCOMPARE(run.err, QStringLiteral("The board holds standard input.\n"));
        QCOMPARE(run.out, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(SettingLines(target), 12); // the lines in which the two boards differed
        QVERIFY(CProgrammeFile::Compare(BoardType::Family(BoardType::LumivorV1),
                                        ProgrammeOf(source), ProgrammeOf(target))
                    .isEmpty());

        target.ClearReceived();
        run = RunHere({"--compare", "copy.ini", "--port", target.PortName(), "-q"});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(target.ReceivedLines(), kReadOut);
    }

    void refusesAndSendsNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("file"); // null: no file there
        QTest::addColumn<QString>("err");
        QTest::addColumn<bool>("readOut"); // whether the board was asked anything

        const QByteArray v1 = CProgrammeFile::Format(
            {BoardType::Family(BoardType::LumivorV1), QString(), ProgrammeOf(CSimulatedBoard())});
        const QString refused = QStringLiteral("prog.ini is not a programme file: ");
        QTest::newRow("a missing key") << "--write" << Edited(v1, "WAKE2/start", QByteArray())
                                       << refused + "WAKE2/start is missing.\n"
                                       << false;
        QTest::newRow("a value out of range")
            << "--write" << Edited(v1, "OUTPUT/Output3", "5")
            << refused + "OUTPUT/Output3 is not between -1 and 4.\n"
            << false;
        QTest::newRow("a bad time") << "--compare" << Edited(v1, "WAKE2/start", "7:30")
                                    << refused + "WAKE2/start is not a time of day (HH:MM:SS).\n"
                                    << false;
        QTest::newRow("an unreadable file")
            << "--write" << QByteArray() << "Could not read prog.ini: No such file or directory.\n"
            << false;
        QTest::newRow("a file of another family")
            << "--write" << Edited(v1, "BOARD/family", "KOTA")
            << "prog.ini holds a KOTA programme, not one for Lumivor V1.\n"
            << true;
        QTest::newRow("a missing folder to save in")
            << "--read" << QByteArray()
            << "Could not save missing/prog.ini: No such file or directory.\n"
            << false;
    }

    // A file that cannot be used stops the run with status 2: the board gets at most the
    // read-out, and no file is left behind.
    void refusesAndSendsNothing()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, file);
        QFETCH(QString, err);
        QFETCH(bool, readOut);

        QTemporaryDir dir;
        if (!file.isNull())
            QVERIFY(testprogramme::WriteFile(dir.filePath("prog.ini"), file));
        const QString path = command == "--read" ? "missing/prog.ini" : "prog.ini";
        CSimulatedBoard board(BoardType::LumivorV1);
        QVERIFY(board.Start());

        const Outcome run = Run({command, path, "--port", board.PortName()}, dir.path());
        QCOMPARE(run.err, err);
        QCOMPARE(run.status, 2);
        QCOMPARE(board.ReceivedLines(), readOut ? kReadOut : QList<QByteArray>());
        const QStringList left = file.isNull() ? QStringList() : QStringList{"prog.ini"};
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), left);
    }

    // With standard output closed, the programme has nowhere to go: nothing takes its place.
    void readToAClosedStandardOutputFails()
    {
        CSimulatedBoard board;
        QVERIFY(board.Start());
        QProcess process;
        process.start("/bin/sh",
                      {"-c", "exec \"$0\" --read - -p \"$1\" >&-", kTool, board.PortName()});
        const Outcome run = Finish(&process);
        QCOMPARE(run.err, QStringLiteral("Could not save standard output: Bad file descriptor.\n"));
        QCOMPARE(run.status, 2);
        QCOMPARE(board.ReceivedLines(), kReadOut);
    }

    // A value this version does not know is saved as the board holds it, with a warning; opening
    // the file refuses it.
    void savesWhatTheBoardHoldsWithAWarning()
    {
        CSimulatedBoard board(BoardType::LumivorV1);
        CSimulatedBoard::Programme programme = CSimulatedBoard::DefaultProgramme();
        programme.sessions[1].mode = 7;
        board.SetProgramme(programme);
        QVERIFY(board.Start());

        Outcome run = RunHere({"--read", "odd.ini", "-p", board.PortName(), "-q"});
        QCOMPARE(run.err, QStringLiteral("WAKE2/mode: 7 is outside what this version knows; "
                                         "opening this file will refuse it.\n"));
        QCOMPARE(run.status, 0);
        QVERIFY(testprogramme::ReadFile(m_dir.filePath("odd.ini")).contains("[WAKE2]\nmode=7\n"));

        run = RunHere({"--compare", "odd.ini", "-p", board.PortName()});
        QCOMPARE(run.err, QStringLiteral("odd.ini is not a programme file: WAKE2/mode is not "
                                         "between 0 and 2.\n"));
        QCOMPARE(run.status, 2);
    }

    void triesOnlyThePortGiven_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("the port's path") << false;
        QTest::newRow("a link to the port, followed") << true;
    }

    // With two boards, --port reaches the second alone; the first is never opened.
    void triesOnlyThePortGiven()
    {
        QFETCH(bool, throughLink);
        CSimulatedBoard first(BoardType::LumivorV1);
        CSimulatedBoard second(BoardType::Kota);
        QVERIFY(first.Start() && second.Start());
        QString port = second.PortName();
        if (throughLink) {
            port = m_dir.filePath(QStringLiteral("by-id-link"));
            QFile::remove(port);
            QVERIFY(QFile::link(second.PortName(), port));
        }
        const Outcome run = RunHere({"--read", "second.ini", "--port", port});
        QCOMPARE(run.status, 0);
        QCOMPARE(first.ReceivedLines(), QList<QByteArray>());
        QVERIFY(second.ReceivedLines().startsWith("ADV#\r"));
    }

    // The window takes --port as well, and refuses a command line it does not understand.
    void windowTriesOnlyThePortGiven()
    {
        CSimulatedBoard first(BoardType::LumivorV1);
        CSimulatedBoard second(BoardType::LumivorV2);
        QVERIFY(first.Start() && second.Start());
        ScanOnly({first.PortName(), second.PortName()});
        QVERIFY(!CCommandLine::SetUpWindow({"lumivor", "--port"}));
        QVERIFY(CCommandLine::SetUpWindow({"lumivor", "--port", second.PortName()}));

        MainWindow window;
        QCOMPARE(first.ReceivedLines(), QList<QByteArray>());
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("label_2"))->text(), second.PortName());
    }

    // A line the board takes no notice of: the write ends with status 3 and names that key.
    void boardThatLosesALineDiffers()
    {
        CSimulatedBoard board(BoardType::Kota);
        QVERIFY(board.Start());
        BoardProgramme wanted = ProgrammeOf(board);
        wanted.sessions[2].repeat = 40;
        const QString file = QStringLiteral("kota.ini");
        QVERIFY(testprogramme::WriteFile(
            m_dir.filePath(file),
            CProgrammeFile::Format({BoardType::Family(BoardType::Kota), QString(), wanted})));
        const int before = board.GetProgramme().sessions[2].repeat;
        board.SetFault(Fault::Silent, "ADV#WAKE=2,");

        const Outcome run = RunHere({"--write", file, "--port", board.PortName()});
        QCOMPARE(run.out, QStringLiteral("WAKE3/number: board %1, file 40\n").arg(before));
        QCOMPARE(run.err,
                 QStringLiteral("The board did not answer 1 of 1 lines: its programme may be "
                                "incomplete.\nThe board differs from kota.ini in 1 value: "
                                "WAKE3/number.\n"));
        QCOMPARE(run.status, 3);
    }

    void interruptedWriteEndsAfterItsLine_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << SIGINT;
        QTest::newRow("kill, timeout or systemd") << SIGTERM;
    }

    // A signal during a write lets the line under way end, tells how many went out, then ends
    // the tool by that same signal.
    void interruptedWriteEndsAfterItsLine()
    {
        QFETCH(int, signal);
        CSimulatedBoard board(BoardType::LumivorV1);
        QVERIFY(board.Start());
        QVERIFY(testprogramme::WriteFile(m_dir.filePath("interrupted.ini"), FileOf(Distinct())));
        QProcess process;
        Start(&process, {"--write", "interrupted.ini", "--port", board.PortName()}, m_dir.path());
        QVERIFY(board.WaitForReceived(kReadOut.size() + 3, kRunBoundMs));
        ::kill(pid_t(process.processId()), signal);
        const Outcome run = Finish(&process);

        QCOMPARE(run.signal, signal);
        QCOMPARE(
            run.err,
            QStringLiteral("Interrupted: %1 of 12 lines were sent.\n").arg(SettingLines(board)));
        QVERIFY(SettingLines(board) < 12);
    }

    void manyBoards_data()
    {
        QTest::addColumn<QStringList>("options"); // BOARDn: the port of the n-th board
        QTest::addColumn<QVector<int>>("kinds");  // of the boards, listed unless ports are named
        QTest::addColumn<QStringList>("results"); // each board's, SENT the lines it received
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // the end of stderr

        const QStringList write{"--write", "fleet.ini"};
        QTest::newRow("every board: taken, a line lost, gone, stopped answering; a silent port")
            << write + QStringList{"--all"}
            << QVector<int>{int(Kind::Takes), int(Kind::LosesALine), int(Kind::Goes),
                            int(Kind::StopsAnswering), int(Kind::Silent)}
            << QStringList{"written and verified",
                           "differs: 1 value\n\tWAKE3/number: board 40, file 9",
                           "unplugged: SENT of 12 lines sent", "stopped answering", QString()}
            << 3
            << "BOARD1: The board did not answer 1 of 1 lines: its programme may be incomplete.\n"
               "4 boards: 1 written and verified, 1 differs, 1 stopped answering, 1 unplugged.\n";
        QTest::newRow("ports named, one without a board, as JSON")
            << write + QStringList{"--json", "-p", "BOARD0", "-p", "BOARD1"}
            << QVector<int>{int(Kind::Holds), int(Kind::Silent)} << QStringList{"ok", "no-board"}
            << 1
            << "No board found: BOARD1 (no answer).\n2 boards: 1 holds the file, 1 no board.\n";
        QTest::newRow("every board as JSON, with its differences and unanswered lines")
            << write + QStringList{"--all", "--json"}
            << QVector<int>{int(Kind::Takes), int(Kind::LosesALine)}
            << QStringList{"ok", "differs\n\tWAKE3/number: board 40, file 9"} << 3
            << "2 boards: 1 written and verified, 1 differs.\n";
        QTest::newRow("every board, but no port has one")
            << QStringList{"--compare", "fleet.ini", "--all"} << QVector<int>{int(Kind::Silent)}
            << QStringList{QString()} << 1 << "No board found: BOARD0 (no answer).\n";
    }

    // Boards side by side: each result line (or JSON object) as the board's run came out, the
    // summary, and the largest status; a port without a board is no board unless named.
    void manyBoards()
    {
        QFETCH(QStringList, options);
        QFETCH(QVector<int>, kinds);
        QFETCH(QStringList, results);
        QFETCH(int, status);
        QFETCH(QString, err);

        QTemporaryDir dir;
        QVERIFY(testprogramme::WriteFile(dir.filePath("fleet.ini"), FileOf(Distinct())));
        std::vector<std::unique_ptr<CSimulatedBoard>> boards;
        QStringList ports;
        for (const int kind : kinds) {
            boards.push_back(BoardOf(Kind(kind)));
            QVERIFY(boards.back());
            ports << boards.back()->PortName();
        }
        for (int i = 0; i < ports.size(); ++i) {
            options.replaceInStrings(QStringLiteral("BOARD%1").arg(i), ports[i]);
            err.replace(QStringLiteral("BOARD%1").arg(i), ports[i]);
        }
        Launch launch{QString(), dir.filePath("data")};
        if (!options.contains("-p")) {
            launch.portsFile = dir.filePath("ports");
            QVERIFY(ListPorts(launch.portsFile, ports));
        }
        const Outcome run = Run(options, dir.path(), {}, launch);
        QVERIFY2(run.err.endsWith(err), qPrintable(run.err));
        QCOMPARE(run.status, status);

        const bool json = options.contains("--json");
        QStringList expected;
        for (int i = 0; i < ports.size(); ++i) {
            const CSimulatedBoard &board = *boards[size_t(i)];
            const bool answered = Kind(kinds[i]) != Kind::Silent;
            if (!results[i].isEmpty())
                expected << ports[i] + '\t' + (answered ? kV1 : QString()) + '\t' +
                                (answered ? board.Version().mid(1) : QString()) + '\t' +
                                QString(results[i])
                                    .replace("SENT", QString::number(SettingLines(board)));
        }
        QStringList told = ResultLines(run.out);
        if (json) {
            for (QString &line : told) {
                const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
                const int i = ports.indexOf(o["port"].toString());
                QVERIFY2(i >= 0, qPrintable(line));
                QCOMPARE(o["lines"].toInt(-1), SettingLines(*boards[size_t(i)]));
                QCOMPARE(o["unanswered"].toInt(-1), Kind(kinds[i]) == Kind::LosesALine ? 1 : 0);
                QVERIFY(o["seconds"].toDouble() > 0);
                line = QStringList{o["port"].toString(), o["family"].toString(),
                                   o["version"].toString(), o["result"].toString()}
                           .join('\t');
                for (const QJsonValue difference : o["differences"].toArray())
                    line += QStringLiteral("\n\t%1: board %2, file %3")
                                .arg(difference["key"].toString(), difference["board"].toString(),
                                     difference["file"].toString());
            }
        }
        told.sort();
        expected.sort();
        QCOMPARE(told, expected);
    }

    void writeSendsOnlyWhatDiffers_data()
    {
        QTest::addColumn<QByteArray>("start"); // WAKE1/start in the file
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("folderBlocked"); // a file stands where the backups would go
        QTest::addColumn<QByteArrayList>("sent");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");

        const QByteArrayList line{"ADV#WAKE=0,1,\"07:45:00\",\"00:10:00\",12\r"};
        QTest::newRow("one session's start differs: that line, after a backup")
            << QByteArray("07:45:00") << QStringList() << false << line << 0
            << "The board holds f.ini.\n";
        QTest::newRow("nothing differs: no line and no backup")
            << QByteArray("07:30:00") << QStringList() << false << QByteArrayList() << 0
            << "The board already holds f.ini.\n";
        QTest::newRow("no backup asked for") << QByteArray("07:45:00") << QStringList{"--no-backup"}
                                             << false << line << 0 << "The board holds f.ini.\n";
        QTest::newRow("no backup possible: nothing sent")
            << QByteArray("07:45:00") << QStringList() << true << QByteArrayList() << 4
            << "Could not keep a backup of the board's programme in DATA/lumivor/backups: Not a "
               "directory. Nothing was sent.\n";
    }

    // --write reads the board, keeps what it held as a backup and sends the lines that differ.
    void writeSendsOnlyWhatDiffers()
    {
        QFETCH(QByteArray, start);
        QFETCH(QStringList, options);
        QFETCH(bool, folderBlocked);
        QFETCH(QByteArrayList, sent);
        QFETCH(int, status);
        QFETCH(QString, err);

        QTemporaryDir dir;
        CSimulatedBoard board(BoardType::LumivorV1);
        QVERIFY(board.Start());
        const QByteArray held =
            CProgrammeFile::Format({kV1, board.Version().mid(1), ProgrammeOf(board)});
        QVERIFY(testprogramme::WriteFile(
            dir.filePath("f.ini"), Edited(FileOf(board.GetProgramme()), "WAKE1/start", start)));
        const QString data = dir.filePath("data");
        if (folderBlocked)
            QVERIFY(testprogramme::WriteFile(data, "not a folder"));
        const Outcome run = Run(QStringList{"--write", "f.ini", "-p", board.PortName()} + options,
                                dir.path(), {}, {QString(), data});
        QCOMPARE(run.err, err.replace("DATA", data));
        QCOMPARE(run.status, status);
        QByteArrayList received = board.ReceivedLines();
        QCOMPARE(received.mid(0, kReadOut.size()), kReadOut);
        received = received.mid(kReadOut.size(), sent.size());
        QCOMPARE(received, sent);
        const QDir backups(data + "/lumivor/backups");
        const QStringList kept = backups.entryList(QDir::Files);
        QCOMPARE(kept.size(), !sent.isEmpty() && options.isEmpty() ? 1 : 0);
        if (!kept.isEmpty())
            QCOMPARE(testprogramme::ReadFile(backups.filePath(kept.first())), held);
    }

    void listsWhatIsPluggedIn_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("board"); // a board beside the silent port
        QTest::newRow("text") << false << true;
        QTest::newRow("JSON") << true << true;
        QTest::newRow("no board anywhere") << false << false;
    }

    // --list probes every port with the handshake, "ADV#ECHO=0" and the version query alone.
    void listsWhatIsPluggedIn()
    {
        QFETCH(bool, json);
        QFETCH(bool, board);
        QTemporaryDir dir;
        CSimulatedBoard kota(BoardType::Kota);
        const std::unique_ptr<CSimulatedBoard> silent = BoardOf(Kind::Silent);
        QVERIFY(kota.Start() && silent);
        QStringList ports{silent->PortName()};
        if (board)
            ports.prepend(kota.PortName());
        const Launch launch{dir.filePath("ports"), QString()};
        QVERIFY(ListPorts(launch.portsFile, ports));

        const Outcome run = Run(json ? QStringList{"--list", "--json"} : QStringList{"--list"},
                                dir.path(), {}, launch);
        QCOMPARE(run.status, board ? 0 : 1);
        const QString version = kota.Version().mid(1);
        const QString out =
            json ? QStringLiteral("{\"family\":\"KOTA\",\"port\":\"%1\",\"version\":\"%2\"}\n"
                                  "{\"port\":\"%3\",\"reason\":\"no answer\"}\n")
                 : QStringLiteral("%1\tKOTA\t%2\n%3\tno answer\n");
        QString expected = out.arg(kota.PortName(), version, silent->PortName());
        if (!board)
            expected = expected.section('\n', 1);
        QCOMPARE(run.out, expected);
        QCOMPARE(kota.ReceivedLines(), board ? kReadOut.mid(0, 3) : QByteArrayList());
        QCOMPARE(silent->ReceivedLines(), QByteArrayList{"ADV#\r"});
    }

    void stationMode_data()
    {
        QTest::addColumn<QStringList>("options"); // beside --watch --write fleet.ini
        QTest::addColumn<int>("signal");          // sent once the board plugged in later is done
        QTest::addColumn<bool>("whileWriting");   // ... or while it is written
        QTest::addColumn<QString>("later");       // its result, SENT the lines it received
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("diesBySignal");

        QTest::newRow("a board plugged in later, then Ctrl+C while idle")
            << QStringList() << SIGINT << false << "holds the file"
            << "2 boards: 1 written and verified, 1 holds the file.\n"
            << false;
        QTest::newRow("SIGTERM while the board plugged in later is written")
            << QStringList() << SIGTERM << true << "interrupted: SENT of 12 lines sent"
            << "2 boards: 1 written and verified, 1 interrupted.\n"
            << true;
        QTest::newRow("a count of boards reached")
            << QStringList{"--count", "2"} << 0 << false << "holds the file"
            << "2 boards: 1 written and verified, 1 holds "
               "the file.\n"
            << false;
    }

    // --watch takes the board plugged in, then one whose port is listed later, and ends at a
    // signal (by it only when a board was under way) or after --count boards.
    void stationMode()
    {
        QFETCH(QStringList, options);
        QFETCH(int, signal);
        QFETCH(bool, whileWriting);
        QFETCH(QString, later);
        QFETCH(QString, summary);
        QFETCH(bool, diesBySignal);

        QTemporaryDir dir;
        QVERIFY(testprogramme::WriteFile(dir.filePath("fleet.ini"), FileOf(Distinct())));
        const std::unique_ptr<CSimulatedBoard> first = BoardOf(Kind::Takes);
        const std::unique_ptr<CSimulatedBoard> second =
            BoardOf(whileWriting ? Kind::Takes : Kind::Holds);
        QVERIFY(first && second);
        const Launch launch{dir.filePath("ports"), dir.filePath("data")};
        QVERIFY(ListPorts(launch.portsFile, {first->PortName()}));
        QProcess process;
        Start(&process, QStringList{"--watch", "--write", "fleet.ini"} + options, dir.path(),
              launch);
        QString out;
        const auto linesOut = [&](int lines) {
            return WaitUntil(
                [&] {
                    process.waitForReadyRead(10);
                    out += QString::fromUtf8(process.readAllStandardOutput());
                    return out.count('\n') >= lines;
                },
                kRunBoundMs);
        };
        QVERIFY(linesOut(1));
        QVERIFY(ListPorts(launch.portsFile, {first->PortName(), second->PortName()}));
        if (whileWriting)
            QVERIFY(second->WaitForReceived(kReadOut.size() + 3, kRunBoundMs));
        else
            QVERIFY(linesOut(2));
        if (signal != 0)
            ::kill(pid_t(process.processId()), signal);
        const Outcome run = Finish(&process);

        QCOMPARE(run.signal, diesBySignal ? signal : 0);
        QCOMPARE(run.status, diesBySignal ? -1 : 0);
        QVERIFY2(run.err.endsWith(summary), qPrintable(run.err));
        const QString version = QLatin1Char('\t') + kV1 + '\t' + first->Version().mid(1) + '\t';
        QCOMPARE(ResultLines(out + run.out),
                 QStringList({first->PortName() + version + "written and verified",
                              second->PortName() + version +
                                  later.replace("SENT", QString::number(SettingLines(*second)))}));
    }
};

// In the tool's place: its command line, with the ports listed in the file named after kAsTool.
int RunAsTool(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("lumivor"));
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString ports = arguments.takeAt(2);
    arguments.removeAt(1);
    CAdvCmd::SetDefaultPortDiscovery([ports] {
        return QString::fromUtf8(testprogramme::ReadFile(ports)).split('\n', Qt::SkipEmptyParts);
    });
    return CCommandLine::Run(arguments);
}

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[1], kAsTool) == 0)
        return RunAsTool(argc, argv);
    QApplication application(argc, argv);
    TestCommandLine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_commandline.moc"
