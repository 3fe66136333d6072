#include "app/CommandOptions.h"

#include <QCoreApplication>
#include <QSet>

namespace {

const char *const kContext = "MainWindow";

const QString kRead = QStringLiteral("read");
const QString kWrite = QStringLiteral("write");
const QString kCompare = QStringLiteral("compare");
const QString kList = QStringLiteral("list");
const QString kPort = QStringLiteral("port");
const QString kAll = QStringLiteral("all");
const QString kWatch = QStringLiteral("watch");
const QString kCount = QStringLiteral("count");
const QString kJson = QStringLiteral("json");
const QString kNoBackup = QStringLiteral("no-backup");
const QString kQuiet = QStringLiteral("quiet");
const QString kVerbose = QStringLiteral("verbose");
const QString kHelp = QStringLiteral("help");
const QString kHelpAll = QStringLiteral("help-all"); // Qt's parser adds it with --help
const QString kVersion = QStringLiteral("version");

QString Tr(const char *text)
{
    return QCoreApplication::translate(kContext, text);
}

} // namespace

const QString CCommandOptions::kStandardStream = QStringLiteral("-");

CCommandOptions::CCommandOptions(Use use) : m_forWindow(use == Use::Window)
{
    const QCommandLineOption port(
        {QStringLiteral("p"), kPort},
        Tr("Try only this serial port: a name (ttyUSB0) or a path (/dev/ttyUSB0, "
           "/dev/serial/by-id/...). Given several times with --write, --compare or --list: "
           "each of these ports."),
        QStringLiteral("PORT"));
    if (m_forWindow) {
        m_options << port;
    } else {
        m_parser.setApplicationDescription(
            Tr("Configures Lumivor and KOTA controller boards over a serial port. Without "
               "--read, --write, --compare or --list it opens its window, and then the programme "
               "file given, if any (lumivor FILE)."));
        m_options
            << QCommandLineOption(kRead,
                                  Tr("Find the board, read it out and save its programme to FILE "
                                     "(- for standard output)."),
                                  QStringLiteral("FILE"))
            << QCommandLineOption(kWrite,
                                  Tr("Check FILE (- for standard input), find the board, read it "
                                     "out, keep a backup of what it holds, send the lines in which "
                                     "it differs from FILE, read it back and compare."),
                                  QStringLiteral("FILE"))
            << QCommandLineOption(kCompare,
                                  Tr("Check FILE (- for standard input), find the board, read it "
                                     "out and compare it with FILE."),
                                  QStringLiteral("FILE"))
            << QCommandLineOption(kList, Tr("List the serial ports, each with the family and "
                                            "version of its board or why none answered."))
            << port
            << QCommandLineOption(kAll, Tr("With --write or --compare: every board that answers, "
                                           "all at the same time."))
            << QCommandLineOption(kWatch, Tr("With --write or --compare: every board plugged in "
                                             "now, then each board plugged in later, until "
                                             "Ctrl+C."))
            << QCommandLineOption(kCount, Tr("With --watch: end after N boards."),
                                  QStringLiteral("N"))
            << QCommandLineOption(kJson, Tr("Tell each board's result, or each port of --list, as "
                                            "a JSON object on a line of its own."))
            << QCommandLineOption(kNoBackup, Tr("With --write: keep no backup of what the board "
                                                "held."))
            << QCommandLineOption({QStringLiteral("q"), kQuiet},
                                  Tr("Tell problems alone: no progress and no message when all "
                                     "went well."))
            << QCommandLineOption(kVerbose, Tr("Show every line sent to the board and received "
                                               "from it, with the seconds since the start."));
    }
    for (const QCommandLineOption &option : qAsConst(m_options))
        m_parser.addOption(option);
    if (!m_forWindow)
        m_options << m_parser.addHelpOption() << m_parser.addVersionOption();
}

QString CCommandOptions::Parse(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return m_parser.errorText();
    return Check();
}

