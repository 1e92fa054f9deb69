#include "platform/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString FileErrorText(FileError error, const QString& path) {
    switch (error) {
    case FileError::None:
        return QString();
    case FileError::NotFound:
        return QStringLiteral("Файл %1 не найден.").arg(path);
    case FileError::BadPath:
        return QStringLiteral("Часть пути %1 неверна.").arg(path);
    case FileError::TooManyOpenFiles:
        return QStringLiteral("Открыто слишком много файлов.");
    case FileError::AccessDenied:
        return QStringLiteral("Нет доступа к %1.").arg(path);
    case FileError::DiskFull:
        return QStringLiteral("Нет места на диске при обращении к %1.").arg(path);
    case FileError::HardIO:
        return QStringLiteral("Аппаратная ошибка ввода-вывода при обращении к %1.").arg(path);
    case FileError::Generic:
        break;
    }
    return QStringLiteral("Непредвиденная ошибка при обращении к %1.").arg(path);
}

FileError FileErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return FileError::None;
    case ENOENT:
        return FileError::NotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return FileError::BadPath;
    case EMFILE:
    case ENFILE:
        return FileError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR:
        return FileError::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileError::DiskFull;
    case EIO:
        return FileError::HardIO;
    default:
        return FileError::Generic;
    }
}

namespace {
bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
} // namespace

WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes,
                                unsigned newFileMode) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    QByteArray tmpl = target + ".XXXXXX";

    mode_t mode = static_cast<mode_t>(newFileMode & 07777);
    struct stat st {};
    if (::stat(target.constData(), &st) == 0)
        mode = st.st_mode & 07777;

    // mkstemp creates the file with mode 0600, so nothing readable by others ever exists.
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return {FileErrorFromErrno(errno)};

    int err = 0;
    if (!WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size())))
        err = errno;
    if (err == 0 && ::fchmod(fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(tmpl.constData(), target.constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmpl.constData());
        return {FileErrorFromErrno(err)};
    }
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

} // namespace platform
