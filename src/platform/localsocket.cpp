#include "platform/localsocket.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

QString Reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// Waits for events on fd until the deadline; false when it passed.
bool Await(int fd, short events, const QElapsedTimer& clock, int timeoutMs) {
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

bool LocalRequest(const QString& socketPath, const QByteArray& line, QByteArray* reply,
                  QString* error, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path) {
        *error = QStringLiteral("неверный путь сокета %1").arg(socketPath);
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    Descriptor s;
    s.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s.fd < 0) {
        *error = Reason(errno);
        return false;
    }
    if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN) {
            *error = QStringLiteral("%1: %2").arg(socketPath, Reason(errno));
            return false;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (!Await(s.fd, POLLOUT, clock, timeoutMs) ||
            ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            *error = QStringLiteral("%1: %2").arg(socketPath,
                                                  err ? Reason(err) : QStringLiteral("нет ответа"));
            return false;
        }
    }
    const QByteArray out = line + '\n';
    for (qsizetype sent = 0; sent < out.size();) {
        const ssize_t n = ::send(s.fd, out.constData() + sent,
                                 static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *error = QStringLiteral("%1: %2").arg(socketPath, Reason(errno));
            return false;
        }
        if (!Await(s.fd, POLLOUT, clock, timeoutMs)) {
            *error = QStringLiteral("%1: нет ответа").arg(socketPath);
            return false;
        }
    }
    reply->clear();
    char buf[4096];
    while (!reply->contains('\n')) {
        const ssize_t n = ::recv(s.fd, buf, sizeof buf, 0);
        if (n > 0) {
            reply->append(buf, n);
            continue;
        }
        if (n == 0) {
            *error = QStringLiteral("%1: служба закрыла соединение").arg(socketPath);
            return false;
        }
        if (errno != EAGAIN && errno != EINTR) {
            *error = QStringLiteral("%1: %2").arg(socketPath, Reason(errno));
            return false;
        }
        if (!Await(s.fd, POLLIN, clock, timeoutMs)) {
            *error = QStringLiteral("%1: нет ответа").arg(socketPath);
            return false;
        }
    }
    reply->truncate(reply->indexOf('\n'));
    return true;
}

} // namespace platform
