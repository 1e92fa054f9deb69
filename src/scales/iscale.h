// A scale on a serial port: opens and configures the port, reads replies byte by byte under
// a one-second time-out per byte and releases the port. The protocols derive from it.
#pragma once

#include "platform/serialport.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class IScale {
public:
    // How a port error reaches the operator. By default it is shown at once; the poller
    // collects the errors of an exchange and shows them on the user-interface thread.
    using MessageHandler = std::function<void(const QString& text)>;

    IScale();
    // Releases the device without the DTR/RTS steps of Close().
    virtual ~IScale();
    IScale(const IScale&) = delete;
    IScale& operator=(const IScale&) = delete;

    // Opens the port named by m_nPortNumber; port 0 fails without a message.
    virtual bool Open();
    virtual void Close();
    // One request/reply exchange: -1.0 no reading, 0.0 nothing to weigh or port closed,
    // otherwise kilograms.
    virtual double GetWeight() = 0;
    // Shows a price on the scale's display, for the protocols that have one.
    virtual void SetPrice(unsigned int nPrice) = 0;

    // Opens a device by its path with the line fields below (the diagnostic tool names the
    // device itself rather than a port number).
    bool OpenDevice(const QString& device);
    bool IsOpen() const { return m_bOpen; }
    void SetMessageHandler(MessageHandler handler);
    // errno of the last failed port step, for tools that explain a failure.
    int LastErrno() const { return m_hPort.LastErrno(); }

    // Set by the creator after construction and before Open().
    std::uint8_t m_nPortNumber = 0; // 0: no port, never opened
    std::uint32_t m_nBaudRate = 9600;
    std::uint8_t m_nParity = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t m_nByteSize = 8;    // data bits
    std::uint8_t m_nStopBits = 0;    // 0 one, 1 one and a half, 2 two
    std::uint8_t m_nFlowControl = 0; // bit 0 DSR/DTR, bit 1 CTS/RTS, bit 2 XON/XOFF

    // How long one byte of a reply is waited for.
    static constexpr int kByteTimeoutMs = 1000;

protected:
    // Called by every exchange before its first write. Also throws away bytes left over
    // from an earlier exchange, so a late reply cannot be taken for the answer to this one.
    bool SetReadTimeouts();
    // Reads up to count bytes, one at a time; stops at the first byte that does not come
    // in time. A device error yields 0 whatever was stored before.
    std::size_t ReadBytes(std::uint8_t* buffer, std::size_t count);
    bool WriteBytes(const std::uint8_t* data, std::size_t count);
    bool FlushOutput();

    platform::CSerialPort m_hPort;
    bool m_bOpen = false;

private:
    void ReportPortError(const QString& text);

    MessageHandler m_fnReport;
    bool m_bTimeoutFailing = false; // the time-out error was shown and has not cleared since
};
