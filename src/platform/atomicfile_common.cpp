// The parts of atomic file writes that every platform shares: the operator's texts, errno
// codes, and following links.
#include "platform/atomicfile.h"

#include <QFileInfo>

#include <cerrno>

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
    case FileError::ForeignLink:
        return QStringLiteral("%1 — ссылка, созданная другим пользователем. Запись через "
                              "чужую ссылку запрещена; файл не сохранён.")
            .arg(path);
    case FileError::Folder:
    case FileError::Fifo:
    case FileError::Socket:
    case FileError::Device:
        return QStringLiteral("%1 — %2.").arg(path, NotAFileText(error));
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
#ifdef EDQUOT // no disk quotas in the errno codes of the Windows C library
    case EDQUOT:
#endif
    case EFBIG:
        return FileError::DiskFull;
    case EIO:
        return FileError::HardIO;
    default:
        return FileError::Generic;
    }
}

bool IsNotAFile(FileError error) {
    return error == FileError::Folder || error == FileError::Fifo || error == FileError::Socket ||
           error == FileError::Device;
}

QString NotAFileText(FileError error) {
    switch (error) {
    case FileError::Folder:
        return QStringLiteral("не файл, а папка");
    case FileError::Fifo:
        return QStringLiteral("не файл, а канал FIFO");
    case FileError::Socket:
        return QStringLiteral("не файл, а сокет");
    case FileError::Device:
        return QStringLiteral("не файл, а устройство");
    default:
        return QString();
    }
}

QString ResolveLinks(const QString& path, QString* foreignLink) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        if (foreignLink && !IsOwnLink(current)) {
            *foreignLink = current;
            return current;
        }
        current = QFileInfo(info.symLinkTarget()).absoluteFilePath();
    }
    return current;
}

} // namespace platform
