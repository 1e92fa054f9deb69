#include "scales/textreplies.h"

#include <cstdint>
#include <string>

namespace scales {

namespace {

bool IsSpace(char c) {
    return c == ' ';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A cursor over one line.
struct Text {
    const char* p;
    std::size_t n;
    std::size_t i = 0;

    bool AtEnd() const { return i >= n; }
    char Peek() const { return i < n ? p[i] : '\0'; }
    std::size_t SkipSpaces() {
        const std::size_t from = i;
        while (i < n && IsSpace(p[i]))
            ++i;
        return i - from;
    }
};

// Digits with at most one decimal point; ten digits are more than any scale shows, and keep
// the integer exact.
bool ReadNumber(Text& t, double& value) {
    std::int64_t digits = 0;
    std::int64_t scale = 1;
    bool point = false;
    int count = 0;
    while (!t.AtEnd()) {
        const char c = t.Peek();
        if (c >= '0' && c <= '9') {
            if (++count > 10)
                return false;
            digits = digits * 10 + (c - '0');
            if (point)
                scale *= 10;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        ++t.i;
    }
    if (count == 0)
        return false;
    value = static_cast<double>(digits) / static_cast<double>(scale);
    return true;
}

// The weight and unit at the end of a line: an optional sign, spaces, the number, spaces,
// the unit, trailing spaces. Units other than g and kg that scales are known to send are
// refused by name; anything else is no line of ours (a cut "k" is no unit).
LineReading ReadWeightAndUnit(Text& t, bool stable) {
    LineReading r;
    bool negative = false;
    t.SkipSpaces();
    if (t.Peek() == '+' || t.Peek() == '-') {
        negative = t.Peek() == '-';
        ++t.i;
        t.SkipSpaces();
    }
    double value = 0.0;
    if (!ReadNumber(t, value))
        return r;
    t.SkipSpaces();
    std::string unit;
    while (!t.AtEnd() && IsLetter(t.Peek()) && unit.size() < 4)
        unit.push_back(Lower(t.p[t.i++]));
    t.SkipSpaces();
    if (!t.AtEnd() || unit.empty())
        return r;
    if (unit == "kg") {
    } else if (unit == "g") {
        value /= 1000.0;
    } else if (unit == "lb" || unit == "lbs" || unit == "oz") {
        r.kind = LineReading::Refused;
        r.strUnit = unit;
        return r;
    } else {
        return r;
    }
    r.kind = LineReading::Weight;
    // Only a stable weight on the pan is something to weigh; a moving or negative one (a
    // tare taken off) must never start a print.
    r.dKg = stable && !negative && value > 0.0 ? value : 0.0;
    r.state = stable ? SettledState(negative ? -value : value) : ScaleState::Moving;
    return r;
}

} // namespace

LineReading ParseMtSicsLine(const char* line, std::size_t size) {
    LineReading r;
    Text t{line, size};
    while (size > 0 && IsSpace(line[size - 1]))
        --size;
    t.n = size;
    if (size == 2 && line[0] == 'E' && (line[1] == 'S' || line[1] == 'T' || line[1] == 'L')) {
        r.kind = LineReading::Error;
        return r;
    }
    // The answer to SI and to S both begin with "S", a space and the status.
    if (size < 3 || line[0] != 'S' || line[1] != ' ')
        return r;
    const char status = line[2];
    t.i = 3;
    switch (status) {
    case 'S':
    case 'D':
        if (t.SkipSpaces() == 0)
            return r;
        return ReadWeightAndUnit(t, status == 'S');
    case 'I': // busy, or no stability within the scale's time-out
    case '+': // overload
    case '-': // underload
        if (!t.AtEnd() && !IsSpace(t.Peek()))
            return r;
        r.kind = LineReading::Weight;
        r.dKg = 0.0;
        r.state = status == '+'   ? ScaleState::Overload
                  : status == '-' ? ScaleState::Underload
                                  : ScaleState::Moving;
        return r;
    default:
        return r;
    }
}

double ParseMtSicsCapacity(const char* line, std::size_t size) {
    while (size > 0 && IsSpace(line[size - 1]))
        --size;
    static const char kHead[] = "I2 A ";
    const std::size_t head = sizeof kHead - 1;
    if (size < head + 2 || std::string(line, head) != kHead || line[size - 1] != '"')
        return 0.0;
    std::size_t begin = head;
    while (begin < size && IsSpace(line[begin]))
        ++begin;
    if (begin >= size - 1 || line[begin] != '"')
        return 0.0;
    // The text in the quotes ends with the capacity and its unit.
    std::size_t end = size - 1;
    std::size_t unitStart = end;
    while (unitStart > begin + 1 && IsLetter(line[unitStart - 1]))
        --unitStart;
    const std::string unit(line + unitStart, end - unitStart);
    std::size_t numberEnd = unitStart;
    while (numberEnd > begin + 1 && IsSpace(line[numberEnd - 1]))
        --numberEnd;
    std::size_t numberStart = numberEnd;
    while (numberStart > begin + 1 && line[numberStart - 1] != ' ' && line[numberStart - 1] != '"')
        --numberStart;
    Text t{line + numberStart, numberEnd - numberStart};
    double value = 0.0;
    if (!ReadNumber(t, value) || !t.AtEnd())
        return 0.0;
    if (unit == "kg")
        return value;
    if (unit == "g")
        return value / 1000.0;
    return 0.0;
}

LineReading ParseContinuousLine(const char* line, std::size_t size) {
    LineReading r;
    // State, an optional gross/net field, then the weight: at most three fields.
    std::size_t commas[2];
    int count = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (line[i] != ',')
            continue;
        if (count == 2)
            return r;
        commas[count++] = i;
    }
    if (count == 0 || commas[0] != 2)
        return r;
    const std::string state(line, 2);
    if (count == 2) {
        const std::string mode(line + 3, commas[1] - 3);
        if (mode != "GS" && mode != "NT")
            return r;
    }
    const std::size_t from = commas[count - 1] + 1;
    Text t{line + from, size - from};
    if (state == "OL") {
        r.kind = LineReading::Weight;
        r.dKg = 0.0;
        r.state = ScaleState::Overload;
        return r;
    }
    if (state != "ST" && state != "US")
        return r;
    return ReadWeightAndUnit(t, state == "ST");
}

} // namespace scales
