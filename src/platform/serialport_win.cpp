// The serial port on Windows: "\\.\COM<N>" opened exclusively for synchronous reading and
// writing, configured through the DCB, with purges, DTR/RTS and the read time-outs of the
// communications API.
#include "platform/serialport.h"

#include <QMap>
#include <QRegularExpression>

// windows.h first: the setup API's headers build on it.
#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// The handle lives in the int the header keeps for a descriptor: kernel handles carry 32
// significant bits, and HandleToLong/LongToHandle are the system's own conversions.
HANDLE ToHandle(int fd) {
    return LongToHandle(fd);
}

// The errno that tells a tool why the port did not open; a COM port that another program
// holds answers with access denied.
int ErrnoFromLastError(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EBUSY;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    default:
        return EIO;
    }
}

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

} // namespace

QString SerialDeviceForPort(unsigned nPort) {
    return QStringLiteral("\\\\.\\COM%1").arg(nPort);
}

// A Windows port is its number: there are no links.
QString SerialPortLink(unsigned nPort) {
    return SerialDeviceForPort(nPort);
}

bool SerialPortLinkExists(unsigned) {
    return false;
}

namespace {

// The ports the system's serial drivers announce: the values of HARDWARE\DEVICEMAP\SERIALCOMM,
// each a driver's device name ("\Device\Serial0") with the port's name ("COM1") as its data.
QList<unsigned> AnnouncedPorts() {
    QList<unsigned> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t); // room for a terminating zero
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue; // a value too long for a port name is none
        const unsigned n = PortForDevice(QString::fromWCharArray(data).trimmed());
        if (n != 0 && !ports.contains(n))
            ports.append(n);
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end());
    return ports;
}

// The device setup class "Ports (COM & LPT)".
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The names the Device Manager shows for the ports of the Ports class ("USB-SERIAL CH340
// (COM3)"), by port number; ports without a device there have none.
QMap<unsigned, QString> FriendlyNames() {
    QMap<unsigned, QString> names;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t port[64] = {};
        DWORD size = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const bool named =
            ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                               &size) == ERROR_SUCCESS &&
            type == REG_SZ;
        ::RegCloseKey(key);
        const unsigned n = named ? PortForDevice(QString::fromWCharArray(port).trimmed()) : 0;
        wchar_t friendly[256] = {};
        if (n != 0 &&
            ::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                reinterpret_cast<BYTE*>(friendly),
                                                sizeof friendly - sizeof(wchar_t), nullptr))
            names.insert(n, QString::fromWCharArray(friendly).trimmed());
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return names;
}

} // namespace

QStringList SerialDevices(const QString&) {
    QStringList devices;
    for (const unsigned n : AnnouncedPorts())
        devices.append(SerialDeviceForPort(n));
    return devices;
}

QString SerialDeviceLabel(const QString& device) {
    const unsigned n = PortForDevice(device);
    if (n == 0)
        return device;
    const QString port = QStringLiteral("COM") + QString::number(n);
    const QString friendly = FriendlyNames().value(n);
    if (friendly.isEmpty())
        return port;
    // The Device Manager's name carries the port's name already, as a rule.
    return friendly.contains(port, Qt::CaseInsensitive)
               ? friendly
               : friendly + QStringLiteral(" (") + port + QLatin1Char(')');
}

unsigned PortForDevice(const QString& device, bool* needsLink) {
    // A Windows port is its number: there are no links to make.
    if (needsLink)
        *needsLink = false;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM(\\d+)$"),
                           QRegularExpression::CaseInsensitiveOption)
            .match(device);
    const unsigned n = m.hasMatch() ? m.captured(1).toUInt() : 0;
    return n <= 255 ? n : 0;
}

QString PortErrorReason(int err, const QString&) {
    switch (err) {
    case ENOENT:
        return QStringLiteral("нет такого устройства");
    case EBUSY:
        return QStringLiteral("порт занят другой программой");
    case EINVAL:
        return QStringLiteral("порт не поддерживает эти установки");
    default:
        return QStringLiteral("ошибка ввода-вывода, устройство отключено");
    }
}

QString PortDisplayName(unsigned nPort, const QString& device) {
    return nPort == 0 ? device : QStringLiteral("COM") + QString::number(nPort);
}

CSerialPort::~CSerialPort() {
    Release();
}

