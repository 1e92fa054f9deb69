#include "scales/continuous.h"

#include "scales/textreplies.h"

using namespace scales;

double CContinuous::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    // The indicator talks by itself, so nothing is purged: lines that came in while the port
    // was not read are old and dropped, the line still arriving is kept and waited for, and
    // the poller asks again at once. Every line period gives a weight, never an old one.
    // Only the first exchange after opening may begin in the middle of a line; its bytes up
    // to the first line end are skipped.
    SetReadTimeouts(false);
    std::string line;
    const bool read = ReadNewestLine(
        line, true,
        [](const std::string& l) {
            return ParseContinuousLine(l.data(), l.size()).kind != LineReading::Garbage;
        },
        true);
    if (!read) {
        NoReading();
        return -1.0;
    }
    return ResultOf(ParseContinuousLine(line.data(), line.size()));
}
