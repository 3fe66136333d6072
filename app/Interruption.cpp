#include "app/Interruption.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace {

const int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler reaches nothing but process-wide state, so the signal caught is the one
// process-wide value of the runs: set by the handler, read by every link's hooks in any thread.
// Lock-free, it is safe in a handler and across threads alike.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnSignal(int signal)
{
    int none = 0;
    g_caught.compare_exchange_strong(none, signal); // the first signal decides how the tool ends
}

} // namespace

void CInterruption::Catch()
{
    struct sigaction action
    {
    };
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes under way go on: the runs stop at their own points.
    action.sa_flags = SA_RESTART;
    for (const int signal : kCaught) {
        struct sigaction before
        {
        };
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

int CInterruption::Caught()
{
    return g_caught.load();
}

void CInterruption::Die(int signal)
{
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    std::_Exit(kSignalStatus + signal); // only if the default action did not end the process
}
