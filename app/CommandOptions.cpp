#include "app/CommandOptions.h"

#include <QCoreApplication>
#include <QSet>

namespace {

const char *const kContext = "MainWindow";

const QString kRead = QStringLiteral("read");
const QString kWrite = QStringLiteral("write");
const QString kCompare = QStringLiteral("compare");
const QString kPort = QStringLiteral("port");
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
    const QCommandLineOption port({QStringLiteral("p"), kPort},
                                  Tr("Try only this serial port: a name (ttyUSB0) or a path "
                                     "(/dev/ttyUSB0, /dev/serial/by-id/...)."),
                                  QStringLiteral("PORT"));
    if (m_forWindow) {
        m_options << port;
    } else {
        m_parser.setApplicationDescription(
            Tr("Configures Lumivor and KOTA controller boards over a serial port. Without "
               "--read, --write or --compare it opens its window, and then the programme file "
               "given, if any (lumivor FILE)."));
        m_options
            << QCommandLineOption(kRead,
                                  Tr("Find the board, read it out and save its programme to FILE "
                                     "(- for standard output)."),
                                  QStringLiteral("FILE"))
            << QCommandLineOption(kWrite,
                                  Tr("Check FILE (- for standard input), find the board, write "
                                     "the programme of FILE to it, read it back and compare."),
                                  QStringLiteral("FILE"))
            << QCommandLineOption(kCompare,
                                  Tr("Check FILE (- for standard input), find the board, read it "
                                     "out and compare it with FILE."),
                                  QStringLiteral("FILE"))
            << port
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
        if (given.contains(option))
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
    } commands[] = {{kRead, Command::Read}, {kWrite, Command::Write}, {kCompare, Command::Compare}};
    int named = 0;
    for (const auto &candidate : commands) {
        if (given.contains(candidate.option)) {
            ++named;
            m_command = candidate.command;
            m_path = m_parser.value(candidate.option);
            if (m_path.isEmpty())
                return Tr("--%1 needs a file name.").arg(candidate.option);
        }
    }
    if (!m_forWindow && named != 1)
        return Tr("Give one of --read, --write and --compare.");
    QStringList positional = m_parser.positionalArguments();
    // The window opens one programme file.
    if (m_forWindow && !positional.isEmpty())
        m_path = positional.takeFirst();
    if (!positional.isEmpty())
        return Tr("Unexpected argument: %1").arg(positional.first());
    if (given.contains(kPort) && Port().isEmpty())
        return Tr("--port needs a port name or path.");
    if (Quiet() && Verbose())
        return Tr("Give --quiet or --verbose, not both.");
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

QString CCommandOptions::Port() const
{
    return m_parser.value(kPort);
}

bool CCommandOptions::Quiet() const
{
    return !m_forWindow && m_parser.isSet(kQuiet);
}

bool CCommandOptions::Verbose() const
{
    return !m_forWindow && m_parser.isSet(kVerbose);
}
