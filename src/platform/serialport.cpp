#include "platform/serialport.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool SpeedConstant(std::uint32_t baud, speed_t& speed) {
    struct Pair {
        std::uint32_t baud;
        speed_t speed;
    };
    static const Pair table[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Pair& p : table) {
        if (p.baud == baud) {
            speed = p.speed;
            return true;
        }
    }
    return false;
}

bool ByteSizeFlag(std::uint8_t bits, tcflag_t& flag) {
    switch (bits) {
    case 5:
        flag = CS5;
        return true;
    case 6:
        flag = CS6;
        return true;
    case 7:
        flag = CS7;
        return true;
    case 8:
        flag = CS8;
        return true;
    default:
        return false;
    }
}

bool ParityFlags(std::uint8_t parity, tcflag_t& flags) {
    switch (parity) {
    case 0:
        flags = 0;
        return true;
    case 1:
        flags = PARENB | PARODD;
        return true;
    case 2:
        flags = PARENB;
        return true;
    case 3: // mark: the parity bit is always 1
        flags = PARENB | CMSPAR | PARODD;
        return true;
    case 4: // space: the parity bit is always 0
        flags = PARENB | CMSPAR;
        return true;
    default:
        return false;
    }
}

bool StopBitFlags(std::uint8_t stopBits, tcflag_t& flags) {
    switch (stopBits) {
    case 0:
        flags = 0;
        return true;
    case 1: // one and a half: the UART sends 1.5 stop bits for CSTOPB with 5-bit characters
    case 2:
        flags = CSTOPB;
        return true;
    default:
        return false;
    }
}

// Raises or drops modem lines. A pseudo-terminal or an adapter without modem lines refuses
// the request; that is no fault of the line, so it counts as done.
bool SetModemLines(int fd, int lines, bool raise) {
    if (::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}

} // namespace

QString SerialPortLink(unsigned nPort) {
    return ModuleDirectory() + QStringLiteral("/COM") + QString::number(nPort);
}

bool SerialPortLinkExists(unsigned nPort) {
    // lstat, not stat: a link whose target has gone must fail to open rather than fall back
    // to another port silently.
    struct stat st;
    return ::lstat(QFile::encodeName(SerialPortLink(nPort)).constData(), &st) == 0;
}

QString SerialDeviceForPort(unsigned nPort) {
    if (SerialPortLinkExists(nPort))
        return SerialPortLink(nPort);
    return QStringLiteral("/dev/ttyS") + QString::number(nPort - 1);
}

QString SerialDeviceLabel(const QString& device) {
    return device;
}

QStringList SerialDevices(const QString& root) {
    QStringList devices;
    QStringList covered; // the devices a stable name stands for
    const QDir byId(root + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        devices << link.absoluteFilePath();
        covered << link.canonicalFilePath();
    }
    const QDir dev(root);
    QStringList plain;
    for (const QString& name : dev.entryList(
             {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")},
             QDir::System | QDir::Files)) {
        const QString path = dev.absoluteFilePath(name);
        if (covered.contains(QFileInfo(path).canonicalFilePath()))
            continue;
        if (name.startsWith(QLatin1String("ttyS"))) {
            // Every machine has ttyS0 to ttyS31 whether or not a UART is behind them.
            QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(name));
            if (!type.open(QIODevice::ReadOnly) || type.readAll().trimmed() == "0")
                continue;
        }
        plain << path;
    }
    // ttyS2 before ttyS10.
    std::sort(plain.begin(), plain.end(), [](const QString& a, const QString& b) {
        const auto split = [](const QString& s) {
            qsizetype i = s.size();
            while (i > 0 && s[i - 1].isDigit())
                --i;
            return std::make_pair(s.left(i), s.mid(i).toInt());
        };
        return split(a) < split(b);
    });
    return devices + plain;
}

unsigned PortForDevice(const QString& device, bool* needsLink) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^/dev/ttyS(\\d+)$")).match(device);
    const QString target = QFileInfo(device).absoluteFilePath();
    unsigned firstFree = 0;
    for (unsigned n = 1; n <= 255; ++n) {
        const QFileInfo link(ModuleDirectory() + QStringLiteral("/COM") + QString::number(n));
        if (link.isSymLink() && QFileInfo(link.symLinkTarget()).absoluteFilePath() == target) {
            if (needsLink)
                *needsLink = false;
            return n;
        }
        const bool taken = link.exists() || link.isSymLink();
        if (!taken && firstFree == 0)
            firstFree = n;
    }
    if (m.hasMatch()) {
        const unsigned n = m.captured(1).toUInt() + 1;
        const QFileInfo link(ModuleDirectory() + QStringLiteral("/COM") + QString::number(n));
        if (!link.exists() && !link.isSymLink() && n <= 255) {
            if (needsLink)
                *needsLink = false;
            return n;
        }
    }
    if (needsLink)
        *needsLink = firstFree != 0;
    return firstFree;
}

