#include "platform/quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void OnSignal(int sig) {
    const int saved = errno;
    const char byte = static_cast<char>(sig);
    // Only async-signal-safe calls here: the byte wakes the user-interface thread.
    if (::write(g_pipe[1], &byte, 1) < 0) {
    }
    errno = saved;
}
} // namespace

CQuitSignals::CQuitSignals(std::function<void()> onQuit, QObject* parent)
    : QObject(parent), m_onQuit(std::move(onQuit)) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        if (m_onQuit)
            m_onQuit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
}

CQuitSignals::~CQuitSignals() {
    for (const int sig : kSignals)
        ::signal(sig, SIG_DFL);
}

} // namespace platform
