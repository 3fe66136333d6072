#include "app/CommandLine.h"

#include "app/FleetRun.h"
#include "app/Interruption.h"
#include "app/PortList.h"
#include "app/ResultFormat.h"
#include "device/BackupStore.h"
#include "device/BoardType.h"
#include "device/PortScan.h"
#include "device/ScanReport.h"
#include "device/WriteReport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char *const kContext = "MainWindow";

// The options that make the tool run without a window, as Qt's parser takes them.
const char *const kWithoutWindow[] = {
    "--read",      "--write", "--compare",  "--list",    "--all", "--watch", "--count", "--json",
    "--no-backup", "--help",  "--help-all", "--version", "-h",    "-?",      "-v"};

// What tells where the window would open, in the environment or among Qt's own options.
const char *const kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
const char *const kPlatformOptions[] = {"-platform", "--platform"};
const QString kEndOfOptions = QStringLiteral("--");

const char *const kNullDevice = "/dev/null";

// Device files of serial ports live here; a port in it is named as the system lists it.

// Raw replies of the board go to the debug output; on the command line only when asked for.
const QString kQuietDebugOutput = QStringLiteral("default.debug=false");

constexpr auto kAsGiven = CProgrammeFile::Naming::AsGiven;

using Command = CCommandOptions::Command;
using Outcome = CBoardResult::Outcome;

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

} // namespace

void CCommandLine::KeepStandardStreams()
{
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        // Opened for reading alone: a write to a closed standard output still fails.
        if (::fcntl(stream, F_GETFD) == -1 && errno == EBADF)
            ::open(kNullDevice, O_RDONLY); // the lowest free descriptor: this one
    }
}

