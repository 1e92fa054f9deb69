#include "scalefinder.h"

#include "platform/serialport.h"

#include <QRegularExpression>

#include <memory>

namespace {

QString LineText(const IScale& scale) {
    static const char parity[] = "NOEMS";
    const QString stop = scale.m_nStopBits == 0   ? QStringLiteral("1")
                         : scale.m_nStopBits == 1 ? QStringLiteral("1.5")
                                                  : QStringLiteral("2");
    return QStringLiteral("%1 %2%3%4")
        .arg(scale.m_nBaudRate)
        .arg(scale.m_nByteSize)
        .arg(QLatin1Char(parity[scale.m_nParity < 5 ? scale.m_nParity : 0]))
        .arg(stop);
}

} // namespace

CScaleFinder::CScaleFinder(std::function<void(const QString&)> progress)
    : m_fnProgress(std::move(progress)) {}

bool CScaleFinder::Try(const QString& device, const QString& protocol, int type,
                       const ScaleLine& line, int attempts, Found& found, bool& heardBytes,
                       QString* openError) {
    const std::unique_ptr<IScale> scale = CreateScale(type, 0, line);
    if (m_fnProgress)
        m_fnProgress(QStringLiteral("trying %1 at %2").arg(protocol, LineText(*scale)));
    if (!scale->OpenDevice(device)) {
        if (openError)
            *openError = QStringLiteral("cannot open %1").arg(device);
        return false;
    }
    heardBytes = false;
    for (int i = 0; i < attempts; ++i) {
        const double kg = scale->GetWeight();
        heardBytes = heardBytes || scale->BytesReceived() > 0;
        if (scale->Answered()) {
            found.strProtocol = protocol;
            found.nType = type;
            found.line = line;
            found.strLine = LineText(*scale);
            found.dWeight = kg;
            scale->Close();
            return true;
        }
    }
    scale->Close();
    return false;
}

bool CScaleFinder::Find(const QString& device, Found& found, QString* openError) {
    QString error;
    bool heard = false;
    // First listen: an indicator with continuous output talks by itself, and listening
    // sends it nothing. A port that stays quiet at one speed is quiet at every speed.
    if (Try(device, QStringLiteral("continuous"), kScaleContinuous, ScaleLine(), 1, found, heard,
            &error))
        return true;
    if (!error.isEmpty()) {
        if (openError)
            *openError = error;
        return false;
    }
    if (heard) {
        for (std::uint32_t baud : {4800u, 2400u, 19200u, 1200u}) {
            ScaleLine line;
            line.nBaudRate = baud;
            if (Try(device, QStringLiteral("continuous"), kScaleContinuous, line, 1, found, heard,
                    &error))
                return true;
        }
    }
    // Then ask, the protocols with the strictest answers first: a Massa-K reply is any two
    // bytes, so it comes last.
    const struct {
        const char* name;
        int type;
    } asked[] = {
        {"mtsics", kScaleMtSics}, {"cas", kScaleCas}, {"oka", kScaleOka}, {"massa", kScaleMassa}};
    for (const auto& p : asked) {
        if (Try(device, QLatin1String(p.name), p.type, ScaleLine(), 1, found, heard, &error))
            return true;
    }
    if (!error.isEmpty() && openError)
        *openError = error;
    return false;
}

QStringList CScaleFinder::IniLines(const Found& found, const QString& device) {
    // Every line the settings need, the line settings too, so that a counter reads the
    // scale exactly as it answered here.
    static const char kParity[] = "NOEMS";
    static const char* const kStop[] = {"1", "1.5", "2"};
    const std::unique_ptr<IScale> scale = CreateScale(found.nType, 1, found.line);
    QStringList lines{QStringLiteral("[Scale]")};
    const unsigned port = platform::PortForDevice(device);
    if (port != 0)
        lines << QStringLiteral("RS232Port=%1").arg(port);
    lines << QStringLiteral("Type=%1").arg(found.nType);
    if (scale) {
        lines << QStringLiteral("BaudRate=%1").arg(scale->m_nBaudRate);
        if (scale->m_nParity < 5)
            lines << QStringLiteral("Parity=%1").arg(QLatin1Char(kParity[scale->m_nParity]));
        lines << QStringLiteral("DataBits=%1").arg(scale->m_nByteSize);
        if (scale->m_nStopBits < 3)
            lines << QStringLiteral("StopBits=%1").arg(QLatin1String(kStop[scale->m_nStopBits]));
    }
    return lines;
}
