// On Windows a logoff or shutdown reaches the program as window messages, which Qt turns into
// the windows' close: there are no signals to watch.
#include "platform/quitsignals.h"

#include <QSocketNotifier>

namespace platform {

CQuitSignals::CQuitSignals(std::function<void()> onQuit, QObject* parent)
    : QObject(parent), m_onQuit(std::move(onQuit)) {}

CQuitSignals::~CQuitSignals() = default;

} // namespace platform
