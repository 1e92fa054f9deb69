#include "platform/programstart.h"

namespace platform {

QString ProgramVersion() {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(VARNET_VERSION_MAJOR + 0)
        .arg(VARNET_VERSION_MINOR + 0)
        .arg(VARNET_VERSION_PATCH + 0)
        .arg(VARNET_VERSION_TWEAK + 0);
}

} // namespace platform
