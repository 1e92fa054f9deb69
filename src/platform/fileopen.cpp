#include "platform/fileopen.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
FileError KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return FileError::None;
    if (S_ISDIR(st.st_mode))
        return FileError::Folder;
    if (S_ISFIFO(st.st_mode))
        return FileError::Fifo;
    if (S_ISSOCK(st.st_mode))
        return FileError::Socket;
    return FileError::Device;
}

// A path that leads nowhere reads as a missing file, as a missing one does.
FileError LookFailed(int err) {
    return err == ENOENT || err == ENOTDIR ? FileError::NotFound : FileErrorFromErrno(err);
}
} // namespace

FileError CheckIsFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return LookFailed(errno);
    return KindOf(st);
}

FileError OpenFileToRead(const QString& path, QFile& file) {
    // Looked at first: opening a device may do something (a terminal raises its lines), and a
    // socket cannot be opened at all.
    if (const FileError seen = CheckIsFile(path); seen != FileError::None)
        return seen;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return LookFailed(errno);
    struct stat st {};
    FileError error = ::fstat(fd, &st) == 0 ? KindOf(st) : FileErrorFromErrno(errno);
    if (error == FileError::None) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
            error = FileErrorFromErrno(errno);
    }
    if (error == FileError::None &&
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        error = FileError::Generic;
    if (error != FileError::None)
        ::close(fd);
    return error;
}

} // namespace platform
