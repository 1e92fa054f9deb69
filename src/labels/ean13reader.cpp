#include "labels/ean13reader.h"

#include "platform/rasterpage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace ean13 {

namespace {

// The widths of the four runs of each digit's code: L (odd parity) patterns; a G pattern
// is an L pattern reversed, an R pattern is an L pattern with dark and light swapped.
constexpr std::array<std::array<int, 4>, 10> kDigitRuns = {{
    {3, 2, 1, 1},
    {2, 2, 2, 1},
    {2, 1, 2, 2},
    {1, 4, 1, 1},
    {1, 1, 3, 2},
    {1, 2, 3, 1},
    {1, 1, 1, 4},
    {1, 3, 1, 2},
    {1, 2, 1, 3},
    {3, 1, 1, 2},
}};
// The parities of digits 2 to 7 that encode the first digit, one bit per digit (1: G).
constexpr std::array<int, 10> kFirstDigitParities = {0x00, 0x0B, 0x0D, 0x0E, 0x13,
                                                     0x19, 0x1C, 0x15, 0x16, 0x1A};
// Light modules a scanner wants before the start guard and after the end guard, less one dot
// for the rounding at the bars' edges. The image edge counts as light: the page around the
// area is white.
constexpr float kQuietZoneModules = 6;

// The module size of runs that match a guard pattern (all runs one module wide), 0 when they
// do not: each run may stray by half a module and half a dot.
float GuardModule(const int* runs, int n) {
    int total = 0;
    for (int i = 0; i < n; ++i)
        total += runs[i];
    if (total < n)
        return 0;
    const float module = float(total) / float(n);
    for (int i = 0; i < n; ++i)
        if (std::abs(float(runs[i]) - module) > module * 0.5f + 0.5f)
            return 0;
    return module;
}

// How far the four runs of a digit may stray from a code's module widths: each run by 0.7 of
// a module, all of them together by 0.48 of the digit's width.
constexpr float kMaxRunVariance = 0.7f;
constexpr float kMaxAverageVariance = 0.48f;
constexpr float kNoMatch = 1e9f;
// How much closer the best code must be than the next one: half a module, the tolerance of a
// guard's runs, over the seven modules of a digit in the units of Variance. Bars one dot wider
// at two dots a module lie exactly between two codes; at three dots a module two thirds of a
// module nearer the right one.
constexpr float kMinVarianceGap = 0.5f / 7;

// In single precision, as a scanner's decoder reckons: runs right at a limit fall the same way.
float Variance(const int* runs, const std::array<int, 4>& code) {
    const int total = runs[0] + runs[1] + runs[2] + runs[3];
    if (total < 7)
        return kNoMatch;
    const float module = float(total) / 7;
    float sum = 0;
    for (size_t i = 0; i < 4; ++i) {
        const float v = std::abs(float(runs[i]) - float(code[i]) * module);
        if (v > kMaxRunVariance * module)
            return kNoMatch;
        sum += v;
    }
    return sum / float(total);
}

// A row as alternating run widths, the first one light (possibly of width 0).
class Row {
public:
    explicit Row(std::vector<int> runs) : m_runs(std::move(runs)) {}

    // The thirteen digits of a symbol whose start guard is the dark run at index start;
    // empty when it does not decode there.
    QString DecodeAt(size_t start) const {
        const int* r = m_runs.data();
        const size_t n = m_runs.size();
        // Guard, 6 digits of 4 runs, middle guard of 5, 6 digits, guard.
        if (start + 3 + 24 + 5 + 24 + 3 > n)
            return QString();
        const float module = GuardModule(r + start, 3);
        if (module == 0 || !QuietBefore(start, module))
            return QString();
        QString digits(13, QLatin1Char('0'));
        size_t i = start + 3;
        int parities = 0;
        for (int d = 0; d < 6; ++d, i += 4) {
            bool g = false;
            const int digit = Digit(r + i, true, g);
            if (digit < 0)
                return QString();
            digits[1 + d] = QLatin1Char(char('0' + digit));
            parities = (parities << 1) | (g ? 1 : 0);
        }
        if (GuardModule(r + i, 5) == 0) // the middle guard starts light
            return QString();
        i += 5;
        for (int d = 0; d < 6; ++d, i += 4) {
            bool g = false;
            const int digit = Digit(r + i, false, g);
            if (digit < 0)
                return QString();
            digits[7 + d] = QLatin1Char(char('0' + digit));
        }
        const float endModule = GuardModule(r + i, 3);
        if (endModule == 0 || !QuietAfter(i + 2, endModule))
            return QString();
        int first = -1;
        for (int f = 0; f < 10; ++f)
            if (kFirstDigitParities[size_t(f)] == parities)
                first = f;
        if (first < 0)
            return QString();
        digits[0] = QLatin1Char(char('0' + first));
        return CheckDigitFits(digits) ? digits : QString();
    }

