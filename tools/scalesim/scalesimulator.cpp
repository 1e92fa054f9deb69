// The scale's side of each protocol, on every platform; the line it speaks on is the
// platform's (scalesimulator_pty.cpp, scalesimulator_com.cpp).
#include "scalesimulator.h"

#include "platform/serialport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kDc1 = 0x11;

} // namespace

CScaleSimulator::CScaleSimulator(Protocol protocol)
    : m_protocol(protocol), m_nBaud(UsualBaudRate(protocol)) {}

CScaleSimulator::~CScaleSimulator() {
    Stop();
}

bool CScaleSimulator::ParseProtocol(const QString& name, Protocol& protocol) {
    if (name == QLatin1String("cas"))
        protocol = Protocol::Cas;
    else if (name == QLatin1String("massa"))
        protocol = Protocol::Massa;
    else if (name == QLatin1String("oka"))
        protocol = Protocol::Oka;
    else if (name == QLatin1String("mtsics"))
        protocol = Protocol::MtSics;
    else if (name == QLatin1String("continuous"))
        protocol = Protocol::Continuous;
    else
        return false;
    return true;
}

std::chrono::nanoseconds CScaleSimulator::ByteTime(Protocol protocol) {
    // start bit + 8 data bits + parity + stop bits, at the line speed of the protocol
    long long bits = 10;
    long long baud = 9600;
    switch (protocol) {
    case Protocol::Cas: // 8N1
        break;
    case Protocol::Massa: // 8E1
        bits = 11;
        baud = 4800;
        break;
    case Protocol::Oka: // 8E2
        bits = 12;
        baud = 4800;
        break;
    case Protocol::MtSics: // 8N1
    case Protocol::Continuous:
        break;
    }
    return std::chrono::nanoseconds(bits * 1000000000LL / baud);
}

int CScaleSimulator::UsualBaudRate(Protocol protocol) {
    return protocol == Protocol::Massa || protocol == Protocol::Oka ? 4800 : 9600;
}

std::chrono::nanoseconds CScaleSimulator::OwnByteTime() const {
    const auto usual = ByteTime(m_protocol);
    return usual * UsualBaudRate(m_protocol) / std::max(1, BaudRate());
}

QByteArray CScaleSimulator::TextLine(Protocol protocol, const Reading& reading,
                                     const Faults& faults) {
    const char status = reading.status ? reading.status : faults.cStatus;
    double value = reading.kg;
    if (faults.unit == "g")
        value *= 1000.0;
    const int decimals = faults.unit == "g" ? 0 : 3;
    QByteArray line;
    if (protocol == Protocol::MtSics) {
        switch (status) {
        case 'I':
        case '+':
        case '-':
            line = QByteArray("S ") + status;
            break;
        default: {
            const char shown = status == 'S' ? 'S' : 'D';
            const QByteArray number = QByteArray::number(value, 'f', decimals).rightJustified(10);
            line = QByteArray("S ") + shown + ' ' + number + ' ' +
                   QByteArray::fromStdString(faults.unit);
        }
        }
    } else {
        QByteArray state = "ST";
        if (status == '+' || status == '-')
            state = "OL";
        else if (status != 'S')
            state = "US";
        line = state + ',';
        if (faults.cMode)
            line += faults.cMode == 'N' ? "NT," : "GS,";
        const QByteArray number =
            QByteArray::number(std::fabs(value), 'f', decimals).rightJustified(9, '0');
        line += (value < 0 ? '-' : '+') + number + QByteArray::fromStdString(faults.unit);
    }
    return line + "\r\n";
}

QByteArray CScaleSimulator::WeightReply(Protocol protocol, double kg, const Faults& faults) {
    QByteArray reply;
    switch (protocol) {
    case Protocol::MtSics:
    case Protocol::Continuous:
        reply = TextLine(protocol, Reading{kg, 0}, faults);
        break;
    case Protocol::Cas: {
        QByteArray text;
        for (int decimals = 3; decimals >= 0; --decimals) {
            text = QByteArray::number(kg, 'f', decimals);
            if (text.size() <= 7)
                break;
        }
        text = text.left(7).rightJustified(7, ' ');
        reply = QByteArray("\x01\x02", 2) + faults.cStatus + text + "kg";
        char bcc = 0;
        for (int i = 2; i <= 11; ++i)
            bcc = static_cast<char>(bcc ^ reply[i]);
        if (faults.bWrongBcc)
            bcc = static_cast<char>(bcc ^ 0x01);
        reply += bcc;
        reply += QByteArray("\x03\x04", 2);
        break;
    }
    case Protocol::Massa: {
        // Two's complement in 16 bits: a negative weight has bit 15 set.
        const long long grams = std::clamp(std::llround(kg * 1000.0), -32768LL, 32767LL);
        const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(grams));
        reply.append(static_cast<char>(value & 0xFF));
        reply.append(static_cast<char>(value >> 8));
        break;
    }
    case Protocol::Oka: {
        long long grams = std::clamp(std::llround(kg * 1000.0), 0LL, 999999LL);
        reply = QByteArray(18, '\0');
        for (int i = 0; i < 6; ++i) {
            reply[i] = static_cast<char>(grams % 10);
            grams /= 10;
        }
        if (faults.nBadDigit >= 0 && faults.nBadDigit < 6)
            reply[faults.nBadDigit] = 10;
        break;
    }
    }
    return reply;
}

