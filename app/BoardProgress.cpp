#include "app/BoardProgress.h"

#include <QStringList>
#include <algorithm>

void CBoardProgress::Set(const QString &port, const QString &text)
{
    const auto board = std::find_if(m_boards.begin(), m_boards.end(),
                                    [&port](const auto &b) { return b.first == port; });
    if (board == m_boards.end())
        m_boards.append({port, text});
    else if (board->second == text)
        return;
    else
        board->second = text;
    Show();
}

void CBoardProgress::Remove(const QString &port)
{
    m_boards.erase(std::remove_if(m_boards.begin(), m_boards.end(),
                                  [&port](const auto &b) { return b.first == port; }),
                   m_boards.end());
    Show();
}

void CBoardProgress::SetIdle(const QString &text)
{
    m_idle = text;
    Show();
}

void CBoardProgress::Show()
{
    QStringList lines;
    for (const auto &board : qAsConst(m_boards))
        lines << board.second;
    if (lines.isEmpty() && !m_idle.isEmpty())
        lines << m_idle;
    m_console.Progress(lines);
}
