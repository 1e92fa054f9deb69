// A scale on a serial port: opens and configures the port, reads replies under a one-second
// time-out per byte and an overall deadline per exchange, and releases the port. The
// protocols derive from it.
#pragma once

#include "platform/serialport.h"
#include "scales/scalestate.h"
#include "scales/textreplies.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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

    // Opens the port named by m_nPortNumber; port 0 fails without a message. A port whose
    // COM<N> link has been seen keeps to that link (see KeepToLink).
    virtual bool Open();
    virtual void Close();
    // One request/reply exchange: -1.0 no reading, 0.0 nothing to weigh or port closed,
    // otherwise kilograms.
    virtual double GetWeight() = 0;
    // Shows a price on the scale's display, for the protocols that have one.
    virtual void SetPrice(unsigned int nPrice) = 0;
    // The scale sends its weights by itself (continuous output): each exchange waits for the
    // next line, so the poller asks again without a pause.
    virtual bool TalksByItself() const { return false; }
    // Asks, where the protocol has a way to, for the heaviest weight the scale weighs, once,
    // before the next weight; Capacity() then says it (kilograms), from any thread. 0 while
    // unknown. A tool that sends nothing but weight requests never asks.
    void AskCapacity() { m_bAskCapacity = true; }
    double Capacity() const { return m_dCapacity.load(); }

    // Opens a device by its path with the line fields below (the diagnostic tool names the
    // device itself rather than a port number).
    bool OpenDevice(const QString& device);
    bool IsOpen() const { return m_bOpen; }
    // What the last exchange said besides the weight; PortClosed while the port is closed.
    ScaleState State() const { return m_bOpen ? m_nState : ScaleState::PortClosed; }
    // The device went away while open (a USB adapter pulled out): nothing more will come
    // until the port is opened again.
    bool PortLost() const { return m_bOpen && m_hPort.Lost(); }
    // The message for a lost port: the port, its device and the system's reason.
    QString LostPortMessage() const;
    // "COM3 (/dev/ttyUSB0)", or the device opened by its path.
    QString PortName() const;
    void SetMessageHandler(MessageHandler handler);
    // From now on the port is its COM<N> link only: while the link is missing the port is
    // missing, and /dev/ttyS<N-1> is never opened in its place. Open() does this itself
    // when it finds the link; a new scale object for the same port takes it over.
    void KeepToLink() { m_bKeepToLink = true; }
    bool KeepsToLink() const { return m_bKeepToLink; }
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
    // The longest one exchange may take: the wait for the first byte plus the time the
    // exchange's bytes take on the line at the configured settings, plus a margin. A
    // scale that trickles its reply ends as no reading there, so closing the screen or
    // confirming the settings never waits for more than about a second.
    int ExchangeDeadlineMs() const;
    // Time of one character on the configured line: start, data, parity and stop bits.
    std::chrono::nanoseconds ByteTime() const;
    // The last exchange got an answer in this protocol's form (for the scale finder), and
    // how many bytes came in at all (a port that stays quiet needs no further tries).
    bool Answered() const { return m_bAnswered; }
    std::size_t BytesReceived() const { return m_nBytesReceived; }

protected:
    // Bytes on the line, both directions, of one whole exchange of this protocol.
    virtual std::size_t ExchangeBytes() const = 0;

    // Called by every exchange before its first write; starts the exchange's deadline. Also
    // throws away bytes left over from an earlier exchange, so a late reply cannot be taken
    // for the answer to this one (unless purge is false: a scale that talks by itself).
    bool SetReadTimeouts(bool purge = true);
    // Reads up to count bytes, taking what has arrived in one read and waiting for the rest
    // of the frame as long as the line needs to carry it; stops when a byte does not come
    // in time or at the exchange's deadline. A device error yields 0 whatever was stored
    // before.
    std::size_t ReadBytes(std::uint8_t* buffer, std::size_t count);
    // Text protocols: reads lines ending in LF (CR LF) until one is accepted, then also the
    // lines that have already arrived behind it, and gives the newest accepted line without
    // its line end. With skipPartial the bytes up to the first LF are dropped: after the
    // purge they may be the tail of a line. With carry the unfinished line at the end is
    // kept for the next exchange, which goes on with it (input that is never purged).
    // False when no accepted line came in time.
    bool ReadNewestLine(std::string& line, bool skipPartial,
                        const std::function<bool(const std::string&)>& accept, bool carry = false);
    // What GetWeight returns for a text line; a unit the counter cannot weigh in is
    // reported once, until a usable weight has come again.
    double ResultOf(const scales::LineReading& reading);
    bool WriteBytes(const std::uint8_t* data, std::size_t count);
    bool FlushOutput();

    // Sets m_nState after an exchange that read nothing usable: no answer when no byte came
    // at all, otherwise the state stays what the last good reply said.
    void NoReading();

    platform::CSerialPort m_hPort;
    bool m_bOpen = false;
    bool m_bAnswered = false; // set by the protocol; cleared when an exchange starts
    bool m_bAskCapacity = false;
    std::atomic<double> m_dCapacity{0.0};
    ScaleState m_nState = ScaleState::Unknown;

private:
    void ReportPortError(const QString& text);
    // Sleeps while count bytes come down the line (within the exchange's deadline).
    void AwaitBytes(std::size_t count) const;

    int RemainingMs() const;

    MessageHandler m_fnReport;
    QString m_strDevice; // the device last opened, as it was named (a COM<N> link or a path)
    unsigned m_nOpenedPort = 0;
    bool m_bKeepToLink = false;
    std::string m_strCarry;         // ReadNewestLine with carry: the unfinished line
    bool m_bCarryValid = false;     // m_strCarry starts at a line start
    bool m_bTimeoutFailing = false; // the time-out error was shown and has not cleared since
    bool m_bUnitRefused = false;
    std::size_t m_nBytesReceived = 0;
    // Of the running exchange; no limit until the first exchange starts one.
    std::chrono::steady_clock::time_point m_tpDeadline =
        std::chrono::steady_clock::time_point::max();
};
