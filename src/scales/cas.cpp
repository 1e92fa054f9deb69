#include "scales/cas.h"

#include "scales/replyparsers.h"

using namespace scales;

double CCas::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    SetReadTimeouts();
    // A busy scale answers NAK; it is asked again, at most four times in all.
    bool acknowledged = false;
    const auto unanswered = [this] {
        NoReading();
        return 0.0; // as if the scale had not answered
    };
    for (int attempt = 0; attempt < kCasMaxEnq && !acknowledged; ++attempt) {
        if (!WriteBytes(&kCasEnq, 1))
            return unanswered();
        std::uint8_t answer = 0;
        if (ReadBytes(&answer, 1) != 1)
            return unanswered();
        if (answer == kCasAck)
            acknowledged = true;
        else if (answer != kCasNak)
            return 0.0;
    }
    if (!acknowledged) {
        m_nState = ScaleState::Moving; // busy all four times
        return 0.0;
    }
    if (!WriteBytes(&kCasDc1, 1))
        return -1.0; // as if the record had not come
    std::uint8_t record[kCasRecordSize];
    const std::size_t n = ReadBytes(record, kCasRecordSize);
    const double weight = ParseCasRecord(record, n);
    m_bAnswered = weight != -1.0;
    if (m_bAnswered) {
        // Only 'S' is a settled weight; the other states read as nothing to weigh.
        m_nState = record[2] == 0x53 ? SettledState(weight) : ScaleState::Moving;
    }
    return weight;
}
