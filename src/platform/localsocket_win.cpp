// A Windows counter writes its journal itself: there is no journal service to reach.
#include "platform/localsocket.h"

namespace platform {

bool LocalRequest(const QString& socketPath, const QByteArray&, QByteArray*, QString* error, int) {
    *error = QStringLiteral("служба журнала %1 недоступна в Windows").arg(socketPath);
    return false;
}

} // namespace platform
