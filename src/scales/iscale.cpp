#include "scales/iscale.h"

#include "platform/messages.h"

IScale::IScale() : m_fnReport([](const QString& text) { platform::ReportMessage(text); }) {}

IScale::~IScale() {
    m_hPort.Release();
}

bool IScale::Open() {
    if (m_nPortNumber == 0)
        return false;
    return OpenDevice(platform::SerialDeviceForPort(m_nPortNumber));
}

bool IScale::OpenDevice(const QString& device) {
    if (m_bOpen)
        Close();
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

void IScale::ReportPortError(const QString& text) {
    if (m_fnReport)
        m_fnReport(text);
}

bool IScale::SetReadTimeouts() {
    if (!m_bOpen)
        return false;
    if (!m_hPort.SetReadTimeouts()) {
        // A failing port fails every exchange, about ten times a second: one message for
        // the whole failure, another only after the port has worked again.
        if (!m_bTimeoutFailing)
            ReportPortError(QStringLiteral("Ошибка установки тайм-аута"));
        m_bTimeoutFailing = true;
        return false;
    }
    m_bTimeoutFailing = false;
    m_hPort.PurgeInput();
    return true;
}

std::size_t IScale::ReadBytes(std::uint8_t* buffer, std::size_t count) {
    if (!m_bOpen)
        return 0;
    std::size_t stored = 0;
    while (stored < count) {
        switch (m_hPort.ReadByte(buffer[stored], kByteTimeoutMs)) {
        case platform::ReadResult::Byte:
            ++stored;
            break;
        case platform::ReadResult::TimeOut:
            return stored;
        case platform::ReadResult::Error:
            return 0;
        }
    }
    return stored;
}

bool IScale::WriteBytes(const std::uint8_t* data, std::size_t count) {
    return m_bOpen && m_hPort.Write(data, count);
}

bool IScale::FlushOutput() {
    return m_bOpen && m_hPort.Flush();
}
