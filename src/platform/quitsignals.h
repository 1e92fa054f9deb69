// The signals that end a session (logout, shutdown, kill, Ctrl+C) turned into a call on the
// user-interface thread, so that the program closes as if its window had been closed and
// loses nothing.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

class CQuitSignals : public QObject {
public:
    // Calls onQuit on this object's thread when SIGTERM, SIGHUP or SIGINT arrives; the
    // signals take their default action again when the object is gone.
    explicit CQuitSignals(std::function<void()> onQuit, QObject* parent = nullptr);
    ~CQuitSignals() override;
    CQuitSignals(const CQuitSignals&) = delete;
    CQuitSignals& operator=(const CQuitSignals&) = delete;

private:
    std::function<void()> m_onQuit;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace platform
