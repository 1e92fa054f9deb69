#include "platform/counterfiles.h"

#include "platform/paths.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileError PrepareCounterFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode) && !IsOwnLink(path))
            return FileError::ForeignLink;
        return FileError::None;
    }
    if (errno != ENOENT)
        return FileErrorFromErrno(errno);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          kCounterFileMode);
    if (fd < 0)
        return errno == EEXIST ? FileError::None : FileErrorFromErrno(errno);
    // The umask may have taken the group's bits away.
    const int err = ::fchmod(fd, kCounterFileMode) == 0 ? 0 : errno;
    ::close(fd);
    return FileErrorFromErrno(err);
}

QStringList CheckCounterFiles(const QString& dir, const QStringList& names) {
    QStringList problems;
    struct stat folder {};
    const bool haveFolder = ::stat(QFile::encodeName(dir).constData(), &folder) == 0;
    const bool passesGroup = haveFolder && (folder.st_mode & S_ISGID) != 0;
    for (const QString& name : names) {
        const QString path = dir + QLatin1Char('/') + name;
        const QByteArray encoded = QFile::encodeName(path);
        struct stat st {};
        // Links are the installer's or the owner's business; only files in place are looked at.
        if (::lstat(encoded.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool groupOk = (st.st_mode & 0660) == 0660 && (st.st_mode & 0007) == 0 &&
                             (!passesGroup || st.st_gid == folder.st_gid);
        if (groupOk)
            continue;
        if (st.st_uid == ::geteuid()) {
            // Ours: opened to the group as every file of the folder is. Failures change
            // nothing for this account, which can use its own file either way.
            if (passesGroup && st.st_gid != folder.st_gid)
                (void)::chown(encoded.constData(), static_cast<uid_t>(-1), folder.st_gid);
            (void)::chmod(encoded.constData(), kCounterFileMode);
            continue;
        }
        if (::access(encoded.constData(), R_OK | W_OK) == 0)
            continue;
        const QString group = haveFolder ? GroupNameOf(folder.st_gid) : QStringLiteral("varnet");
        problems.append(
            QStringLiteral("Файл %1 принадлежит пользователю %2 и закрыт для других операторов "
                           "прилавка. Чтобы открыть его, выполните от имени администратора:\n"
                           "sudo chgrp %3 %1 && sudo chmod 660 %1")
                .arg(path, AccountNameOf(st.st_uid), group));
    }
    return problems;
}

} // namespace platform
