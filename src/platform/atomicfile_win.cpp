// Atomic whole-file writes on Windows: the bytes go to a temporary file beside the target,
// opened for write-through and flushed, which then replaces the target in one move, itself
// written through. The file's access rights come from its folder, so the mode bits of the
// POSIX build have nothing to set here.
#include "platform/atomicfile.h"
#include "platform/fileopen.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <windows.h>

#include <algorithm>
#include <string>

namespace platform {

namespace {

FileError FileErrorFromLastError(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return FileError::None;
    case ERROR_FILE_NOT_FOUND:
        return FileError::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return FileError::BadPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileError::TooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return FileError::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::DiskFull;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return FileError::HardIO;
    default:
        return FileError::Generic;
    }
}

std::wstring Native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// Named temporary files of ours: "<name>.tmp-<pid>-XXXXXX" beside the file.
QString TempPrefix(const QString& fileName) {
    return fileName + QStringLiteral(".tmp-");
}

bool ProcessIsGone(DWORD pid) {
    const HANDLE p = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p)
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const bool exited = ::WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
    ::CloseHandle(p);
    return exited;
}

// Removes the temporary files that earlier saves of file left when their process was
// killed; a file of a process that still runs may be its save in progress and stays.
void ClearLeftovers(const QString& dir, const QString& fileName) {
    static const QRegularExpression re(QStringLiteral("^(\\d+)-[A-Za-z0-9]{6}$"));
    const QString prefix = TempPrefix(fileName);
    const QStringList names =
        QDir(dir).entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = re.match(name.mid(prefix.size()));
        if (!m.hasMatch())
            continue;
        const DWORD pid = DWORD(m.captured(1).toULong());
        if (pid != ::GetCurrentProcessId() && ProcessIsGone(pid))
            ::DeleteFileW(Native(dir + QLatin1Char('/') + name).c_str());
    }
}

// A new temporary file in dir, nobody else may open it while it is written.
HANDLE CreateTemp(const QString& dir, const QString& fileName, QString& name) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QString stem = dir + QLatin1Char('/') + TempPrefix(fileName) +
                         QString::number(::GetCurrentProcessId()) + QLatin1Char('-');
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem;
        for (int i = 0; i < 6; ++i)
            name +=
                QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)]);
        const HANDLE h = ::CreateFileW(Native(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

void IgnoreFileSizeSignal() {}

bool IsOwnLink(const QString&) {
    // Only an administrator makes symbolic links on a counter's Windows: every link there is
    // the installer's.
    return true;
}

WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes, unsigned, FileMode) {
    // A link to the file stays a link: the bytes replace its target.
    const QString resolved = ResolveLinks(path);
    if (const FileError kind = CheckIsFile(resolved); IsNotAFile(kind))
        return {kind};
    const QFileInfo info(resolved);
    const QString dirPath = info.absolutePath();

    ClearLeftovers(dirPath, info.fileName());
    QString tmpName;
    const HANDLE h = CreateTemp(dirPath, info.fileName(), tmpName);
    if (h == INVALID_HANDLE_VALUE)
        return {FileErrorFromLastError(::GetLastError())};

    DWORD err = ERROR_SUCCESS;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (err == ERROR_SUCCESS && left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        if (!::WriteFile(h, data, chunk, &written, nullptr))
            err = ::GetLastError();
        data += written;
        left -= written;
    }
    if (err == ERROR_SUCCESS && !::FlushFileBuffers(h))
        err = ::GetLastError();
    if (!::CloseHandle(h) && err == ERROR_SUCCESS)
        err = ::GetLastError();
    if (err == ERROR_SUCCESS && !::MoveFileExW(Native(tmpName).c_str(), Native(resolved).c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = ::GetLastError();
    if (err != ERROR_SUCCESS) {
        ::DeleteFileW(Native(tmpName).c_str());
        return {FileErrorFromLastError(err)};
    }
    return {};
}

} // namespace platform
