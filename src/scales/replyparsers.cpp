#include "scales/replyparsers.h"

namespace scales {

double ParseCasWeightText(const char* text, std::size_t size) {
    std::size_t i = 0;
    bool negative = false;
    if (i < size && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // At most seven characters reach here, so the digits fit an integer exactly and one
    // division gives the correctly rounded value.
    long long digits = 0;
    long long scale = 1;
    bool point = false;
    int count = 0;
    for (; i < size; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 17) // more than any weight text holds; keeps the integers exact
                break;
            digits = digits * 10 + (c - '0');
            if (point)
                scale *= 10;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return 0.0; // also keeps "-0.000" from showing as a negative zero
    const double value = static_cast<double>(digits) / static_cast<double>(scale);
    return negative ? -value : value;
}

double ParseCasRecord(const std::uint8_t* data, std::size_t size) {
    if (size < kCasRecordSize || data[0] != 0x01 || data[1] != 0x02 || data[13] != 0x03 ||
        data[14] != 0x04)
        return -1.0;
    std::uint8_t bcc = 0;
    for (std::size_t i = 2; i <= 11; ++i)
        bcc ^= data[i];
    if (bcc != data[12])
        return -1.0;
    if (data[2] != 0x53) // only a stable weight ('S') is used
        return 0.0;
    char text[7];
    std::size_t length = 0;
    for (std::size_t i = 3; i <= 9; ++i) {
        if (data[i] != 0x20)
            text[length++] = static_cast<char>(data[i]);
    }
    return ParseCasWeightText(text, length);
}

double ParseMassaReply(const std::uint8_t* data, std::size_t size) {
    if (size < kMassaReplySize)
        return -1.0;
    const unsigned grams = data[0] + 256u * data[1];
    if (grams & 0x8000u) // a negative weight
        return 0.0;
    return grams / 1000.0;
}

double ParseOkaReply(const std::uint8_t* data, std::size_t size) {
    if (size < kOkaMessageSize)
        return -1.0;
    unsigned grams = 0;
    for (std::size_t i = 6; i-- > 0;) {
        // A digit above 9 is a damaged reply; read as text it would turn 1234 g into 0 g
        // or 123 g, so it counts as no reading.
        if (data[i] > 9)
            return -1.0;
        grams = grams * 10 + data[i];
    }
    return grams / 1000.0;
}

} // namespace scales
