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
        List,
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
    // The ports to try, as given; none for every port.
    QStringList Ports() const;
    // Every board that answers (--all), then each board plugged in later (--watch).
    bool All() const;
    bool Watch() const;
    // The boards after which --watch ends; 0 for no end.
    int Count() const;
    // Several boards at once, each told on a line of its own: --all, --watch or several ports.
    bool ManyBoards() const { return All() || Watch() || Ports().size() > 1; }
    bool Json() const;
    bool NoBackup() const;
    bool Quiet() const;
    bool Verbose() const;

private:
    QString Check();
    QString CheckCombinations() const;
    QString LongName(const QString &given) const;
    bool IsSet(const QString &option) const;

    bool m_forWindow;
    QCommandLineParser m_parser;
    QList<QCommandLineOption> m_options;
    Command m_command = Command::Window;
    QString m_path;
};
