#include "scales/oka.h"

#include "scales/replyparsers.h"

using namespace scales;

double COka::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    SetReadTimeouts();
    std::uint8_t request[kOkaMessageSize] = {};
    request[17] = kOkaWeightCommand;
    if (!WriteBytes(request, sizeof request))
        return -1.0; // as if the reply had not come
    std::uint8_t reply[kOkaMessageSize];
    const std::size_t n = ReadBytes(reply, kOkaMessageSize);
    const double weight = ParseOkaReply(reply, n);
    m_bAnswered = weight != -1.0;
    if (m_bAnswered)
        m_nState = SettledState(weight);
    else
        NoReading();
    return weight;
}

std::array<std::uint8_t, 24> COka::PriceMessage(unsigned int nPrice) {
    std::array<std::uint8_t, kOkaPriceMessageSize> message{};
    message[17] = kOkaPriceCommand;
    unsigned int value = nPrice > 999999u ? 999999u : nPrice;
    // Units digit first.
    for (std::size_t i = 18; i < message.size(); ++i) {
        message[i] = static_cast<std::uint8_t>(value % 10);
        value /= 10;
    }
    return message;
}

void COka::SetPrice(unsigned int nPrice) {
    if (!m_bOpen)
        return;
    const auto message = PriceMessage(nPrice);
    // No acknowledgement exists; a price that does not get through only leaves the old one
    // on the display, so a failed write or flush is not reported.
    if (WriteBytes(message.data(), message.size()))
        FlushOutput();
}
