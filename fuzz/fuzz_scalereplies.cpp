// Fuzz target: the replies of the three scale protocols. Any bytes must give one of the
// results an exchange can return, never a crash, an overflow or a weight out of range.
#include "scales/replyparsers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const double cas = scales::ParseCasRecord(data, size);
    // Seven characters of text: at most 9999999 either way.
    Check(std::isfinite(cas) && std::fabs(cas) <= 9999999.0);
    if (size < scales::kCasRecordSize)
        Check(cas == -1.0);

    const double massa = scales::ParseMassaReply(data, size);
    Check(massa == -1.0 || (massa >= 0.0 && massa <= 32.767));

    const double oka = scales::ParseOkaReply(data, size);
    Check(oka == -1.0 || (oka >= 0.0 && oka <= 999.999));

    const double text = scales::ParseCasWeightText(reinterpret_cast<const char*>(data), size);
    Check(std::isfinite(text));
    return 0;
}
