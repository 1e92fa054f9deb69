#include "scales/continuous.h"

#include "scales/textreplies.h"

using namespace scales;

double CContinuous::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    // The indicator talks by itself, so nothing is purged: the newest whole line that has
    // come in since the last exchange is taken at once, and a line still arriving is waited
    // for. The poller's pause then costs nothing, and every line period gives a weight.
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