QString CCommandOptions::Check()
{
    QSet<QString> given;
    for (const QString &name : m_parser.optionNames()) {
        const QString option = LongName(name);
        // Several ports go with some commands; CheckCombinations() tells which.
        if (given.contains(option) && (option != kPort || m_forWindow))
            return Tr("--%1 is given twice.").arg(option);
        given.insert(option);
    }
    if (given.contains(kHelp) || given.contains(kHelpAll)) {
        m_command = Command::Help;
        return QString();
    }
    if (given.contains(kVersion)) {
        m_command = Command::Version;
        return QString();
    }
    const struct
    {
        const QString &option;
        Command command;
    } commands[] = {{kRead, Command::Read},
                    {kWrite, Command::Write},
                    {kCompare, Command::Compare},
                    {kList, Command::List}};
    int named = 0;
    for (const auto &candidate : commands) {
        if (!given.contains(candidate.option))
            continue;
        ++named;
        m_command = candidate.command;
        if (m_command == Command::List)
            continue;
        m_path = m_parser.value(candidate.option);
        if (m_path.isEmpty())
            return Tr("--%1 needs a file name.").arg(candidate.option);
    }
    if (!m_forWindow && named != 1)
        return named == 0 && (All() || Watch())
                   ? CheckCombinations()
                   : Tr("Give one of --read, --write, --compare and --list.");
    QStringList positional = m_parser.positionalArguments();
    // The window opens one programme file.
    if (m_forWindow && !positional.isEmpty())
        m_path = positional.takeFirst();
    if (!positional.isEmpty())
        return Tr("Unexpected argument: %1").arg(positional.first());
    if (Ports().contains(QString()))
        return Tr("--port needs a port name or path.");
    if (Quiet() && Verbose())
        return Tr("Give --quiet or --verbose, not both.");
    return m_forWindow ? QString() : CheckCombinations();
}

// The options that go with some commands only, or not with each other.
QString CCommandOptions::CheckCombinations() const
{
    const bool boards = m_command == Command::Write || m_command == Command::Compare;
    const QStringList ports = Ports();
    if (ports.size() > 1 && !boards && m_command != Command::List)
        return Tr("--port is given twice.");
    for (const QString &option : {kAll, kWatch}) {
        if (!IsSet(option))
            continue;
        if (!boards)
            return Tr("--%1 goes with --write or --compare.").arg(option);
        if (!ports.isEmpty())
            return Tr("Give --port or --%1, not both.").arg(option);
    }
    if (IsSet(kCount) && !Watch())
        return Tr("--count goes with --watch.");
    if (IsSet(kCount) && Count() < 1)
        return Tr("--count needs a number of boards, 1 or more.");
    if (Json() && m_command == Command::Read)
        return Tr("--json goes with --write, --compare or --list.");
    if (NoBackup() && m_command != Command::Write)
        return Tr("--no-backup goes with --write.");
    if (Verbose() && m_command == Command::List)
        return Tr("--verbose goes with --read, --write or --compare.");
    for (int i = 0; i < ports.size(); ++i) {
        if (ports.indexOf(ports[i]) < i)
            return Tr("--port names %1 twice.").arg(ports[i]);
    }
    return QString();
}

// The long name of an option as given, short or long.
QString CCommandOptions::LongName(const QString &given) const
{
    for (const QCommandLineOption &option : m_options) {
        if (option.names().contains(given))
            return option.names().last();
    }
    return given;
}

bool CCommandOptions::IsSet(const QString &option) const
{
    return !m_forWindow && m_parser.isSet(option);
}

QStringList CCommandOptions::Ports() const
{
    return m_parser.values(kPort);
}

bool CCommandOptions::All() const
{
    return IsSet(kAll);
}

bool CCommandOptions::Watch() const
{
    return IsSet(kWatch);
}

int CCommandOptions::Count() const
{
    return IsSet(kCount) ? m_parser.value(kCount).toInt() : 0;
}

bool CCommandOptions::Json() const
{
    return IsSet(kJson);
}

bool CCommandOptions::NoBackup() const
{
    return IsSet(kNoBackup);
}

bool CCommandOptions::Quiet() const
{
    return IsSet(kQuiet);
}

bool CCommandOptions::Verbose() const
{
    return IsSet(kVerbose);
}
