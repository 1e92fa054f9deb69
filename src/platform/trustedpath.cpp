#include "platform/trustedpath.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

namespace {

// Empty when root alone can change the entry at path (following links); the reason otherwise.
QString RootOnly(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("%1 не найден").arg(path)
                               : QStringLiteral("%1 недоступен").arg(path);
    if (st.st_uid != 0)
        return QStringLiteral("%1 принадлежит пользователю %2, а не root")
            .arg(path, AccountNameOf(st.st_uid));
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("в %1 может писать не только root").arg(path);
    return QString();
}

// Empty when the entry and every folder above it are root's alone.
QString RootOnlyUpwards(const QString& absolute) {
    QString current = absolute;
    for (;;) {
        if (const QString reason = RootOnly(current); !reason.isEmpty())
            return reason;
        if (current == QLatin1String("/"))
            return QString();
        current = QFileInfo(current).path();
    }
}

} // namespace

TrustedPath CheckTrustedFile(const QString& path) {
    TrustedPath result;
    if (!QDir::isAbsolutePath(path) || path.startsWith(QLatin1String("//"))) {
        result.reason = QStringLiteral("путь %1 не полный").arg(path);
        return result;
    }
    const QString given = QDir::cleanPath(path);
    char real[PATH_MAX];
    if (::realpath(QFile::encodeName(given).constData(), real) == nullptr) {
        result.reason = QStringLiteral("%1 не найден").arg(given);
        return result;
    }
    const QString resolved = QFile::decodeName(real);
    // The folders of the path as given hold the links that lead to the file: an operator who
    // could change one of them could point the name elsewhere after the check.
    result.reason = RootOnlyUpwards(QFileInfo(given).path());
    if (result.reason.isEmpty())
        result.reason = RootOnlyUpwards(resolved);
    if (result.reason.isEmpty()) {
        result.trusted = true;
        result.resolved = resolved;
    }
    return result;
}

bool IsTrustedFolder(const QString& dir) {
    return CheckTrustedFile(dir).trusted;
}

} // namespace platform
