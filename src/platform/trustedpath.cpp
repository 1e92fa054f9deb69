#include "platform/trustedpath.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Empty when nobody but root can change the entry at path (links followed): root's, writable by
// its group only when that is root's own group, and by others only when it is a folder with the
// sticky bit (as /tmp: the root-owned entries in it are then root's alone).
QString RootOwnsAlone(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("%1 не найден").arg(path)
                               : QStringLiteral("%1 недоступен").arg(path);
    if (st.st_uid != 0)
        return QStringLiteral("%1 принадлежит пользователю %2").arg(path, AccountNameOf(st.st_uid));
    const bool groupWrites = (st.st_mode & S_IWGRP) != 0 && st.st_gid != 0;
    const bool othersWrite =
        (st.st_mode & S_IWOTH) != 0 && !(S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0);
    if (groupWrites || othersWrite)
        return QStringLiteral("в %1 может писать не только root").arg(path);
    return QString();
}

QString RootOwnsAloneUpwards(QString current) {
    for (;;) {
        if (const QString reason = RootOwnsAlone(current); !reason.isEmpty())
            return reason;
        if (current == QLatin1String("/"))
            return QString();
        current = QFileInfo(current).path();
    }
}

} // namespace

QString RootMustNotTrust(const QString& file) {
    if (::geteuid() != 0)
        return QString();
    const QString given = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    struct stat st {};
    // A missing file: whoever may write its folder may make it.
    if (::lstat(QFile::encodeName(given).constData(), &st) != 0)
        return RootOwnsAloneUpwards(QFileInfo(given).path());
    char real[PATH_MAX];
    if (::realpath(QFile::encodeName(given).constData(), real) == nullptr)
        return QStringLiteral("%1 не найден").arg(given);
    // The folders along the name as given hold the links that lead to the file.
    if (const QString reason = RootOwnsAloneUpwards(QFileInfo(given).path()); !reason.isEmpty())
        return reason;
    return RootOwnsAloneUpwards(QFile::decodeName(real));
}
} // namespace platform
