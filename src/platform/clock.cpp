#include "platform/clock.h"

namespace platform {

namespace {
std::function<QDateTime()>& Clock() {
    static std::function<QDateTime()> clock;
    return clock;
}
} // namespace

QDateTime Now() {
    return Clock() ? Clock()() : QDateTime::currentDateTime();
}

std::function<QDateTime()> SetClock(std::function<QDateTime()> clock) {
    std::swap(Clock(), clock);
    return clock;
}

ScopedFixedClock::ScopedFixedClock(const QDateTime& now)
    : m_previous(SetClock([now] { return now; })) {}

ScopedFixedClock::~ScopedFixedClock() {
    SetClock(std::move(m_previous));
}

} // namespace platform