namespace {
// The mode as `ls -l` shows it: "crw-rw----".
QString ModeText(mode_t mode) {
    QString text = S_ISCHR(mode)    ? QStringLiteral("c")
                   : S_ISBLK(mode)  ? QStringLiteral("b")
                   : S_ISDIR(mode)  ? QStringLiteral("d")
                   : S_ISFIFO(mode) ? QStringLiteral("p")
                   : S_ISSOCK(mode) ? QStringLiteral("s")
                                    : QStringLiteral("-");
    const char letters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += (mode & (1u << bit)) ? QLatin1Char(letters[(8 - bit) % 3]) : QLatin1Char('-');
    return text;
}

// Whether this process has the group's rights.
bool ProcessInGroup(gid_t gid) {
    if (::getegid() == gid)
        return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return count > 0 &&
           std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

// Whether the system's list of groups puts this account in the group (a process started
// before the account was added does not have its rights yet).
bool AccountListedInGroup(gid_t gid) {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::geteuid(), &pw, buf, sizeof buf, &found) != 0 || !found)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

// Who may open the device, and, where it is the cause, that the account lacks the group of
// serial ports: "нет доступа (владелец root, группа dialout, права crw-rw----; учётная
// запись не в группе dialout)".
QString NoAccessReason(const QString& device) {
    struct stat st {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QStringLiteral("нет доступа");
    const QString group = GroupNameOf(st.st_gid);
    QString text = QStringLiteral("нет доступа (владелец %1, группа %2, права %3")
                       .arg(AccountNameOf(st.st_uid), group, ModeText(st.st_mode));
    if (group == QLatin1String("dialout") && !ProcessInGroup(st.st_gid))
        text += AccountListedInGroup(st.st_gid)
                    ? QStringLiteral("; учётная запись включена в группу dialout после входа "
                                     "в систему: войдите в систему заново")
                    : QStringLiteral("; учётная запись не в группе dialout");
    return text + QLatin1Char(')');
}
} // namespace

QString PortErrorReason(int err, const QString& device) {
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral("нет такого устройства");
    case EACCES:
    case EPERM:
        return NoAccessReason(device);
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("порт занят другой программой");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода, устройство отключено");
    case ENOTTY:
        return QStringLiteral("это не последовательный порт");
    case EINVAL:
        return QStringLiteral("порт не поддерживает эти установки");
    case ELOOP:
        return QStringLiteral("ссылка указывает сама на себя");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

QString PortDisplayName(unsigned nPort, const QString& device) {
    if (nPort == 0)
        return device;
    const QString com = QStringLiteral("COM") + QString::number(nPort);
    // The link's target is what an installer recognises (/dev/ttyUSB0); a link pointing at
    // nothing is named by its target all the same.
    const QFileInfo info(device);
    // The port's own link that is gone (its device went with it) names no device at all.
    if (!info.isSymLink() && !info.exists() && device == SerialPortLink(nPort))
        return QStringLiteral("%1 (нет ссылки)").arg(com);
    const QString target = info.isSymLink() ? info.symLinkTarget() : device;
    return QStringLiteral("%1 (%2)").arg(com, target);
}

void CSerialPort::Failed(int err) {
    m_nLastErrno = err;
    if (err == EIO || err == ENXIO || err == ENODEV || err == EBADF)
        m_bLost = true;
}

CSerialPort::~CSerialPort() {
    Release();
}

SerialError CSerialPort::Open(const QString& device, const SerialLineSettings& line) {
    Release();
    m_nLastErrno = 0;
    m_bLost = false;
    const QByteArray path = QFile::encodeName(device);
    // Non-blocking for the open itself, so a port without carrier does not hang it.
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_nLastErrno = errno;
        return SerialError::Open;
    }
    m_fd = fd;
    // TIOCEXCL keeps other openers out, but root ignores it; the advisory lock also stops a
    // second workstation or tool running as root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Open;
    }
    m_bExclusiveSet = true;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Open;
    }

    // The kernel's tty queues have a fixed size of at least 4 KiB, more than the 1 KiB the
    // scales need, so there is nothing to set for SerialError::Buffers here.

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        m_nLastErrno = errno;
        Release();
        return SerialError::GetSettings;
    }
    speed_t speed = B9600;
    tcflag_t size = 0, parity = 0, stop = 0;
    if (!SpeedConstant(line.nBaudRate, speed) || !ByteSizeFlag(line.nByteSize, size) ||
        !ParityFlags(line.nParity, parity) || !StopBitFlags(line.nStopBits, stop)) {
        m_nLastErrno = EINVAL;
        Release();
        return SerialError::Init;
    }
    // Raw binary mode. Parity checking stays on in every mode: a byte that arrives with a
    // parity or framing error is read as 0, which the protocols reject or read as no weight.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | IGNPAR);
    tio.c_iflag |= INPCK;
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL | size | parity | stop;
    // Flow bit 0 (DSR/DTR handshake) has no termios form: DTR is simply held raised and DSR
    // is not watched, which is what a scale without handshake lines needs.
    if (line.nFlowControl & 0x02)
        tio.c_cflag |= CRTSCTS;
    if (line.nFlowControl & 0x04)
        tio.c_iflag |= IXON | IXOFF;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Init;
    }
    // A pseudo-terminal (a simulated scale) keeps eight bits without parity whatever it is
    // asked, and the C library then reports EINVAL although everything else took effect; a
    // real driver that refuses a request changes nothing. So EINVAL is judged by what was
    // applied: the speed and raw mode must hold, the framing may be the terminal's own.
    if (::tcsetattr(fd, TCSANOW, &tio) != 0 && errno != EINVAL) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Init;
    }
    termios now{};
    const tcflag_t rawLocal = ECHO | ICANON | ISIG | IEXTEN;
    if (::tcgetattr(fd, &now) != 0 || ::cfgetospeed(&now) != speed ||
        ::cfgetispeed(&now) != speed || (now.c_lflag & rawLocal) != 0 ||
        (now.c_oflag & OPOST) != 0) {
        m_nLastErrno = EINVAL;
        Release();
        return SerialError::Init;
    }
    // Without hardware handshake the lines are raised and held; with CTS/RTS handshake the
    // driver moves RTS itself.
    const int lines = (line.nFlowControl & 0x02) ? TIOCM_DTR : (TIOCM_DTR | TIOCM_RTS);
    if (!SetModemLines(fd, lines, true)) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Init;
    }
    if (::tcflush(fd, TCIOFLUSH) != 0) {
        m_nLastErrno = errno;
        Release();
        return SerialError::Purge;
    }
    return SerialError::None;
}

