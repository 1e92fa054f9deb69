// The counter's files by name, on every platform.
#include "platform/counterfiles.h"

namespace platform {

QStringList CounterFileNames() {
    return {QStringLiteral("Varnet.ini"),     QStringLiteral("Varnet.cfg"),
            QStringLiteral("QLabel.cfg"),     QStringLiteral("Journal.db"),
            QStringLiteral("Journal.db-wal"), QStringLiteral("Journal.db-shm"),
            QStringLiteral("SpeedKeys.txt")};
}

} // namespace platform
