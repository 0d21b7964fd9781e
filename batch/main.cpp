// quorvel-batch: see BatchRun.h.
#include "BatchRun.h"

#include <csignal>

#include <signal.h>

#include <unistd.h>

namespace
{

std::atomic<bool> interrupted { false };
volatile std::sig_atomic_t interruptSignal = 0;

extern "C" void onInterrupt(int signal)
{
    interruptSignal = signal;
    interrupted.store(true, std::memory_order_relaxed);
}

} // namespace

int main(int argc, char **argv)
{
    // A closed pipe or a file size limit is then a failed write that is
    // reported (exit 4), not a silent death halfway through an output.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // Ctrl+C, or a cluster's scheduler ending the job: stop the run and
    // remove the temporary files rather than leave them.
    // Without SA_RESTART, a signal also ends a wait in open() or write() (a
    // named pipe nobody reads, a stalled reader) instead of resuming it.
    struct sigaction action {
    };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    BatchConsole console;
    console.progress = isatty(STDERR_FILENO) == 1;
    const int status = batchMain(std::vector<std::string>(argv + 1, argv + argc), console, &interrupted);
    return status == exitInterrupted && interruptSignal != 0 ? 128 + interruptSignal : status;
}
