// The one clock of the program: "now" in local time. Tests replace it to fix the pack date
// and best-before moments.
#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

QDateTime Now();

// Installs a replacement clock and returns the one it replaces; an empty function restores
// the system clock.
std::function<QDateTime()> SetClock(std::function<QDateTime()> clock);

// Fixes "now" for the lifetime of the object, then puts back the clock it found.
class ScopedFixedClock {
public:
    explicit ScopedFixedClock(const QDateTime& now);
    ~ScopedFixedClock();
    ScopedFixedClock(const ScopedFixedClock&) = delete;
    ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;

private:
    std::function<QDateTime()> m_previous;
};

} // namespace platform
