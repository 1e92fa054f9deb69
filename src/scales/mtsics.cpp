#include "scales/mtsics.h"

#include "scales/textreplies.h"

using namespace scales;

namespace {

// SI, not S: S waits for stability up to the scale's own time-out, which would hold the
// exchange; a weight that is still moving comes back as "S D" and is simply not posted yet.
const std::uint8_t kWeightNow[] = {'S', 'I', '\r', '\n'};

const std::uint8_t kTypeAndCapacity[] = {'I', '2', '\r', '\n'};

} // namespace

void CMtSics::ReadCapacity() {
    SetReadTimeouts();
    if (!WriteBytes(kTypeAndCapacity, sizeof kTypeAndCapacity))
        return;
    std::string line;
    // Its answer, or the scale's word that it has none (ES, ET, EL).
    const auto answer = [](const std::string& l) {
        return l.rfind("I2 ", 0) == 0 ||
               ParseMtSicsLine(l.data(), l.size()).kind == LineReading::Error;
    };
    if (ReadNewestLine(line, false, answer))
        m_dCapacity.store(ParseMtSicsCapacity(line.data(), line.size()));
}

double CMtSics::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    if (m_bAskCapacity) {
        m_bAskCapacity = false;
        ReadCapacity();
    }
    SetReadTimeouts();
    if (!WriteBytes(kWeightNow, sizeof kWeightNow))
        return -1.0; // as if the answer had not come
    std::string line;
    const bool answered = ReadNewestLine(line, false, [](const std::string& l) {
        return ParseMtSicsLine(l.data(), l.size()).kind != LineReading::Garbage;
    });
    if (!answered) {
        NoReading();
        return -1.0;
    }
    return ResultOf(ParseMtSicsLine(line.data(), line.size()));
}
