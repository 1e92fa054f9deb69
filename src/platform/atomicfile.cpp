#include "platform/atomicfile.h"

#include "platform/fileopen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

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

// Named temporary files of ours: "<name>.tmp-<pid>-XXXXXX" beside the file.
QString TempPrefix(const QString& fileName) {
    return fileName + QStringLiteral(".tmp-");
}

// Removes the named temporary files that earlier saves of file left when their process was
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
        const pid_t pid = static_cast<pid_t>(m.captured(1).toLongLong());
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlink(QFile::encodeName(dir + QLatin1Char('/') + name).constData());
    }
}

// An open temporary file in dir and the name it will have just before the rename.
struct TempFile {
    int fd = -1;
    bool unnamed = false;
    QByteArray name;
};

TempFile OpenTemp(const QString& dir, const QString& fileName) {
    TempFile t;
    QByteArray tmpl = QFile::encodeName(dir + QLatin1Char('/') + TempPrefix(fileName) +
                                        QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
#ifdef O_TMPFILE
    t.fd = ::open(QFile::encodeName(dir).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (t.fd >= 0) {
        t.unnamed = true;
        t.name = tmpl;
        return t;
    }
#endif
    // mkstemp creates the file with mode 0600, so nothing readable by others ever exists.
    t.fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    t.name = tmpl;
    return t;
}

// Gives an unnamed temporary file a fresh name of the temporary pattern.
int LinkTemp(TempFile& t) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(t.fd);
    const QByteArray stem = t.name.left(t.name.size() - 6);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = stem;
        for (int i = 0; i < 6; ++i)
            name += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)];
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0) {
            t.name = name;
            t.unnamed = false;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}
} // namespace

void IgnoreFileSizeSignal() {
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
        ::signal(SIGXFSZ, SIG_IGN);
}

bool IsOwnLink(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

WriteResult WriteFileAtomically(const QString& path, const QByteArray& bytes, unsigned fileMode,
                                FileMode policy) {
    IgnoreFileSizeSignal();
    // A link to the file stays a link: the bytes replace its target, when the link is ours.
    QString foreignLink;
    const QString resolved = ResolveLinks(path, &foreignLink);
    if (!foreignLink.isEmpty())
        return {FileError::ForeignLink};
    // Something other than a file is never replaced: renaming over a device would replace the
    // device node itself (for root, /dev/null), and a FIFO or a socket is someone's channel.
    if (const FileError kind = CheckIsFile(resolved); IsNotAFile(kind))
        return {kind};
    const QFileInfo info(resolved);
    const QString dirPath = info.absolutePath();
    const QByteArray target = QFile::encodeName(resolved);
    const QByteArray dir = QFile::encodeName(dirPath);

    mode_t mode = static_cast<mode_t>(fileMode & 07777);
    struct stat st {};
    const bool keep =
        policy == FileMode::KeepExisting ||
        (policy == FileMode::LinkTargetKeeps && resolved != QFileInfo(path).absoluteFilePath());
    if (keep && ::stat(target.constData(), &st) == 0)
        mode = st.st_mode & 07777;

    ClearLeftovers(dirPath, info.fileName());
    TempFile tmp = OpenTemp(dirPath, info.fileName());
    if (tmp.fd < 0)
        return {FileErrorFromErrno(errno)};

    int err = 0;
    if (!WriteAll(tmp.fd, bytes.constData(), static_cast<size_t>(bytes.size())))
        err = errno;
    if (err == 0 && ::fchmod(tmp.fd, mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(tmp.fd) != 0)
        err = errno;
    // Only now does an unnamed file get a name, for the instant before the rename.
    if (err == 0 && tmp.unnamed)
        err = LinkTemp(tmp);
    if (::close(tmp.fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(tmp.name.constData(), target.constData()) != 0)
        err = errno;
    if (err != 0) {
        if (!tmp.unnamed)
            ::unlink(tmp.name.constData());
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
