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
    ForeignLink, // a link that another account made: never written through
    // Something other than a file stands at the path (links followed). It is neither read,
    // since reading a FIFO or a device may wait for ever, nor replaced.
    Folder,
    Fifo,
    Socket,
    Device,
    Generic,
};

// The operator's text for a file error at path, for example "Нет доступа к /x/Varnet.cfg.".
QString FileErrorText(FileError error, const QString& path);

// Maps an errno value to a FileError.
FileError FileErrorFromErrno(int err);

// Whether error says that something other than a file stands at the path.
bool IsNotAFile(FileError error);
// What stands there, for the operator: "не файл, а канал FIFO" (or папка, сокет,
// устройство); empty for the other errors.
QString NotAFileText(FileError error);

struct WriteResult {
    FileError error = FileError::None;
    bool ok() const { return error == FileError::None; }
};

// The mode of every file the programs write in the counter folder: the operators' group may
// read and write it, nobody else.
constexpr unsigned kCounterFileMode = 0660;

// How the written file's permission bits are chosen.
enum class FileMode {
    KeepExisting, // an existing file keeps its bits, a new one gets the given ones
    Always,       // the file gets the given bits, whatever it had (a file holding secrets)
    // A file in its place gets the given bits; the target of a link keeps its own, since it
    // may be shared beyond the folder (a new target gets the given bits).
    LinkTargetKeeps,
};

// Writes bytes to path atomically. A path that is a symbolic link is written through: the
// link stays and its target gets the bytes; but only when every link on the way belongs to the
// account that runs the program or to root: a link that another operator planted in a shared
// folder fails with ForeignLink, and nothing is written. On Linux the bytes go to an unnamed
// temporary file that gets a name only for the instant before the rename, so a killed save leaves
// nothing behind; elsewhere, and on file systems without unnamed files, the temporary file
// is named after this process, and leftovers of processes that are gone are cleared.
WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes, unsigned mode = 0644,
                                FileMode policy = FileMode::KeepExisting);

// Makes a process file-size limit fail the write (EFBIG, reported as a full disk) instead
// of killing the program with SIGXFSZ. Called at start-up and before every atomic write.
void IgnoreFileSizeSignal();

// The file that path names after following symbolic links (at most 40), also when the last
// target does not exist yet; path itself when it is no link. With foreignLink given, the first
// link on the way that belongs neither to this account nor to root stops the walk: it is
// stored there and returned.
QString ResolveLinks(const QString& path, QString* foreignLink = nullptr);

// Whether the link at path (not what it points to) belongs to this account or to root.
bool IsOwnLink(const QString& path);

} // namespace platform
