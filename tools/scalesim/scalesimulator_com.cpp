// The simulated scale's line on Windows: a COM port, one end of a null-modem pair (two ports
// joined by a cable, or a virtual pair); the program opens the other end. The port is set to
// the simulated scale's speed and framing, so an opener at another speed hears noise, as from
// a real scale.
#include "scalesimulator.h"

#include "platform/serialport.h"

#include <algorithm>

namespace {

// The line settings of the simulated scale: its protocol's framing at its own speed.
platform::SerialLineSettings LineOf(CScaleSimulator::Protocol protocol, int baud) {
    platform::SerialLineSettings line;
    line.nBaudRate = std::uint32_t(baud);
    if (protocol == CScaleSimulator::Protocol::Massa) {
        line.nParity = 2; // even
    } else if (protocol == CScaleSimulator::Protocol::Oka) {
        line.nParity = 2;
        line.nStopBits = 2; // two
    }
    return line;
}

} // namespace

bool CScaleSimulator::Start(QString* error) {
    if (m_strGivenDevice.isEmpty()) {
        if (error)
            *error = QStringLiteral("give the COM port to answer on: --device COM<N>");
        return false;
    }
    m_strDevice = m_strGivenDevice.startsWith(QLatin1String("\\\\.\\"))
                      ? m_strGivenDevice
                      : QStringLiteral("\\\\.\\") + m_strGivenDevice;
    m_port = std::make_unique<platform::CSerialPort>();
    if (m_port->Open(m_strDevice, LineOf(m_protocol, BaudRate())) != platform::SerialError::None) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_strGivenDevice,
                                                  platform::PortErrorReason(m_port->LastErrno()));
        m_port.reset();
        return false;
    }
    m_nextLine = Clock::now();
    m_bStop.store(false);
    m_rxFree = m_txFree = Clock::now();
    m_thread = std::thread(&CScaleSimulator::Run, this);
    return true;
}

void CScaleSimulator::Stop() {
    if (m_thread.joinable()) {
        m_bStop.store(true); // the reader looks at it at least every 50 ms
        m_thread.join();
    }
    if (m_port)
        m_port->Close();
    m_port.reset();
}

bool CScaleSimulator::LinkAs(const QString&, QString* error) {
    if (error)
        *error = QStringLiteral("a COM port needs no link");
    return false;
}

// The port runs at the simulated scale's speed: the opener's is not known here.
bool CScaleSimulator::HeardAtOurSpeed() const {
    return true;
}

bool CScaleSimulator::LineSettings(termios&) const {
    return false;
}

bool CScaleSimulator::SetLineSettings(const termios&) {
    return false;
}

int CScaleSimulator::ReadLine(std::uint8_t* buffer, int capacity, int timeoutMs) {
    if (m_bStop.load() || !m_port)
        return -1;
    // Short waits, so that a stop is seen soon.
    const int wait = timeoutMs < 0 ? 50 : std::min(timeoutMs, 50);
    std::size_t count = 0;
    switch (m_port->ReadAvailable(buffer, std::size_t(capacity), count, std::max(wait, 1))) {
    case platform::ReadResult::Byte:
        return int(count);
    case platform::ReadResult::TimeOut:
        return 0;
    default:
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    }
}

void CScaleSimulator::WriteLine(const char* bytes, int count) {
    if (m_port)
        m_port->Write(reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(count));
}
