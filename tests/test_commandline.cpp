#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "device/ProgrammeFile.h"
#include "tests/LinkBench.h"
#include "tests/TestProgramme.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The command line as people run it: the tool started as a process, with no display at all,
// against simulated boards whose ports it is given.

using namespace linkbench;
using testprogramme::At;
using testprogramme::Edited;
using testprogramme::ProgrammeOf;

namespace {

constexpr int kRunBoundMs = 60000;
const QString kTool = QStringLiteral(LUMIVOR_TOOL);

struct Outcome
{
    int status = -1; // -1 after a death by a signal
    QString out;
    QString err;
    int signal = 0; // the signal the tool died by
};

// Starts the tool in the folder with neither a display nor a platform chosen.
void Start(QProcess *process, const QStringList &arguments, const QString &folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(folder);
    process->start(kTool, arguments);
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
Outcome Run(const QStringList &arguments, const QString &folder, const QByteArray &input = {})
{
    QProcess process;
    Start(&process, arguments, folder);
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
            << "Give one of --read, --write and --compare." + tryHelp;
        QTest::newRow("the same command twice")
            << QStringList{"--read", "a.ini", "--read", "b.ini", "-p", "PORT"} << 2 << QString()
            << "--read is given twice." + tryHelp;
        QTest::newRow("a port twice, short and long")
            << QStringList{"--write", "a.ini", "-p", "PORT", "--port", "PORT"} << 2 << QString()
            << "--port is given twice." + tryHelp;
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
        QCOMPARE(SettingLines(target), 46);
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
                 QStringLiteral("The board did not answer 1 of 10 lines: its programme may be "
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
        QVERIFY(testprogramme::WriteFile(
            m_dir.filePath("interrupted.ini"),
            CProgrammeFile::Format(
                {BoardType::Family(BoardType::LumivorV1), QString(), ProgrammeOf(board)})));
        QProcess process;
        Start(&process, {"--write", "interrupted.ini", "--port", board.PortName()}, m_dir.path());
        QVERIFY(board.WaitForReceived(kReadOut.size() + 3, kRunBoundMs));
        ::kill(pid_t(process.processId()), signal);
        const Outcome run = Finish(&process);

        QCOMPARE(run.signal, signal);
        QCOMPARE(
            run.err,
            QStringLiteral("Interrupted: %1 of 46 lines were sent.\n").arg(SettingLines(board)));
        QVERIFY(SettingLines(board) < 46);
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_commandline.moc"
