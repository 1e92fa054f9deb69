// Whole-file writes that never leave a half-written file: the bytes go to a temporary file
// in the same folder, are flushed to disk and the temporary file is renamed over the old one.
// A failure leaves the old file as it was and yields the operator's text for it.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

enum class FileError {
    None,
    NotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    DiskFull,
    HardIO,
    Generic,
};

// The operator's text for a file error at path, for example "Нет доступа к /x/Varnet.cfg.".
QString FileErrorText(FileError error, const QString& path);

// Maps an errno value to a FileError.
FileError FileErrorFromErrno(int err);

struct WriteResult {
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
};

// Writes bytes to path atomically. A new file gets newFileMode (POSIX permission bits);
// an existing file keeps its own.
WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes,
                                unsigned newFileMode = 0644);

} // namespace platform
