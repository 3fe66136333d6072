#pragma once

#include "app/Console.h"

#include <QPair>
#include <QString>
#include <QVector>

// The progress of boards that run side by side, as a terminal shows it: one line a board under
// way, in the order they started, kept up to date in place on the console; while none is under
// way, a line that says what the tool waits for, if any.
class CBoardProgress
{
public:
    explicit CBoardProgress(CConsole *console) : m_console(*console) {}

    // What the board on `port` does now.
    void Set(const QString &port, const QString &text);
    // The board on `port` is done.
    void Remove(const QString &port);
    // Shown while no board is under way; empty for nothing.
    void SetIdle(const QString &text);
    // Draws the lines again, after something else was written to the terminal.
    void Show();

private:
    CConsole &m_console;
    QVector<QPair<QString, QString>> m_boards; // port, text
    QString m_idle;
};
