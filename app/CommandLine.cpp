#include "app/CommandLine.h"

#include "app/Interruption.h"
#include "device/BoardType.h"
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
const char *const kWithoutWindow[] = {"--read",    "--write", "--compare", "--help", "--help-all",
                                      "--version", "-h",      "-?",        "-v"};

// What tells where the window would open, in the environment or among Qt's own options.
const char *const kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
const char *const kPlatformOptions[] = {"-platform", "--platform"};
const QString kEndOfOptions = QStringLiteral("--");

const char *const kNullDevice = "/dev/null";

// Device files of serial ports live here; a port in it is named as the system lists it.
const QString kDeviceFolder = QStringLiteral("/dev/");

// Raw replies of the board go to the debug output; on the command line only when asked for.
const QString kQuietDebugOutput = QStringLiteral("default.debug=false");

constexpr auto kAsGiven = CProgrammeFile::Naming::AsGiven;

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// A port given by path is named as the system lists it when its device file, links followed,
// lies directly in /dev; any other path is kept whole, and a name is taken as it is.
QString PortName(const QString &given)
{
    if (!given.contains(QLatin1Char('/')))
        return given;
    const QString path = QFileInfo(given).canonicalFilePath();
    if (path.isEmpty())
        return given; // not there: the scan tells so
    const QString name = path.mid(kDeviceFolder.size());
    return path.startsWith(kDeviceFolder) && !name.contains(QLatin1Char('/')) ? name : path;
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

void CCommandLine::UsePort(const QString &port)
{
    if (port.isEmpty())
        return;
    const QString name = PortName(port);
    CAdvCmd::SetDefaultPortDiscovery([name] { return QStringList{name}; });
}

int CCommandLine::Run(const QStringList &arguments)
{
    CCommandOptions options(CCommandOptions::Use::Commands);
    const QString problem = options.Parse(arguments);
    if (!problem.isEmpty())
        return Usage(problem);
    switch (options.GetCommand()) {
    case CCommandOptions::Command::Help:
        CConsole::Print(stdout, options.HelpText());
        return kDone;
    case CCommandOptions::Command::Version:
        CConsole::Print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                                    QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return kDone;
    default:
        break;
    }
    UsePort(options.Port());
    QLoggingCategory::setFilterRules(kQuietDebugOutput);
    CConsole console(options.Quiet());
    const int status = CCommandLine(options, &console).Execute();
    if (const int signal = CInterruption::Caught())
        CInterruption::Die(signal);
    return status;
}

bool CCommandLine::SetUpWindow(const QStringList &arguments)
{
    CCommandOptions options(CCommandOptions::Use::Window);
    const QString problem = options.Parse(arguments);
    if (!problem.isEmpty()) {
        Usage(problem);
        return false;
    }
    UsePort(options.Port());
    return true;
}

CCommandLine::CCommandLine(const CCommandOptions &options, CConsole *console)
    : m_command(options.GetCommand()), m_path(options.Path()), m_name(m_path),
      m_verbose(options.Verbose()), m_console(*console),
      m_traffic([console](const QString &line) { console->Trace(line); })
{
    if (m_path == CCommandOptions::kStandardStream)
        m_name = m_command == CCommandOptions::Command::Read ? Tr("standard output")
                                                             : Tr("standard input");
}

int CCommandLine::Execute()
{
    WatchLink();
    int status = kDone;
    try {
        status = m_command == CCommandOptions::Command::Read    ? Read()
                 : m_command == CCommandOptions::Command::Write ? Write()
                                                                : Compare();
    } catch (const Interrupted &) {
        m_settings.Disconnect();
        m_traffic.Flush();
        m_console.Warn(m_linesToWrite > 0 ? Tr("Interrupted: %1 of %2 lines were sent.")
                                                .arg(m_linesWritten)
                                                .arg(m_linesToWrite)
                                          : Tr("Interrupted: no programme line was sent."));
        return CInterruption::kSignalStatus + CInterruption::Caught();
    }
    m_traffic.Flush();
    return status;
}

// A caught signal acts between two slices of a wait, or during a write-out once the line under
// way has ended.
void CCommandLine::WatchLink()
{
    CAdvCmd &link = m_settings.Link();
    link.SetWaitSlice([this] {
        if (!m_writing)
            StopIfInterrupted();
    });
    link.SetLineObserver([this](const QByteArray &) {
        if (m_writing)
            m_console.Progress(Tr("Writing line %1 of %2 to the board on %3")
                                   .arg(++m_linesWritten)
                                   .arg(m_linesToWrite)
                                   .arg(m_settings.GetPortName()));
        StopIfInterrupted();
    });
    if (m_verbose) {
        link.SetTrafficObserver([this](CAdvCmd::Direction direction, const QByteArray &bytes) {
            m_traffic.Add(direction, bytes);
        });
    }
}

void CCommandLine::StopIfInterrupted() const
{
    if (CInterruption::Caught() != 0)
        throw Interrupted();
}

int CCommandLine::Read()
{
    // Checked before any port is opened, so that a run that cannot save sends nothing.
    if (m_path != CCommandOptions::kStandardStream) {
        const QString problem = CProgrammeFile::DestinationProblem(m_path, kAsGiven);
        if (!problem.isEmpty()) {
            m_console.Warn(problem);
            return kBadInput;
        }
    }
    if (!ConnectAndReadOut())
        return kNoBoard;
    const CProgrammeFile::Contents contents{BoardType::Family(m_settings.GetBoardType()),
                                            m_settings.GetVersion(), m_settings.GetProgramme()};
    // What the board holds is saved even where this version cannot take it back.
    for (const QString &warning : CProgrammeFile::Warnings(contents))
        m_console.Warn(warning);
    if (!Save(contents))
        return kBadInput;
    m_console.Tell(CProgrammeFile::SavedMessage(m_name, kAsGiven));
    return kDone;
}

bool CCommandLine::Save(const CProgrammeFile::Contents &contents)
{
    QString message;
    bool saved = false;
    if (m_path == CCommandOptions::kStandardStream) {
        QFile out;
        saved = out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                CProgrammeFile::Save(&out, m_name, contents, &message);
    } else {
        saved = CProgrammeFile::Save(m_path, contents, &message, kAsGiven);
    }
    if (!saved)
        m_console.Warn(message);
    return saved;
}

// Checks the file before any port is opened, then finds the board, reads it out and checks that
// the file is of its family. Keys the family does not use are left at 0: the board's counts
// leave them out of what is sent and compared.
int CCommandLine::OpenForBoard(CProgrammeFile::Contents *file)
{
    QFile in;
    if (m_path == CCommandOptions::kStandardStream)
        in.open(STDIN_FILENO, QIODevice::ReadOnly);
    else
        in.setFileName(m_path);
    QString message;
    if (!CProgrammeFile::Open(&in, m_name, BoardProgramme(), file, &message)) {
        m_console.Warn(message);
        return kBadInput;
    }
    if (!ConnectAndReadOut())
        return kNoBoard;
    const int type = m_settings.GetBoardType();
    message = CProgrammeFile::FamilyProblem(m_name, *file, type, BoardType::Family(type), kAsGiven);
    if (!message.isEmpty()) {
        m_console.Warn(message);
        return kBadInput;
    }
    return kDone;
}

int CCommandLine::Write()
{
    CProgrammeFile::Contents file;
    if (const int status = OpenForBoard(&file); status != kDone)
        return status;

    m_settings.SetProgramme(file.programme);
    const CAdvCmd &link = m_settings.Link();
    const int serialBefore = link.SerialLines();
    const int unansweredBefore = link.UnansweredLines();
    m_linesToWrite = m_settings.SendAllLines();
    m_writing = true;
    m_settings.SendAll();
    m_writing = false;
    const int unanswered = link.UnansweredLines() - unansweredBefore;
    if (unanswered > 0)
        m_console.Warn(CWriteReport::Unanswered(unanswered, link.SerialLines() - serialBefore));

    int checked = 0;
    const int requests = m_settings.ProgrammeRequests();
    m_console.Progress(Tr("Verifying"));
    if (!m_settings.ReadProgramme(
            [&] { m_console.Progress(Tr("Verifying: %1 of %2").arg(++checked).arg(requests)); })) {
        m_console.Warn(CProgrammeFile::NoReadBackMessage(m_name, kAsGiven));
        return kNoBoard;
    }
    return Verdict(file.family, file.programme);
}

int CCommandLine::Compare()
{
    CProgrammeFile::Contents file;
    const int status = OpenForBoard(&file);
    return status == kDone ? Verdict(file.family, file.programme) : status;
}

bool CCommandLine::ConnectAndReadOut()
{
    // From here on a signal ends the run only between two exchanges with the board; before, it
    // ended the tool at once, with nothing sent (a file read from a terminal included).
    CInterruption::Catch();
    m_console.Progress(Tr("Looking for a board"));
    if (!m_settings.ConnectBoard()) {
        m_console.Warn(CScanReport::Message(m_settings.Link().LastScan()));
        return false;
    }
    const QString port = m_settings.GetPortName();
    int done = 0;
    m_console.Progress(Tr("Reading the board on %1").arg(port));
    if (!m_settings.ReadAll([&] {
            m_console.Progress(Tr("Reading the board on %1: %2 of %3")
                                   .arg(port)
                                   .arg(++done)
                                   .arg(CBoardSettings::kReadOutSteps));
        })) {
        m_console.Warn(Tr("The board on %1 stopped answering during the read-out.").arg(port));
        return false;
    }
    m_console.Progress(Tr("%1 on %2").arg(BoardType::Family(m_settings.GetBoardType()), port));
    return true;
}

int CCommandLine::Verdict(const QString &family, const BoardProgramme &file)
{
    const QVector<CProgrammeFile::Difference> differences =
        CProgrammeFile::Compare(family, m_settings.GetProgramme(), file);
    m_console.Tell(QString());
    for (const CProgrammeFile::Difference &difference : differences)
        CConsole::Print(stdout, QStringLiteral("%1: board %2, file %3\n")
                                    .arg(difference.key, difference.board, difference.file));
    const QString message = CProgrammeFile::CompareMessage(m_name, differences, kAsGiven);
    if (!differences.isEmpty()) {
        m_console.Warn(message);
        return kDiffers;
    }
    m_console.Tell(message);
    return kDone;
}
