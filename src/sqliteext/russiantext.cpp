#include "russiantext.h"

#include <QChar>

namespace russiantext {

namespace {

constexpr char32_t kSmallIo = 0x0451; // ё
constexpr char32_t kSmallIe = 0x0435; // е
constexpr char32_t kReplacement = 0xFFFD;

bool IsWildcard(char32_t c) {
    return c == U'%' || c == U'_';
}

} // namespace

std::u32string Lower(const std::u32string& text) {
    std::u32string out(text.size(), 0);
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = QChar::toLower(text[i]);
    return out;
}

std::u32string Key(const std::u32string& text) {
    std::u32string out = Lower(text);
    for (char32_t& c : out)
        if (c == kSmallIo)
            c = kSmallIe;
    return out;
}

std::u32string PrefixKey(const std::u32string& pattern) {
    size_t n = 0;
    while (n < pattern.size() && !IsWildcard(pattern[n]))
        ++n;
    return Key(pattern.substr(0, n));
}

bool KeyAbove(std::u32string key, std::u32string& above) {
    while (!key.empty()) {
        char32_t& last = key.back();
        if (last < 0x10FFFF) {
            ++last;
            if (last >= 0xD800 && last <= 0xDFFF)
                last = 0xE000;
            above = key;
            return true;
        }
        key.pop_back();
    }
    return false;
}

bool Like(const std::u32string& pattern, const std::u32string& text) {
    const std::u32string p = Lower(pattern);
    const std::u32string t = Lower(text);
    // Greedy match that backs up to the last % only: linear for the patterns people type.
    size_t pi = 0, ti = 0;
    size_t starP = std::u32string::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == U'%') {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size() && (p[pi] == U'_' || p[pi] == t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    return pi == p.size();
}

std::u32string FromUtf8(const unsigned char* s, int bytes) {
    std::u32string out;
    out.reserve(static_cast<size_t>(bytes));
    int i = 0;
    while (i < bytes) {
        const unsigned char b = s[i];
        int extra = 0;
        char32_t c = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            c = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            c = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            c = b & 0x07;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (i + extra >= bytes) {
            // A sequence cut off by the end of the text.
            out.push_back(kReplacement);
            break;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

std::string ToUtf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char32_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

} // namespace russiantext
