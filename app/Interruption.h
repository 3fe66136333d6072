#pragma once

// The signals that end a command-line run early: SIGINT (Ctrl+C), SIGTERM (kill, timeout,
// systemd) and SIGHUP (a closed terminal or a logout).
//
// The handler only notes the signal. Every run against a board looks at it between the slices of
// its waits, and while it writes a programme after each whole line, so that each link ends its
// line under way and closes its port, whichever thread runs it. Once every run has ended, Die()
// ends the process by that same signal, so that the shell, `timeout` and systemd see why.
class CInterruption
{
public:
    // A shell shows a death by signal N as status kSignalStatus + N.
    static constexpr int kSignalStatus = 128;

    // Catches the three signals, except each one the tool was started with ignored (nohup), and
    // ignores SIGPIPE: a reader of stderr that went away with the same Ctrl+C must not end the
    // tool in the middle of a line to the board.
    static void Catch();
    // The signal caught, or 0.
    static int Caught();
    // Restores the signal's default action and raises it again.
    [[noreturn]] static void Die(int signal);
};
