// Fuzz target: the replies of the scale protocols. Any bytes must give one of the results an
// exchange can return, never a crash, an overflow or a weight out of range.
#include "scales/replyparsers.h"
#include "scales/textreplies.h"

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

    const char* chars = reinterpret_cast<const char*>(data);
    const double text = scales::ParseCasWeightText(chars, size);
    Check(std::isfinite(text));

    // The text lines: a weight is finite and never negative (a negative or moving weight
    // is nothing to weigh), every other kind is no reading, and a refused unit is named.
    for (const scales::LineReading& r :
         {scales::ParseMtSicsLine(chars, size), scales::ParseContinuousLine(chars, size)}) {
        const double kg = r.Result();
        if (r.kind == scales::LineReading::Weight)
            Check(std::isfinite(kg) && kg >= 0.0 && kg < 1e10);
        else
            Check(kg == -1.0);
        Check((r.kind == scales::LineReading::Refused) == !r.strUnit.empty());
    }
    // A capacity is a weight too: finite and never negative (0 for none).
    const double capacity = scales::ParseMtSicsCapacity(chars, size);
    Check(std::isfinite(capacity) && capacity >= 0.0 && capacity < 1e10);
    return 0;
}
