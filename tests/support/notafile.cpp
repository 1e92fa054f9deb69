#include "support/notafile.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace notafile {

QStringList Kinds() {
    return {QStringLiteral("FIFO"), QStringLiteral("socket"), QStringLiteral("folder"),
            QStringLiteral("device")};
}

QString Word(const QString& kind) {
    if (kind == QLatin1String("FIFO"))
        return QStringLiteral("канал FIFO");
    if (kind == QLatin1String("socket"))
        return QStringLiteral("сокет");
    if (kind == QLatin1String("folder"))
        return QStringLiteral("папка");
    return QStringLiteral("устройство");
}

bool Make(const QString& kind, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("FIFO"))
        return ::mkfifo(name.constData(), 0660) == 0;
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path);
    if (kind == QLatin1String("device"))
        return QFile::link(QStringLiteral("/dev/null"), path);
    // A socket bound to the name stays in the folder when its descriptor is closed.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (kind != QLatin1String("socket") || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

FifoRelease::FifoRelease(const QString& path, int afterMs) {
    m_thread = std::thread([this, name = QFile::encodeName(path), afterMs] {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_stop.wait_for(lock, std::chrono::milliseconds(afterMs),
                            [this] { return m_bStopping; }))
            return;
        while (
            !m_stop.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_bStopping; })) {
            // Opens only while a reader has the FIFO open, and never waits itself; anything
            // else at the path is left alone.
            struct stat st {};
            if (::stat(name.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
                continue;
            const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                m_bReleased = true;
            }
        }
    });
}

FifoRelease::~FifoRelease() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_stop.notify_all();
    m_thread.join();
}

} // namespace notafile
