// The simulated scale's line on Linux: the master side of a pseudo-terminal, whose slave side
// the program opens as it would open a real port.
#include "scalesimulator.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString ErrnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

bool CScaleSimulator::Start(QString* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = ErrnoText(what);
        Stop();
        return false;
    };
    if (!m_strGivenDevice.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("the simulator makes its own pseudo-terminal here: no --device");
        return false;
    }
    m_fdMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fdMaster < 0)
        return fail("posix_openpt");
    if (::grantpt(m_fdMaster) != 0 || ::unlockpt(m_fdMaster) != 0)
        return fail("grantpt");
    char name[128] = {};
    if (::ptsname_r(m_fdMaster, name, sizeof name) != 0)
        return fail("ptsname");
    m_strDevice = QString::fromLocal8Bit(name);
    m_fdSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fdSlave < 0)
        return fail(name);
    termios tio{};
    if (::tcgetattr(m_fdSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fdSlave, TCSANOW, &tio);
    }
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return fail("pipe");
    // Nobody may be reading the other end (continuous output talks anyway): a full queue
    // drops bytes, as a line without a listener does, instead of stopping the simulator.
    ::fcntl(m_fdMaster, F_SETFL, ::fcntl(m_fdMaster, F_GETFL) | O_NONBLOCK);
    m_nextLine = Clock::now();
    m_bStop.store(false);
    m_rxFree = m_txFree = Clock::now();
    m_thread = std::thread(&CScaleSimulator::Run, this);
    return true;
}

void CScaleSimulator::Stop() {
    if (m_thread.joinable()) {
        m_bStop.store(true);
        const char wake = 'x';
        [[maybe_unused]] const ssize_t n = ::write(m_wakePipe[1], &wake, 1);
        m_thread.join();
    }
    for (int* fd : {&m_fdMaster, &m_fdSlave, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool CScaleSimulator::LinkAs(const QString& linkPath, QString* error) {
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st;
    if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link.constData());
    if (::symlink(QFile::encodeName(m_strDevice).constData(), link.constData()) != 0) {
        if (error)
            *error = ErrnoText(link.constData());
        return false;
    }
    return true;
}

bool CScaleSimulator::HeardAtOurSpeed() const {
    // The opener's speed is the terminal's; before anyone set one it cannot matter.
    termios tio{};
    if (!LineSettings(tio))
        return true;
    static const std::pair<int, speed_t> speeds[] = {{1200, B1200},   {2400, B2400},
                                                     {4800, B4800},   {9600, B9600},
                                                     {19200, B19200}, {38400, B38400}};
    const int baud = BaudRate();
    for (const auto& [rate, code] : speeds)
        if (rate == baud)
            return ::cfgetospeed(&tio) == code;
    return true;
}

bool CScaleSimulator::LineSettings(termios& tio) const {
    return m_fdSlave >= 0 && ::tcgetattr(m_fdSlave, &tio) == 0;
}

bool CScaleSimulator::SetLineSettings(const termios& tio) {
    return m_fdSlave >= 0 && ::tcsetattr(m_fdSlave, TCSANOW, &tio) == 0;
}

int CScaleSimulator::ReadLine(std::uint8_t* buffer, int capacity, int timeoutMs) {
    pollfd fds[2] = {{m_fdMaster, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) < 0)
        return errno == EINTR ? 0 : -1;
    if (fds[1].revents)
        return -1;
    if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(m_fdMaster, buffer, size_t(capacity));
        return n > 0 ? int(n) : 0;
    }
    if (fds[0].revents) {
        // Cannot happen while our own slave descriptor is open; do not spin if it does.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

void CScaleSimulator::WriteLine(const char* bytes, int count) {
    [[maybe_unused]] const ssize_t n = ::write(m_fdMaster, bytes, size_t(count));
}
