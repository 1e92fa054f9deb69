#include "scales/iscale.h"

#include "platform/messages.h"

#include <algorithm>
#include <cerrno>
#include <thread>

IScale::IScale() : m_fnReport([](const QString& text) { platform::ReportMessage(text); }) {}

IScale::~IScale() {
    m_hPort.Release();
}

bool IScale::Open() {
    if (m_nPortNumber == 0)
        return false;
    // A link that vanished (the device unplugged, a simulator restarting) is the same port
    // gone, not a port that never had a link: the scale waits for it to come back rather
    // than open whatever /dev/ttyS<N-1> is.
    if (!m_bKeepToLink && platform::SerialPortLinkExists(m_nPortNumber))
        m_bKeepToLink = true;
    return OpenDevice(m_bKeepToLink ? platform::SerialPortLink(m_nPortNumber)
                                    : platform::SerialDeviceForPort(m_nPortNumber));
}

bool IScale::OpenDevice(const QString& device) {
    if (m_bOpen)
        Close();
    // Named here so that a failure names the device it was about.
    m_strDevice = device;
    m_nOpenedPort = device == platform::SerialDeviceForPort(m_nPortNumber) ||
                            device == platform::SerialPortLink(m_nPortNumber)
                        ? m_nPortNumber
                        : 0;
    m_nState = ScaleState::Unknown;
    m_strCarry.clear();
    m_bCarryValid = false;
    platform::SerialLineSettings line;
    line.nBaudRate = m_nBaudRate;
    line.nByteSize = m_nByteSize;
    line.nParity = m_nParity;
    line.nStopBits = m_nStopBits;
    line.nFlowControl = m_nFlowControl;
    switch (m_hPort.Open(device, line)) {
    case platform::SerialError::None:
        m_bOpen = true;
        m_bTimeoutFailing = false;
        return true;
    case platform::SerialError::Open:
        ReportPortError(QStringLiteral("Ошибка открытия порта"));
        return false;
    case platform::SerialError::Buffers:
        ReportPortError(QStringLiteral("Ошибка установки буферов чтения/записи"));
        return false;
    case platform::SerialError::GetSettings:
        ReportPortError(QStringLiteral("Ошибка получения установок порта"));
        return false;
    case platform::SerialError::Init:
        ReportPortError(QStringLiteral("Ошибка инициализации порта"));
        return false;
    case platform::SerialError::Purge:
        ReportPortError(QStringLiteral("Ошибка очистки порта"));
        return false;
    }
    return false;
}

void IScale::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    m_hPort.Close();
}

void IScale::SetMessageHandler(MessageHandler handler) {
    m_fnReport = std::move(handler);
}

QString IScale::PortName() const {
    return platform::PortDisplayName(m_nOpenedPort, m_strDevice);
}

void IScale::ReportPortError(const QString& text) {
    if (!m_fnReport)
        return;
    // "Ошибка открытия порта COM3 (/dev/ttyUSB0): нет такого устройства": the step, the
    // port with its device, and the system's reason.
    QString message = text;
    message +=
        text.endsWith(QStringLiteral("порта")) ? QStringLiteral(" ") : QStringLiteral(" порта ");
    message += PortName();
    if (const int err = m_hPort.LastErrno(); err != 0)
        message += QStringLiteral(": ") + platform::PortErrorReason(err, m_strDevice);
    m_fnReport(message);
}

QString IScale::LostPortMessage() const {
    const int err = m_hPort.LastErrno() != 0 ? m_hPort.LastErrno() : EIO;
    return QStringLiteral("Порт %1 отключён: %2")
        .arg(PortName(), platform::PortErrorReason(err, m_strDevice));
}

void IScale::NoReading() {
    if (m_nBytesReceived == 0)
        m_nState = ScaleState::NoAnswer;
}

std::chrono::nanoseconds IScale::ByteTime() const {
    const long long bits = 1 + m_nByteSize + (m_nParity != 0 ? 1 : 0) + (m_nStopBits == 0 ? 1 : 2);
    const long long baud = m_nBaudRate > 0 ? m_nBaudRate : 9600;
    return std::chrono::nanoseconds(bits * 1000000000LL / baud);
}

int IScale::ExchangeDeadlineMs() const {
    const auto wire = ByteTime() * static_cast<long long>(ExchangeBytes());
    const long long wireMs = std::chrono::duration_cast<std::chrono::milliseconds>(wire).count();
    return kByteTimeoutMs + static_cast<int>(wireMs + wireMs / 2) + 30;
}

int IScale::RemainingMs() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_tpDeadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
}

double IScale::ResultOf(const scales::LineReading& reading) {
    if (reading.kind == scales::LineReading::Refused) {
        // The scale is set up wrongly and stays so until someone mends it: one message,
        // another only after it has sent a usable weight again.
        if (!m_bUnitRefused && m_fnReport)
            m_fnReport(
                QStringLiteral("Весы передают вес в единицах \"%1\". Установите на весах кг или г.")
                    .arg(QString::fromStdString(reading.strUnit)));
        m_bUnitRefused = true;
    } else if (reading.kind == scales::LineReading::Weight) {
        m_bUnitRefused = false;
        m_nState = reading.state;
    }
    return reading.Result();
}

