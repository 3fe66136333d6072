#pragma once

// The signals that end a command-line run early: SIGINT (Ctrl+C), SIGTERM (kill, timeout,
// systemd) and SIGHUP (a closed terminal or a logout).
//
// The handler only notes the signal. The link of every run against a board asks for it as its
// stop check, whichever thread runs it: the line under way ends with its answer, nothing more is
// sent, and the run winds down and closes its port. Once every run has ended, Die() ends the
// process by that same signal, so that the shell, `timeout` and systemd see why; only station
// mode, while no board is under way, ends normally.
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