SerialError CSerialPort::Open(const QString& device, const SerialLineSettings& line) {
    Release();
    m_nLastErrno = 0;
    const std::wstring name = device.toStdWString();
    // Not shared, existing device only, synchronous.
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_nLastErrno = ErrnoFromLastError(::GetLastError());
        return SerialError::Open;
    }
    m_fd = HandleToLong(h);
    DWORD errors = 0;
    ::ClearCommError(h, &errors, nullptr);
    // A failed step clears the communication error and releases the device.
    const auto fail = [this, h](SerialError step) {
        m_nLastErrno = ErrnoFromLastError(::GetLastError());
        DWORD e = 0;
        ::ClearCommError(h, &e, nullptr);
        Release();
        return step;
    };
    if (!::SetupComm(h, 1024, 1024))
        return fail(SerialError::Buffers);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb))
        return fail(SerialError::GetSettings);
    dcb.BaudRate = line.nBaudRate;
    dcb.ByteSize = line.nByteSize;
    dcb.Parity = line.nParity;
    dcb.StopBits = line.nStopBits;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE; // also without parity: a byte with a framing error is not taken
    const bool dsrDtr = line.nFlowControl & 0x01;
    const bool ctsRts = line.nFlowControl & 0x02;
    const bool xonXoff = line.nFlowControl & 0x04;
    dcb.fOutxDsrFlow = dsrDtr;
    dcb.fDtrControl = dsrDtr ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = ctsRts;
    dcb.fRtsControl = ctsRts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    if (!::SetCommState(h, &dcb))
        return fail(SerialError::Init);
    if (!::PurgeComm(h, kPurgeAll))
        return fail(SerialError::Purge);
    return SerialError::None;
}

void CSerialPort::Close() {
    if (m_fd < 0)
        return;
    const HANDLE h = ToHandle(m_fd);
    ::EscapeCommFunction(h, CLRDTR);
    ::EscapeCommFunction(h, CLRRTS);
    ::PurgeComm(h, kPurgeAll);
    Release();
}

void CSerialPort::Release() {
    if (m_fd < 0)
        return;
    ::CloseHandle(ToHandle(m_fd));
    m_fd = -1;
}

namespace {
// A read returns at once with what is queued, or waits up to timeoutMs for the first byte
// and returns as soon as one arrives; writes have no time-out.
bool SetTimeouts(HANDLE h, DWORD timeoutMs) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = timeoutMs;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    if (::SetCommTimeouts(h, &t))
        return true;
    DWORD e = 0;
    ::ClearCommError(h, &e, nullptr);
    return false;
}
} // namespace

bool CSerialPort::SetReadTimeouts() {
    if (m_fd < 0)
        return false;
    if (SetTimeouts(ToHandle(m_fd), 1000))
        return true;
    m_nLastErrno = ErrnoFromLastError(::GetLastError());
    return false;
}

bool CSerialPort::PurgeInput() {
    return m_fd >= 0 && ::PurgeComm(ToHandle(m_fd), PURGE_RXABORT | PURGE_RXCLEAR);
}

ReadResult CSerialPort::ReadByte(std::uint8_t& byte, int timeoutMs) {
    if (m_fd < 0)
        return ReadResult::Error;
    const HANDLE h = ToHandle(m_fd);
    if (!SetTimeouts(h, DWORD(timeoutMs < 1 ? 1 : timeoutMs))) {
        m_nLastErrno = ErrnoFromLastError(::GetLastError());
        return ReadResult::Error;
    }
    DWORD got = 0;
    if (!::ReadFile(h, &byte, 1, &got, nullptr)) {
        m_nLastErrno = ErrnoFromLastError(::GetLastError());
        DWORD e = 0;
        ::ClearCommError(h, &e, nullptr);
        return ReadResult::Error;
    }
    return got == 1 ? ReadResult::Byte : ReadResult::TimeOut;
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
    // The rest only as far as it is already queued: the caller decides whether to wait more.
    const HANDLE h = ToHandle(m_fd);
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(h, &errors, &stat) || stat.cbInQue == 0)
        return ReadResult::Byte;
    const DWORD want = DWORD(std::min<std::size_t>(stat.cbInQue, capacity - count));
    DWORD got = 0;
    if (::ReadFile(h, buffer + count, want, &got, nullptr))
        count += got;
    return ReadResult::Byte;
}

bool CSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (m_fd < 0)
        return false;
    const HANDLE h = ToHandle(m_fd);
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(h, data, DWORD(count), &written, nullptr) || written == 0) {
            m_nLastErrno = ErrnoFromLastError(::GetLastError());
            DWORD e = 0;
            ::ClearCommError(h, &e, nullptr);
            return false;
        }
        data += written;
        count -= written;
    }
    return true;
}

bool CSerialPort::Flush() {
    if (m_fd < 0)
        return false;
    if (::FlushFileBuffers(ToHandle(m_fd)))
        return true;
    m_nLastErrno = ErrnoFromLastError(::GetLastError());
    return false;
}

} // namespace platform
