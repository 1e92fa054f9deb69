// An RS-232 port over POSIX termios: exclusive open, line settings, modem lines, purges and
// single-byte reads with a time-out. The scales speak their protocols through it.
#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace platform {

// The device of serial port number nPort (1 to 255): the entry "COM<N>" in the program's
// folder when it exists (usually a link to a tty or to a scale simulator's pseudo-terminal),
// otherwise /dev/ttyS<N-1>.
QString SerialDeviceForPort(unsigned nPort);
// The entry "COM<N>" in the program's folder, whether or not it exists.
QString SerialPortLink(unsigned nPort);
// The entry exists (a link, even one whose target has gone).
bool SerialPortLinkExists(unsigned nPort);

// The serial devices present under root (/dev): the stable names under serial/by-id/ where
// they exist (instead of the device they point to), then ttyUSB*, ttyACM* and the ttyS*
// that have a port behind them (/sys/class/tty/ttyS<N>/type not 0). Sorted, each once. On
// Windows the ports that the system's serial drivers announce in the registry
// (HARDWARE\DEVICEMAP\SERIALCOMM), as \\.\COM<N> by number.
QStringList SerialDevices(const QString& root = QStringLiteral("/dev"));

// What a list shows for a device of SerialDevices: on Windows the port with the name the Device
// Manager gives it ("USB-SERIAL CH340 (COM3)"), or the port alone ("COM3"); elsewhere the
// device itself.
QString SerialDeviceLabel(const QString& device);

// The COM<N> link in the counter folder that names device, or 0; without one the first
// port number whose link is free (for /dev/ttyS<N-1>: N, which needs no link).
unsigned PortForDevice(const QString& device, bool* needsLink = nullptr);

// The system's reason for a failed port step (an errno value), in the operator's language.
// For a lack of rights it names the owner, group and mode of device (the path opened, links
// followed) and, where that is the cause, that the account is not in its group dialout.
QString PortErrorReason(int err, const QString& device = QString());
// How messages name a port: "COM3 (/dev/ttyUSB0)", the port and the device behind its link
// ("COM3 (нет ссылки)" while the link is missing); a device opened by its path (nPort 0) is
// named by that path alone.
QString PortDisplayName(unsigned nPort, const QString& device);

// Line settings in the codes the scale classes keep: parity 0 none, 1 odd, 2 even, 3 mark,
// 4 space; stop bits 0 one, 1 one and a half, 2 two; flow bits 0 DSR/DTR, 1 CTS/RTS,
// 2 XON/XOFF.
struct SerialLineSettings {
    std::uint32_t nBaudRate = 9600;
    std::uint8_t nByteSize = 8;
    std::uint8_t nParity = 0;
    std::uint8_t nStopBits = 0;
    std::uint8_t nFlowControl = 0;
};

// The step of the open sequence that failed; the scale turns each into its operator text.
enum class SerialError {
    None,
    Open,        // missing device, no access, or held by another opener
    Buffers,     // queue sizes
    GetSettings, // reading the line settings
    Init,        // writing the line settings (also an unsupported speed or code)
    Purge,       // clearing the queues
};

enum class ReadResult {
    Byte,    // one byte stored
    TimeOut, // nothing arrived in time
    Error,   // the device reported an error (unplugged adapter, hung-up terminal)
};

class CSerialPort {
public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens and configures the device; on failure the device is released again and the
    // failing step is returned. DTR and RTS are raised (without hardware handshake).
    SerialError Open(const QString& device, const SerialLineSettings& line);
    // Drops DTR, then RTS, purges both queues and releases the device.
    void Close();
    // Releases the device without touching the modem lines.
    void Release();
    bool IsOpen() const { return m_fd >= 0; }

    // Makes a plain read return after at most one second without data (VMIN 0, VTIME 10).
    bool SetReadTimeouts();
    // Throws away whatever the device has received and not yet been read.
    bool PurgeInput();
    // Waits up to timeoutMs for one byte.
    ReadResult ReadByte(std::uint8_t& byte, int timeoutMs);
    // Waits up to timeoutMs for the first byte, then takes whatever else has already arrived,
    // up to capacity bytes; count gets the number stored (0 on a time-out).
    ReadResult ReadAvailable(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                             int timeoutMs);
    // Writes all bytes; false on a device error.
    bool Write(const std::uint8_t* data, std::size_t count);
    // Waits until the written bytes have left the port.
    bool Flush();

    // errno of the last failed step, for tools that explain a failure.
    int LastErrno() const { return m_nLastErrno; }
    // The device has gone since it was opened (an adapter pulled out, a terminal hung up):
    // nothing more will come through this descriptor.
    bool Lost() const { return m_bLost; }

private:
    // Notes a failed step; an error that only a vanished device gives marks the port lost.
    void Failed(int err);

    int m_fd = -1;
    int m_nLastErrno = 0;
    bool m_bLost = false;
    // This object set the terminal's exclusive flag, so it may clear it again. An open that
    // fails at the lock must leave the flag of the program that holds the port alone.
    bool m_bExclusiveSet = false;
};

} // namespace platform
