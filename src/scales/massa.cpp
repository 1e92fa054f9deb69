#include "scales/massa.h"

#include "scales/replyparsers.h"

using namespace scales;

double CMassa::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    SetReadTimeouts();
    if (!WriteBytes(&kMassaRequest, 1))
        return -1.0; // as if the reply had not come
    std::uint8_t reply[kMassaReplySize];
    const std::size_t n = ReadBytes(reply, kMassaReplySize);
    m_bAnswered = n == kMassaReplySize;
    const double weight = ParseMassaReply(reply, n);
    if (!m_bAnswered)
        NoReading();
    else
        m_nState = (reply[1] & 0x80) ? ScaleState::Underload : SettledState(weight);
    return weight;
}
