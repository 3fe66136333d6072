#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// The options of the tool's command line and their usage checks: the commands that run without a
// window with their options, or the window's --port and the one programme file it opens. Qt's own
// options are gone from the window's arguments by the time they come here.
class CCommandOptions
{
public:
    enum class Command
    {
        Window,
        Read,
        Write,
        Compare,
        Help,
        Version,
    };

    // A file name that stands for standard output (--read) or standard input.
    static const QString kStandardStream;

    enum class Use
    {
        Commands,
        Window,
    };

    explicit CCommandOptions(Use use);
    CCommandOptions(const CCommandOptions &) = delete;
    CCommandOptions &operator=(const CCommandOptions &) = delete;

    // Empty when the arguments can be used; otherwise the usage error, one sentence.
    QString Parse(const QStringList &arguments);
    QString HelpText() const { return m_parser.helpText(); }

    Command GetCommand() const { return m_command; }
    // The command's file as given; for the window, the programme file to open, if any.
    QString Path() const { return m_path; }
    // The one port to try; empty for every port.
    QString Port() const;
    bool Quiet() const;
    bool Verbose() const;

private:
    QString Check();
    QString LongName(const QString &given) const;

    bool m_forWindow;
    QCommandLineParser m_parser;
    QList<QCommandLineOption> m_options;
    Command m_command = Command::Window;
    QString m_path;
};