QByteArray CScaleSimulator::WeightReply(Protocol protocol, double kg) {
    return WeightReply(protocol, kg, Faults());
}

void CScaleSimulator::SetWeight(double kg) {
    SetWeights({kg});
}

void CScaleSimulator::SetWeights(const std::vector<double>& kgs) {
    std::vector<Reading> readings;
    for (double kg : kgs)
        readings.push_back({kg, 0});
    SetReadings(readings);
}

void CScaleSimulator::SetReadings(const std::vector<Reading>& readings) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readings = readings.empty() ? std::vector<Reading>{Reading()} : readings;
    m_timeline.clear();
}

void CScaleSimulator::SetTimeline(const std::vector<Step>& steps) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeline = steps;
    m_timelineStart = Clock::now();
    if (steps.empty())
        m_readings = {Reading()};
}

int CScaleSimulator::TimelineMs(const std::vector<Step>& steps) {
    int ms = 0;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i)
        ms += steps[i].nMs;
    return ms;
}

void CScaleSimulator::SetBaudRate(int baud) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nBaud = baud;
}

int CScaleSimulator::BaudRate() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nBaud;
}

void CScaleSimulator::SetFaults(const Faults& faults) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
}

void CScaleSimulator::SetPacing(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPacing = on;
}

void CScaleSimulator::SetHandshake(const QByteArray& answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handshake = answers;
}

void CScaleSimulator::SetReply(const QByteArray& reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reply = reply;
}

void CScaleSimulator::SetPriceCallback(std::function<void(unsigned int)> callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onPrice = std::move(callback);
}

QByteArray CScaleSimulator::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<unsigned int> CScaleSimulator::Prices() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_prices;
}

int CScaleSimulator::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nRequests;
}

bool CScaleSimulator::WaitForRequests(int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_nRequests >= count; });
}

bool CScaleSimulator::WaitForPrices(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_prices.size() >= count; });
}

void CScaleSimulator::Run() {
    while (!m_bStop.load()) {
        int timeoutMs = -1;
        if (m_protocol == Protocol::Continuous) {
            const Clock::time_point now = Clock::now();
            if (now >= m_nextLine) {
                SendContinuousLine();
                int period = 100;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    period = std::max(1, m_faults.nPeriodMs);
                }
                m_nextLine = std::max(m_nextLine + std::chrono::milliseconds(period), Clock::now());
                continue;
            }
            timeoutMs = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(m_nextLine - now).count() +
                1);
        }
        if (!m_trickle.isEmpty()) {
            const Clock::time_point now = Clock::now();
            if (now >= m_nextTrickle) {
                WriteLine(m_trickle.constData(), 1);
                m_trickle.remove(0, 1);
                int gapMs = 0;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    gapMs = m_faults.nByteGapMs;
                }
                m_nextTrickle = now + std::chrono::milliseconds(gapMs);
                continue;
            }
            const int untilByte = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(m_nextTrickle - now).count() +
                1);
            timeoutMs = timeoutMs < 0 ? untilByte : std::min(timeoutMs, untilByte);
        }
        std::uint8_t buf[256];
        const int n = ReadLine(buf, sizeof buf, timeoutMs);
        if (n < 0)
            return;
        const Clock::time_point arrival = Clock::now();
        // Bytes sent at another speed reach a UART as framing errors and noise.
        if (n > 0 && !HeardAtOurSpeed())
            continue;
        for (int i = 0; i < n && !m_bStop.load(); ++i)
            TakeByte(buf[i], arrival);
    }
}

