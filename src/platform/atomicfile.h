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

// How the written file's permission bits are chosen.
enum class FileMode {
    KeepExisting, // an existing file keeps its bits, a new one gets the given ones
    Always,       // the file gets the given bits, whatever it had (a file holding secrets)
};

// Writes bytes to path atomically. A path that is a symbolic link is written through: the
// link stays and its target gets the bytes. On Linux the bytes go to an unnamed temporary
// file that gets a name only for the instant before the rename, so a killed save leaves
// nothing behind; elsewhere, and on file systems without unnamed files, the temporary file
// is named after this process, and leftovers of processes that are gone are cleared.
WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes, unsigned mode = 0644,
                                FileMode policy = FileMode::KeepExisting);

// Makes a process file-size limit fail the write (EFBIG, reported as a full disk) instead
// of killing the program with SIGXFSZ. Called at start-up and before every atomic write.
void IgnoreFileSizeSignal();

// The file that path names after following symbolic links (at most 40), also when the last
// target does not exist yet; path itself when it is no link.
QString ResolveLinks(const QString& path);

} // namespace platform
