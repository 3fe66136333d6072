#include "app/CommandLine.h"

#include "device/BoardType.h"
#include "device/ProgrammeFile.h"
#include "device/ScanReport.h"
#include "device/WriteReport.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const char *const kContext = "MainWindow";

// The options that make the tool run without a window; Qt's parser adds the short forms of the
// last two.
const char *const kRead = "read";
const char *const kWrite = "write";
const char *const kCompare = "compare";
const char *const kPort = "port";
const char *const kWithoutWindow[] = {"--read",    "--write", "--compare", "--help", "--help-all",
                                      "--version", "-h",      "-?",        "-v"};

// Device files of serial ports live here; a port in it is named as the system lists it.
const QString kDeviceFolder = QStringLiteral("/dev/");

// Raw replies of the board go to the debug output; on the command line only when asked for.
const QString kQuietDebugOutput = QStringLiteral("default.debug=false");

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

// UTF-8 whatever the locale, so that texts such as the ellipsis come out whole.
void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
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

bool CCommandLine::RunsWithoutWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--"))
            return false;
        for (const char *option : kWithoutWindow) {
            const QString name = QLatin1String(option);
            if (argument == name || argument.startsWith(name + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

void CCommandLine::AddOptions(QCommandLineParser *parser)
{
    parser->setApplicationDescription(
        Tr("Configures Lumivor and KOTA controller boards over a serial port. Without --read, "
           "--write or --compare it opens its window."));
    parser->addOption({QLatin1String(kRead),
                       Tr("Find the board, read it out and save its programme to FILE."),
                       QStringLiteral("FILE")});
    parser->addOption({QLatin1String(kWrite),
                       Tr("Check FILE, find the board, write the programme of FILE to it, read "
                          "it back and compare."),
                       QStringLiteral("FILE")});
    parser->addOption({QLatin1String(kCompare),
                       Tr("Check FILE, find the board, read it out and compare it with FILE."),
                       QStringLiteral("FILE")});
    parser->addOption({QLatin1String(kPort),
                       Tr("Try only this serial port: a name (ttyUSB0) or a path "
                          "(/dev/ttyUSB0, /dev/serial/by-id/...)."),
                       QStringLiteral("PORT")});
}

void CCommandLine::UsePort(const QCommandLineParser &parser)
{
    if (!parser.isSet(QLatin1String(kPort)))
        return;
    const QString port = PortName(parser.value(QLatin1String(kPort)));
    CAdvCmd::SetDefaultPortDiscovery([port] { return QStringList{port}; });
}

int CCommandLine::Run(const QStringList &arguments)
{
    QCommandLineParser parser;
    AddOptions(&parser);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const auto bad = [](const QString &why) {
        Print(stderr, why + QLatin1Char('\n') +
                          Tr("Try \"%1 --help\".").arg(QCoreApplication::applicationName()) +
                          QLatin1Char('\n'));
        return kBadInput;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(help)) {
        Print(stdout, parser.helpText());
        return kDone;
    }
    if (parser.isSet(version)) {
        Print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                          QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return kDone;
    }
    const struct
    {
        const char *option;
        Command command;
    } commands[] = {{kRead, Command::Read}, {kWrite, Command::Write}, {kCompare, Command::Compare}};
    int given = 0;
    Command command = Command::Read;
    for (const auto &candidate : commands) {
        if (parser.isSet(QLatin1String(candidate.option))) {
            ++given;
            command = candidate.command;
        }
    }
    if (given != 1)
        return bad(Tr("Give one of --read, --write and --compare."));
    if (!parser.positionalArguments().isEmpty())
        return bad(Tr("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    const char *option = command == Command::Read    ? kRead
                         : command == Command::Write ? kWrite
                                                     : kCompare;
    const QString path = parser.value(QLatin1String(option));
    if (path.isEmpty())
        return bad(Tr("--%1 needs a file name.").arg(QLatin1String(option)));
    UsePort(parser);
    QLoggingCategory::setFilterRules(kQuietDebugOutput);
    CCommandLine run(command, path);
    return run.Execute();
}

bool CCommandLine::SetUpWindow(const QStringList &arguments)
{
    QCommandLineParser parser;
    AddOptions(&parser);
    QString why;
    if (!parser.parse(arguments))
        why = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        why = Tr("Unexpected argument: %1").arg(parser.positionalArguments().first());
    if (!why.isEmpty()) {
        Print(stderr, why + QLatin1Char('\n'));
        return false;
    }
    UsePort(parser);
    return true;
}

CCommandLine::CCommandLine(Command command, const QString &path)
    : m_command(command), m_path(path), m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

int CCommandLine::Execute()
{
    struct sigaction action
    {
    };
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    // Ctrl+C acts between two slices of a wait, or once the line being written has ended.
    CAdvCmd &link = m_settings.Link();
    link.SetWaitSlice([this] {
        if (g_interrupted && !m_writing)
            Interrupted();
    });
    link.SetLineObserver([this](const QByteArray &) {
        if (m_writing)
            Progress(Tr("Writing line %1 of %2 to the board on %3")
                         .arg(++m_linesWritten)
                         .arg(m_linesToWrite)
                         .arg(m_settings.GetPortName()));
        if (g_interrupted)
            Interrupted();
    });

    int status = kDone;
    switch (m_command) {
    case Command::Read:
        status = Read();
        break;
    case Command::Write:
        status = Write();
        break;
    case Command::Compare:
        status = Compare();
        break;
    }
    link.SetWaitSlice({});
    link.SetLineObserver({});
    return status;
}

int CCommandLine::Read()
{
    if (!ConnectAndReadOut())
        return kNoBoard;
    const CProgrammeFile::Contents contents{BoardType::Family(m_settings.GetBoardType()),
                                            m_settings.GetVersion(), m_settings.GetProgramme()};
    QString message;
    if (!CProgrammeFile::Save(m_path, contents, &message)) {
        Tell(message);
        return kBadInput;
    }
    Tell(CProgrammeFile::SavedMessage(m_path));
    return kDone;
}

// Checks the file before any port is opened, then finds the board, reads it out and checks that
// the file is of its family. Keys the family does not use are left at 0: the board's counts
// leave them out of what is sent and compared.
int CCommandLine::OpenForBoard(CProgrammeFile::Contents *file)
{
    QString message;
    if (!CProgrammeFile::Open(m_path, BoardProgramme(), file, &message)) {
        Tell(message);
        return kBadInput;
    }
    if (!ConnectAndReadOut())
        return kNoBoard;
    const int type = m_settings.GetBoardType();
    message = CProgrammeFile::FamilyProblem(m_path, *file, type, BoardType::Family(type));
    if (!message.isEmpty()) {
        Tell(message);
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
        Tell(CWriteReport::Unanswered(unanswered, link.SerialLines() - serialBefore));

    int checked = 0;
    const int requests = m_settings.ProgrammeRequests();
    Progress(Tr("Verifying"));
    if (!m_settings.ReadProgramme(
            [&] { Progress(Tr("Verifying: %1 of %2").arg(++checked).arg(requests)); })) {
        Tell(CProgrammeFile::NoReadBackMessage(m_path));
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
    Progress(Tr("Looking for a board"));
    if (!m_settings.ConnectBoard()) {
        Tell(CScanReport::Message(m_settings.Link().LastScan()));
        return false;
    }
    const QString port = m_settings.GetPortName();
    int done = 0;
    Progress(Tr("Reading the board on %1").arg(port));
    if (!m_settings.ReadAll([&] {
            Progress(Tr("Reading the board on %1: %2 of %3")
                         .arg(port)
                         .arg(++done)
                         .arg(CBoardSettings::kReadOutSteps));
        })) {
        Tell(Tr("The board on %1 stopped answering during the read-out.").arg(port));
        return false;
    }
    Progress(Tr("%1 on %2").arg(BoardType::Family(m_settings.GetBoardType()), port));
    return true;
}

int CCommandLine::Verdict(const QString &family, const BoardProgramme &file)
{
    const QVector<CProgrammeFile::Difference> differences =
        CProgrammeFile::Compare(family, m_settings.GetProgramme(), file);
    Tell(QString());
    for (const CProgrammeFile::Difference &difference : differences)
        Print(stdout, QStringLiteral("%1: board %2, file %3\n")
                          .arg(difference.key, difference.board, difference.file));
    Tell(CProgrammeFile::CompareMessage(m_path, differences));
    return differences.isEmpty() ? kDone : kDiffers;
}

// One line on the terminal, written over each time.
void CCommandLine::Progress(const QString &text)
{
    if (!m_terminal)
        return;
    Print(stderr, QStringLiteral("\r\033[K") + text + QStringLiteral("\u2026"));
    m_progressShown = true;
}

// Clears the progress line, then writes the message on a line of its own; an empty message only
// clears.
void CCommandLine::Tell(const QString &message)
{
    if (m_progressShown) {
        Print(stderr, QStringLiteral("\r\033[K"));
        m_progressShown = false;
    }
    if (!message.isEmpty())
        Print(stderr, message + QLatin1Char('\n'));
}

void CCommandLine::Interrupted()
{
    m_settings.Disconnect();
    Tell(m_linesToWrite > 0
             ? Tr("Interrupted: %1 of %2 lines were sent.").arg(m_linesWritten).arg(m_linesToWrite)
             : Tr("Interrupted: no programme line was sent."));
    std::_Exit(kInterrupted);
}