bool CCommandLine::RunsWithoutWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == kEndOfOptions)
            return false;
        for (const char *option : kWithoutWindow) {
            const QString name = QLatin1String(option);
            if (argument == name || argument.startsWith(name + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

bool CCommandLine::HasDisplay(int argc, char *argv[])
{
    for (const char *variable : kDisplayVariables) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    for (int i = 1; i < argc; ++i) {
        for (const char *option : kPlatformOptions) {
            if (qstrcmp(argv[i], option) == 0)
                return true;
        }
    }
    Usage(Tr("No display to open the window on. Without one, use --read, --write or --compare."));
    return false;
}

// A sentence, then where to read more, as Qt's parser itself tells a usage error.
int CCommandLine::Usage(const QString &why)
{
    CConsole::Print(stderr, why + QLatin1Char('\n') +
                                Tr("Try \"%1 --help\".").arg(QCoreApplication::applicationName()) +
                                QLatin1Char('\n'));
    return kBadInput;
}

// A port given by path is named as the system lists it when its device file, links followed,
// lies directly in /dev; any other path is kept whole, and a name is taken as it is.
QString CCommandLine::PortName(const QString &given)
{
    if (!given.contains(QLatin1Char('/')))
        return given;
    const QString path = QFileInfo(given).canonicalFilePath();
    if (path.isEmpty())
        return given; // not there: the scan tells so
    const QLatin1String folder(CPortScan::kDeviceFolder);
    const QString name = path.mid(folder.size());
    return path.startsWith(folder) && !name.contains(QLatin1Char('/')) ? name : path;
}

int CCommandLine::Run(const QStringList &arguments)
{
    CCommandOptions options(CCommandOptions::Use::Commands);
    const QString problem = options.Parse(arguments);
    if (!problem.isEmpty())
        return Usage(problem);
    switch (options.GetCommand()) {
    case Command::Help:
        CConsole::Print(stdout, options.HelpText());
        return CBoardResult::kDone;
    case Command::Version:
        CConsole::Print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                                    QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return CBoardResult::kDone;
    default:
        break;
    }
    QLoggingCategory::setFilterRules(kQuietDebugOutput);
    CConsole console(options.Quiet());
    CCommandLine commandLine(options, &console);
    const int status = commandLine.Execute();
    const int signal = CInterruption::Caught();
    if (signal != 0 && commandLine.m_endsBySignal)
        CInterruption::Die(signal);
    return status;
}

bool CCommandLine::SetUpWindow(const QStringList &arguments, QString *programmeFile)
{
    CCommandOptions options(CCommandOptions::Use::Window);
    const QString problem = options.Parse(arguments);
    if (!problem.isEmpty()) {
        Usage(problem);
        return false;
    }
    if (!options.Ports().isEmpty()) {
        const QString name = PortName(options.Ports().first());
        CAdvCmd::SetDefaultPortDiscovery([name] { return QStringList{name}; });
    }
    if (programmeFile)
        *programmeFile = options.Path();
    return true;
}

CCommandLine::CCommandLine(const CCommandOptions &options, CConsole *console)
    : m_options(options), m_console(*console), m_name(options.Path())
{
    for (const QString &port : options.Ports())
        m_ports << PortName(port);
    if (m_name == CCommandOptions::kStandardStream)
        m_name =
            options.GetCommand() == Command::Read ? Tr("standard output") : Tr("standard input");
}

int CCommandLine::Execute()
{
    switch (m_options.GetCommand()) {
    case Command::List:
        return CPortList::Run(m_ports.isEmpty() ? CAdvCmd().ListedPorts() : m_ports,
                              m_options.Json(), &m_console);
    case Command::Read:
        return Read();
    default:
        return WriteOrCompare();
    }
}

CBoardRun::Report CCommandLine::Progress()
{
    return [this](const QString &text) { m_console.Progress(text); };
}

CBoardRun::Report CCommandLine::Warn()
{
    return [this](const QString &text) { m_console.Warn(text); };
}

void CCommandLine::SetUp(CBoardRun *run)
{
    if (!m_ports.isEmpty())
        run->UsePort(m_ports.first());
    if (m_options.Verbose())
        run->Trace([this](const QString &line) { m_console.Trace(line); });
}

int CCommandLine::Read()
{
    const QString path = m_options.Path();
    // Checked before any port is opened, so that a run that cannot save sends nothing.
    if (path != CCommandOptions::kStandardStream) {
        const QString problem = CProgrammeFile::DestinationProblem(path, kAsGiven);
        if (!problem.isEmpty()) {
            m_console.Warn(problem);
            return kBadInput;
        }
    }
    // From here on a signal winds the run down; before, it ended the tool at once.
    CInterruption::Catch();
    CBoardRun run({}, Progress(), Warn());
    SetUp(&run);
    CBoardResult result;
    if (!run.Read(&result))
        return Tell(result);
    const CBoardSettings &settings = run.Settings();
    const CProgrammeFile::Contents contents{BoardType::Family(settings.GetBoardType()),
                                            settings.GetVersion(), settings.GetProgramme()};
    // What the board holds is saved even where this version cannot take it back.
    for (const QString &warning : CProgrammeFile::Warnings(contents))
        m_console.Warn(warning);
    if (!Save(contents))
        return kBadInput;
    m_console.Tell(CProgrammeFile::SavedMessage(m_name, kAsGiven));
    return CBoardResult::kDone;
}

bool CCommandLine::Save(const CProgrammeFile::Contents &contents)
{
    const QString path = m_options.Path();
    QString message;
    bool saved = false;
    if (path == CCommandOptions::kStandardStream) {
        QFile out;
        saved = out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                CProgrammeFile::Save(&out, m_name, contents, &message);
    } else {
        saved = CProgrammeFile::Save(path, contents, &message, kAsGiven);
    }
    if (!saved)
        m_console.Warn(message);
    return saved;
}

bool CCommandLine::OpenFile(CProgrammeFile::Contents *file)
{
    QFile in;
    if (m_options.Path() == CCommandOptions::kStandardStream)
        in.open(STDIN_FILENO, QIODevice::ReadOnly);
    else
        in.setFileName(m_options.Path());
    QString message;
    if (CProgrammeFile::Open(&in, m_name, BoardProgramme(), file, &message))
        return true;
    m_console.Warn(message);
    return false;
}

int CCommandLine::WriteOrCompare()
{
    CBoardRun::Job job{m_options.GetCommand(), m_name, {}, nullptr};
    if (!OpenFile(&job.file))
        return kBadInput;
    const CBackupStore backups;
    if (job.command == Command::Write && !m_options.NoBackup())
        job.backups = &backups;
    // From here on a signal winds the runs down; before, it ended the tool at once, with nothing
    // sent (a file read from a terminal included).
    CInterruption::Catch();
    if (m_options.ManyBoards()) {
        CFleetRun fleet({job, m_ports, m_options.Watch(), m_options.Count(), m_options.Json(),
                         m_options.Verbose()},
                        &m_console);
        const int status = fleet.Exec();
        m_endsBySignal = fleet.EndsBySignal();
        return status;
    }
    CBoardRun run(job, Progress(), Warn());
    SetUp(&run);
    return Tell(run.Run());
}

int CCommandLine::Tell(const CBoardResult &result)
{
    if (m_options.Json())
        m_console.Out(CResultFormat::Json(result));
    const bool wrote = result.linesToSend > 0;
    switch (result.outcome) {
    case Outcome::Written:
        m_console.Tell(CProgrammeFile::CompareMessage(m_name, {}, kAsGiven));
        break;
    case Outcome::Holds:
        m_console.Tell(m_options.GetCommand() == Command::Write
                           ? Tr("The board already holds %1.").arg(m_name)
                           : CProgrammeFile::CompareMessage(m_name, {}, kAsGiven));
        break;
    case Outcome::Differs:
        if (!m_options.Json())
            m_console.Out(CResultFormat::Differences(result.differences));
        m_console.Warn(CProgrammeFile::CompareMessage(m_name, result.differences, kAsGiven));
        break;
    case Outcome::NoBoard:
        m_console.Warn(CScanReport::Message(result.scan));
        break;
    case Outcome::Lost:
        m_console.Warn(
            wrote ? CProgrammeFile::NoReadBackMessage(m_name, kAsGiven)
                  : Tr("The board on %1 stopped answering during the read-out.").arg(result.port));
        break;
    case Outcome::Unplugged:
        m_console.Warn(wrote ? CWriteReport::UnpluggedDuringWrite(result.port, result.linesSent,
                                                                  result.linesToSend)
                             : CWriteReport::Unplugged(result.port));
        break;
    case Outcome::Interrupted:
        m_console.Warn(wrote ? Tr("Interrupted: %1 of %2 lines were sent.")
                                   .arg(result.linesSent)
                                   .arg(result.linesToSend)
                             : Tr("Interrupted: no programme line was sent."));
        break;
    case Outcome::OtherFamily:
    case Outcome::NoBackup:
        break; // told as the run went
    }
    return result.StatusAfter(CInterruption::Caught());
}
