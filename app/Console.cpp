#include "app/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QString kClearLine = QStringLiteral("\r\033[K");
const QString kClearLineAbove = QStringLiteral("\033[A\033[K");
const QString kEllipsis = QStringLiteral("\u2026");
constexpr double kMsPerSecond = 1000.0;
constexpr int kTraceDecimals = 3;
constexpr int kDefaultColumns = 80;

} // namespace

CConsole::CConsole(bool quiet) : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_sinceStart.start();
}

void CConsole::Progress(const QString &text)
{
    Progress(QStringList{text});
}

// A line that wraps would leave a piece behind when the lines are written over, so each is cut
// short of the last column.
void CConsole::Progress(const QStringList &lines)
{
    if (m_quiet || !m_terminal)
        return;
    const int width = Columns() - 1;
    QStringList shown;
    for (const QString &line : lines)
        shown << (line + kEllipsis).left(width);
    Clear();
    Print(stderr, shown.join(QLatin1Char('\n')));
    m_progressShown = shown.size();
}

void CConsole::Tell(const QString &message)
{
    Clear();
    if (!m_quiet && !message.isEmpty())
        Print(stderr, message + QLatin1Char('\n'));
}

void CConsole::Warn(const QString &message)
{
    Clear();
    Print(stderr, message + QLatin1Char('\n'));
}

void CConsole::Trace(const QString &line)
{
    Clear();
    const QString seconds =
        QString::number(double(m_sinceStart.elapsed()) / kMsPerSecond, 'f', kTraceDecimals);
    Print(stderr, seconds + QLatin1Char(' ') + line + QLatin1Char('\n'));
}

void CConsole::Out(const QString &text)
{
    Clear();
    Print(stdout, text);
}

void CConsole::Clear()
{
    if (m_progressShown == 0)
        return;
    QString erase = kClearLine;
    for (int line = 1; line < m_progressShown; ++line)
        erase += kClearLineAbove;
    Print(stderr, erase);
    m_progressShown = 0;
}

int CConsole::Columns() const
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col
                                                                             : kDefaultColumns;
}

void CConsole::Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