bool IScale::SetReadTimeouts(bool purge) {
    if (!m_bOpen)
        return false;
    m_tpDeadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ExchangeDeadlineMs());
    m_bAnswered = false;
    m_nBytesReceived = 0;
    if (!m_hPort.SetReadTimeouts()) {
        // A failing port fails every exchange, about ten times a second: one message for
        // the whole failure, another only after the port has worked again.
        if (!m_bTimeoutFailing)
            ReportPortError(QStringLiteral("Ошибка установки тайм-аута"));
        m_bTimeoutFailing = true;
        return false;
    }
    m_bTimeoutFailing = false;
    if (purge)
        m_hPort.PurgeInput();
    return true;
}

void IScale::AwaitBytes(std::size_t count) const {
    // One byte time more, so that the last of them has surely arrived; never past the
    // exchange's deadline.
    const auto wire = ByteTime() * static_cast<long long>(count + 1);
    const auto left = std::chrono::milliseconds(RemainingMs());
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(wire, left));
}

std::size_t IScale::ReadBytes(std::uint8_t* buffer, std::size_t count) {
    if (!m_bOpen)
        return 0;
    std::size_t stored = 0;
    while (stored < count) {
        const int waitMs = std::min(kByteTimeoutMs, RemainingMs());
        if (waitMs <= 0)
            return stored;
        // What has come, never more than the frame: a byte behind it is no part of this reply.
        std::size_t got = 0;
        switch (m_hPort.ReadAvailable(buffer + stored, count - stored, got, waitMs)) {
        case platform::ReadResult::Byte:
            stored += got;
            m_nBytesReceived += got;
            break;
        case platform::ReadResult::TimeOut:
            return stored;
        case platform::ReadResult::Error:
            return 0;
        }
        // The rest of the frame is on its way: it is taken in one read once the line has had
        // time to carry it, instead of waking the thread for every byte.
        if (stored < count)
            AwaitBytes(count - stored);
    }
    return stored;
}

bool IScale::ReadNewestLine(std::string& line, bool skipPartial,
                            const std::function<bool(const std::string&)>& accept, bool carry) {
    if (!m_bOpen)
        return false;
    // A line of these protocols is about twenty characters; anything much longer is noise
    // and is dropped up to its line end.
    constexpr std::size_t kUsualLine = 20;
    constexpr std::size_t kLongestLine = 80;
    std::string current;
    bool overlong = false;
    bool dropping = false;
    bool first = true;
    // With carry the exchange first takes what is already there without waiting: whole
    // lines in it are old (the port was not read meanwhile) and are dropped; the line still
    // arriving is kept, and its end is what the exchange waits for.
    bool draining = carry;
    bool drainedLineEnd = false;
    if (carry && m_bCarryValid) {
        // Goes on with the line the last exchange left unfinished.
        current.swap(m_strCarry);
        skipPartial = false;
    }
    const bool startKnown = !carry || m_bCarryValid;
    m_strCarry.clear();
    m_bCarryValid = false;
    const auto keep = [&](bool result) {
        if (carry && !dropping && !overlong) {
            m_strCarry = current;
            m_bCarryValid = true;
        }
        return result;
    };
    bool found = false;
    std::uint8_t chunk[256];
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        // Once an accepted line is there, only what has already arrived behind it counts.
        const int left = RemainingMs();
        if (left <= 0)
            return keep(found); // a stream without pauses must not hold the exchange longer
        const int waitMs = found || draining ? 0 : std::min(kByteTimeoutMs, left);
        std::size_t n = 0;
        const platform::ReadResult r = m_hPort.ReadAvailable(chunk, sizeof chunk, n, waitMs);
        if (r == platform::ReadResult::Error)
            return false;
        if (r == platform::ReadResult::TimeOut) {
            if (!draining)
                return keep(found);
            // Bytes of a line whose start was never seen (the first exchange after opening)
            // are the tail of a cut line.
            draining = false;
            if (!startKnown && !drainedLineEnd && !current.empty())
                dropping = true;
            first = false;
            continue;
        }
        m_nBytesReceived += n;
        if (first && skipPartial && !carry) {
            // Only bytes that were already on their way when the exchange began can be the
            // tail of a cut line; a line that starts after a pause is whole.
            const auto quick = 2 * ByteTime() + std::chrono::milliseconds(5);
            dropping = std::chrono::steady_clock::now() - start <= quick;
        }
        first = false;
        for (std::size_t i = 0; i < n; ++i) {
            const char c = static_cast<char>(chunk[i]);
            if (c != '\n') {
                if (current.size() < kLongestLine)
                    current.push_back(c);
                else
                    overlong = true;
                continue;
            }
            if (!current.empty() && current.back() == '\r')
                current.pop_back();
            if (draining)
                drainedLineEnd = true;
            if (!draining && !dropping && !overlong && accept(current)) {
                line = current;
                found = true;
                m_bAnswered = true;
            }
            dropping = false;
            overlong = false;
            current.clear();
        }
        // A line has begun and not ended: the rest of a usual line is waited for on the wire
        // and then read at once, instead of waking the thread for every byte.
        if (!found && !draining && !current.empty())
            AwaitBytes(kUsualLine > current.size() ? kUsualLine - current.size() : 1);
    }
}

bool IScale::WriteBytes(const std::uint8_t* data, std::size_t count) {
    return m_bOpen && m_hPort.Write(data, count);
}

bool IScale::FlushOutput() {
    return m_bOpen && m_hPort.Flush();
}
