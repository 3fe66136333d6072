#include "app/TrafficLog.h"

namespace {

const QString kSentMark = QStringLiteral("> ");
const QString kReceivedMark = QStringLiteral("< ");
constexpr char kFirstPrintable = ' ';
constexpr char kLastPrintable = '~';
constexpr char kEscape = '\\';
constexpr int kHexDigits = 2;
constexpr int kHexBase = 16;

QString Readable(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        if (c == kEscape)
            text += QStringLiteral("\\\\");
        else if (c >= kFirstPrintable && c <= kLastPrintable)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(uchar(c), kHexDigits, kHexBase, QLatin1Char('0'));
    }
    return text;
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

CTrafficLog::CTrafficLog(Sink sink) : m_sink(std::move(sink)) {}

void CTrafficLog::Add(CAdvCmd::Direction direction, const QByteArray &bytes)
{
    if (direction != m_direction) {
        Flush();
        m_direction = direction;
    }
    for (const char c : bytes) {
        if (IsLineEnd(c))
            Flush();
        else
            m_line += c;
    }
}

void CTrafficLog::Flush()
{
    if (m_line.isEmpty())
        return;
    m_sink((m_direction == CAdvCmd::Direction::Sent ? kSentMark : kReceivedMark) +
           Readable(m_line));
    m_line.clear();
}
