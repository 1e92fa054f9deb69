#include "scales/continuous.h"

#include "scales/textreplies.h"

using namespace scales;

double CContinuous::GetWeight() {
    if (!m_bOpen)
        return 0.0;
    // The purge at the start of the exchange drops every line that came in before it, so
    // a line read here is never older than this exchange; what arrives first may be the
    // tail of a line cut by the purge and is skipped up to its line end.
    SetReadTimeouts();
    std::string line;
    const bool read = ReadNewestLine(line, true, [](const std::string& l) {
        return ParseContinuousLine(l.data(), l.size()).kind != LineReading::Garbage;
    });
    if (!read)
        return -1.0;
    return ResultOf(ParseContinuousLine(line.data(), line.size()));
}
