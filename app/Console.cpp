#include "app/Console.h"

#include <unistd.h>

namespace {

const QString kClearLine = QStringLiteral("\r\033[K");
const QString kEllipsis = QStringLiteral("\u2026");
constexpr double kMsPerSecond = 1000.0;
constexpr int kTraceDecimals = 3;

} // namespace

CConsole::CConsole(bool quiet) : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_sinceStart.start();
}

void CConsole::Progress(const QString &text)
{
    if (m_quiet || !m_terminal)
        return;
    Print(stderr, kClearLine + text + kEllipsis);
    m_progressShown = true;
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

void CConsole::Clear()
{
    if (!m_progressShown)
        return;
    Print(stderr, kClearLine);
    m_progressShown = false;
}

void CConsole::Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