    size_t Size() const { return m_runs.size(); }

private:
    // A light run that reaches the image edge is quiet whatever its width.
    bool QuietBefore(size_t start, float module) const {
        return start == 1 || float(m_runs[start - 1]) >= kQuietZoneModules * module - 1;
    }
    bool QuietAfter(size_t last, float module) const {
        return last + 2 >= m_runs.size() ||
               float(m_runs[last + 1]) >= kQuietZoneModules * module - 1;
    }
    // The digit of four runs: the closest code, R codes on the right half, L and G codes on
    // the left. Runs about as close to a second code (within kMinVarianceGap of the closest)
    // give no digit: which of the two was printed cannot be told, and a guess could turn the
    // symbol into another valid number.
    static int Digit(const int* runs, bool left, bool& g) {
        float best = kNoMatch;
        float second = kNoMatch;
        int digit = -1;
        for (int k = 0; k < (left ? 20 : 10); ++k) {
            const std::array<int, 4>& l = kDigitRuns[size_t(k % 10)];
            const float v = Variance(runs, k < 10 ? l : std::array<int, 4>{l[3], l[2], l[1], l[0]});
            if (v < best) {
                second = best;
                best = v;
                digit = k % 10;
                g = k >= 10;
            } else if (v < second) {
                second = v;
            }
        }
        return best < kMaxAverageVariance && second - best >= kMinVarianceGap ? digit : -1;
    }
    static bool CheckDigitFits(const QString& digits) {
        int sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += (digits[i].unicode() - '0') * (i % 2 ? 3 : 1);
        return (10 - sum % 10) % 10 == digits[12].unicode() - '0';
    }

    std::vector<int> m_runs;
};

// The runs of one line of dots, light first; reversed reads it from the right.
std::vector<int> Runs(const uchar* dots, int width, bool reversed) {
    std::vector<int> runs{0};
    bool dark = false;
    for (int k = 0; k < width; ++k) {
        const int x = reversed ? width - 1 - k : k;
        const bool d = dots[x] < platform::kBlackThreshold;
        if (d != dark) {
            runs.push_back(0);
            dark = d;
        }
        ++runs.back();
    }
    return runs;
}

QString DecodeLine(const uchar* dots, int width) {
    for (bool reversed : {false, true}) {
        const Row row(Runs(dots, width, reversed));
        for (size_t start = 1; start < row.Size(); start += 2) {
            const QString digits = row.DecodeAt(start);
            if (!digits.isEmpty())
                return digits;
        }
    }
    return QString();
}

} // namespace

QString ReadSymbol(const QImage& image) {
    const QImage grey = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    const int h = grey.height();
    if (h == 0 || grey.width() == 0)
        return QString();
    const int step = std::max(1, h / 256);
    std::map<QString, int> seen;
    // Rows from the middle outwards, alternately below and above it.
    for (int k = 0;; ++k) {
        const int offset = (k + 1) / 2 * step;
        const int y = h / 2 + (k % 2 ? -offset : offset);
        if (y < 0 || y >= h) {
            if (offset > h / 2 + step)
                break;
            continue;
        }
        const QString digits = DecodeLine(grey.constScanLine(y), grey.width());
        if (!digits.isEmpty() && ++seen[digits] >= 2)
            return digits;
    }
    return QString();
}

} // namespace ean13
