#include "scales/mtsics.h"

#include "scales/textreplies.h"

using namespace scales;

namespace {

// SI, not S: S waits for stability up to the scale's own time-out, which would hold the
// exchange; a weight that is still moving comes back as "S D" and is simply not posted yet.
const std::uint8_t kWeightNow[] = {'S', 'I', '\r', '\n'};

} // namespace

double CMtSics::GetWeight() {
    if (!m_bOpen)
        return 0.0;
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
