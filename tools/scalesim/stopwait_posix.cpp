#include "stopwait.h"

#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace {
sigset_t& StopSignals() {
    static sigset_t signals;
    return signals;
}
} // namespace

void PrepareStopWait() {
    // Every thread inherits the blocked mask; sigwait takes the signals.
    sigemptyset(&StopSignals());
    sigaddset(&StopSignals(), SIGINT);
    sigaddset(&StopSignals(), SIGTERM);
    sigaddset(&StopSignals(), SIGHUP);
    pthread_sigmask(SIG_BLOCK, &StopSignals(), nullptr);
}

void WaitForStop() {
    int signal = 0;
    sigwait(&StopSignals(), &signal);
}

void RequestStop() {
    ::kill(::getpid(), SIGTERM);
}