void CScaleSimulator::TakeByte(std::uint8_t byte, Clock::time_point arrival) {
    bool pacing = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pacing = m_bPacing;
    }
    if (pacing) {
        // The byte has arrived only when its last bit has crossed the line, right after the
        // byte before it. Counting from the deadline, not from the wake-up, keeps the
        // lateness of each sleep from adding up.
        m_rxFree = std::max(m_rxFree, arrival) + OwnByteTime();
        std::this_thread::sleep_until(m_rxFree);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(static_cast<char>(byte));
    }
    m_changed.notify_all();

    switch (m_protocol) {
    case Protocol::Cas:
        if (byte == kEnq) {
            QByteArray answers;
            bool silent = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                silent = m_faults.bSilent;
                answers = m_handshake;
                if (answers.isEmpty())
                    answers = QByteArray(m_faults.nNaks, kNak) + kAck;
            }
            if (silent)
                return;
            const char answer = answers.at(m_nEnqInExchange % answers.size());
            if (++m_nEnqInExchange >= answers.size())
                m_nEnqInExchange = 0;
            Send(QByteArray(1, answer));
        } else if (byte == kDc1) {
            m_nEnqInExchange = 0;
            AnswerWeightRequest();
        }
        break;
    case Protocol::Massa:
        if (byte == 0x45)
            AnswerWeightRequest();
        break;
    case Protocol::Continuous:
        break; // it does not listen
    case Protocol::MtSics: {
        if (byte != '\n') {
            if (m_message.size() < 64)
                m_message.append(static_cast<char>(byte));
            break;
        }
        const QByteArray command = m_message.trimmed();
        m_message.clear();
        // Weight and identification; everything else is a syntax error to this scale.
        if (command == "SI" || command == "S")
            AnswerWeightRequest();
        else if (command == "I2")
            Send("I2 A \"Varnet-Sim 6.100 kg\"\r\n");
        else if (command == "I4")
            Send("I4 A \"0123456789\"\r\n");
        else
            Send("ES\r\n");
        break;
    }
    case Protocol::Oka: {
        m_message.append(static_cast<char>(byte));
        const int index = m_message.size() - 1;
        if (index < 17) {
            if (byte != 0) // every message starts with 17 zero bytes: resynchronise
                m_message.clear();
        } else if (index == 17) {
            if (byte == 0x03) {
                m_message.clear();
                AnswerWeightRequest();
            } else if (byte != 0x02) {
                m_message.clear();
            }
        } else if (index == 23) {
            unsigned int price = 0;
            for (int i = 23; i >= 18; --i)
                price = price * 10 + static_cast<std::uint8_t>(m_message[i]);
            m_message.clear();
            std::function<void(unsigned int)> callback;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_prices.push_back(price);
                callback = m_onPrice;
            }
            m_changed.notify_all();
            if (callback)
                callback(price);
        }
        break;
    }
    }
}

CScaleSimulator::Reading CScaleSimulator::NextReading() {
    if (!m_timeline.empty()) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_timelineStart);
        for (const Step& step : m_timeline) {
            if (left.count() < step.nMs)
                return step.reading;
            left -= std::chrono::milliseconds(step.nMs);
        }
        return m_timeline.back().reading;
    }
    const Reading reading = m_readings.front();
    if (m_readings.size() > 1)
        m_readings.erase(m_readings.begin());
    return reading;
}

void CScaleSimulator::SendContinuousLine() {
    QByteArray bytes;
    Faults faults;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nRequests;
        faults = m_faults;
        for (int i = 0; i < std::max(1, faults.nBurst); ++i) {
            if (faults.bGarbage)
                bytes += "\x7f#@ 12,,kgST\r\n";
            const Reading reading = NextReading();
            QByteArray line = m_reply.isEmpty() ? TextLine(m_protocol, reading, faults) : m_reply;
            if (faults.nCutAfter >= 0 && faults.nCutAfter < line.size())
                line.truncate(faults.nCutAfter); // the line stops half-way, no line end
            bytes += line;
        }
    }
    m_changed.notify_all();
    if (faults.bSilent)
        return;
    if (!HeardAtOurSpeed()) {
        // The opener listens at another speed: it receives noise, never a line end.
        for (char& c : bytes)
            c = static_cast<char>(0x80 | (static_cast<unsigned char>(c) >> 1));
    }
    Send(bytes);
}

void CScaleSimulator::AnswerWeightRequest() {
    QByteArray reply;
    Faults faults;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nRequests;
        faults = m_faults;
        if (m_protocol == Protocol::MtSics) {
            for (int i = 0; i < std::max(1, faults.nBurst); ++i) {
                if (faults.bGarbage)
                    reply += "\x7f#@ S X\r\n";
                const Reading reading = NextReading();
                reply += m_reply.isEmpty() ? TextLine(m_protocol, reading, faults) : m_reply;
            }
        } else {
            const Reading reading = NextReading();
            CScaleSimulator::Faults withStatus = faults;
            if (reading.status)
                withStatus.cStatus = reading.status;
            reply = m_reply.isEmpty() ? WeightReply(m_protocol, reading.kg, withStatus) : m_reply;
        }
    }
    m_changed.notify_all();
    if (faults.bSilent)
        return;
    if (faults.nCutAfter >= 0 && faults.nCutAfter < reply.size())
        reply.truncate(faults.nCutAfter);
    if (faults.nDelayMs > 0) {
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(faults.nDelayMs);
        while (!m_bStop.load() && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Send(reply);
}

void CScaleSimulator::Send(const QByteArray& bytes) {
    bool pacing = false;
    int gapMs = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pacing = m_bPacing;
        gapMs = m_faults.nByteGapMs;
    }
    if (gapMs > 0) {
        // Trickled out by Run(), which meanwhile goes on taking what the opener sends.
        if (m_trickle.isEmpty())
            m_nextTrickle = Clock::now() + std::chrono::milliseconds(gapMs);
        m_trickle += bytes;
        return;
    }
    if (!pacing) {
        WriteLine(bytes.constData(), int(bytes.size()));
        return;
    }
    m_txFree = std::max(m_txFree, Clock::now());
    for (const char byte : bytes) {
        if (m_bStop.load())
            return;
        // Each byte becomes readable when its last bit would have arrived.
        m_txFree += OwnByteTime();
        std::this_thread::sleep_until(m_txFree);
        WriteLine(&byte, 1);
    }
}