void CSerialPort::Close() {
    if (m_fd < 0)
        return;
    SetModemLines(m_fd, TIOCM_DTR, false);
    SetModemLines(m_fd, TIOCM_RTS, false);
    ::tcflush(m_fd, TCIOFLUSH);
    Release();
}

void CSerialPort::Release() {
    if (m_fd < 0)
        return;
    // The exclusive flag belongs to the terminal, not to this descriptor: another process
    // may still hold the terminal open (a simulator does), so clear it for the next opener,
    // but only when it was ours.
    if (m_bExclusiveSet)
        ::ioctl(m_fd, TIOCNXCL);
    m_bExclusiveSet = false;
    ::close(m_fd); // also releases the advisory lock
    m_fd = -1;
}

bool CSerialPort::SetReadTimeouts() {
    if (m_fd < 0)
        return false;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        Failed(errno);
        return false;
    }
    if (tio.c_cc[VMIN] == 0 && tio.c_cc[VTIME] == 10)
        return true;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 10;
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        Failed(errno);
        return false;
    }
    return true;
}

bool CSerialPort::PurgeInput() {
    return m_fd >= 0 && ::tcflush(m_fd, TCIFLUSH) == 0;
}

ReadResult CSerialPort::ReadByte(std::uint8_t& byte, int timeoutMs) {
    if (m_fd < 0)
        return ReadResult::Error;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        // Round up, so a wait never ends a fraction of a millisecond early.
        const int waitMs = left.count() < 0 ? 0 : static_cast<int>(left.count()) + 1;
        pollfd p{m_fd, POLLIN, 0};
        const int n = ::poll(&p, 1, waitMs);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Failed(errno);
            return ReadResult::Error;
        }
        if (n == 0) {
            if (Clock::now() >= deadline)
                return ReadResult::TimeOut;
            continue;
        }
        // A hung-up terminal reports POLLHUP and reads as end of file forever; waiting on it
        // would only spin.
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            Failed(EIO);
            return ReadResult::Error;
        }
        const ssize_t got = ::read(m_fd, &byte, 1);
        if (got == 1)
            return ReadResult::Byte;
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        Failed(got < 0 ? errno : EIO);
        return ReadResult::Error;
    }
}

ReadResult CSerialPort::ReadAvailable(std::uint8_t* buffer, std::size_t capacity,
                                      std::size_t& count, int timeoutMs) {
    count = 0;
    if (capacity == 0)
        return ReadResult::TimeOut;
    const ReadResult first = ReadByte(buffer[0], timeoutMs);
    if (first != ReadResult::Byte)
        return first;
    count = 1;
    // The rest only as far as it is already there: the caller decides whether to wait more.
    while (count < capacity) {
        pollfd p{m_fd, POLLIN, 0};
        const int n = ::poll(&p, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || !(p.revents & POLLIN))
            break;
        const ssize_t got = ::read(m_fd, buffer + count, capacity - count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        count += static_cast<std::size_t>(got);
    }
    return ReadResult::Byte;
}

bool CSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (m_fd < 0)
        return false;
    while (count > 0) {
        const ssize_t n = ::write(m_fd, data, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Failed(errno);
            return false;
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CSerialPort::Flush() {
    if (m_fd < 0)
        return false;
    while (::tcdrain(m_fd) != 0) {
        if (errno != EINTR) {
            m_nLastErrno = errno;
            return false;
        }
    }
    return true;
}

} // namespace platform
