// Windows has no FIFOs or sockets among files; a folder or a device name (CON, NUL) in a
// file's place is still not read.
#include "platform/fileopen.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

FileError CheckIsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return FileError::NotFound;
    if (info.isDir())
        return FileError::Folder;
    return info.isFile() ? FileError::None : FileError::Device;
}

FileError OpenFileToRead(const QString& path, QFile& file) {
    if (const FileError seen = CheckIsFile(path); seen != FileError::None)
        return seen;
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly))
        return FileError::None;
    return file.exists() ? FileError::AccessDenied : FileError::NotFound;
}

} // namespace platform
