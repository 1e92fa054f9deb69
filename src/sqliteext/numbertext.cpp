#include "numbertext.h"

#include <cmath>

namespace russiantext {

namespace {

// Whether the decimal digits of whole begin with the digits of prefix (n of them).
bool StartsWith(unsigned long long whole, unsigned long long prefix, int n) {
    int digits = 1;
    for (unsigned long long w = whole; w >= 10; w /= 10)
        ++digits;
    if (digits < n)
        return false;
    for (int i = digits; i > n; --i)
        whole /= 10;
    return whole == prefix;
}

} // namespace

bool NumberTextMayMatch(const std::u32string& pattern, double value) {
    std::string digits;
    for (char32_t c : pattern) {
        if (c < U'0' || c > U'9')
            break;
        digits.push_back(static_cast<char>(c));
    }
    return NumberTextMayMatch(reinterpret_cast<const unsigned char*>(digits.data()),
                              static_cast<int>(digits.size()), value);
}

bool NumberTextMayMatch(const unsigned char* pattern, int bytes, double value) {
    unsigned long long prefix = 0;
    int n = 0;
    for (int i = 0; i < bytes && pattern[i] >= '0' && pattern[i] <= '9'; ++i) {
        if (++n > 15)
            return true; // longer than any integer part tested here
        prefix = prefix * 10 + static_cast<unsigned long long>(pattern[i] - '0');
    }
    if (n == 0 || std::isnan(value))
        return true;
    if (value < 0)
        return false; // the text starts with "-"
    if (value < 1 || value >= 1e15)
        return true; // "0.5", "5.0e-05", "1.0e+15": left to LIKE
    // The text is the integer part, a point and the rest, written with 15 significant
    // digits, which may carry into the integer part (999.99999999999994 is "1000.0", and
    // with 10 or more integer digits a half carries): then the next integer is tried too.
    const double whole = std::floor(value);
    const double fraction = value - whole;
    const auto integer = static_cast<unsigned long long>(whole);
    if (StartsWith(integer, prefix, n))
        return true;
    const bool carries = fraction >= 1.0 - 1e-6 || (whole >= 1e9 && fraction >= 0.5);
    return carries && StartsWith(integer + 1, prefix, n);
}

bool PricePrefix(const unsigned char* pattern, int bytes, double* prefix) {
    if (bytes < 2 || bytes > 16 || pattern[bytes - 1] != '%' || pattern[0] < '1' ||
        pattern[0] > '9')
        return false;
    double value = 0;
    for (int i = 0; i < bytes - 1; ++i) {
        if (pattern[i] < '0' || pattern[i] > '9')
            return false;
        value = value * 10 + (pattern[i] - '0');
    }
    *prefix = value;
    return true;
}

} // namespace russiantext
