// On Windows, what a program may load is decided by the folders' access lists, which only an
// administrator sets (the program's folder under Program Files, the drivers in the system's
// folders): a full path to an existing file is taken, resolved.
#include "platform/trustedpath.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

TrustedPath CheckTrustedFile(const QString& path) {
    TrustedPath result;
    if (!QDir::isAbsolutePath(path)) {
        result.reason = QStringLiteral("путь %1 не полный").arg(path);
        return result;
    }
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty()) {
        result.reason = QStringLiteral("%1 не найден").arg(QDir::cleanPath(path));
        return result;
    }
    result.trusted = true;
    result.resolved = QDir::toNativeSeparators(resolved);
    return result;
}

bool IsTrustedFolder(const QString& dir) {
    return CheckTrustedFile(dir).trusted;
}

QString RootMustNotTrust(const QString&) {
    return QString();
}

} // namespace platform
