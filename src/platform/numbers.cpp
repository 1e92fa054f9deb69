#include "platform/numbers.h"

#include <cmath>
#include <limits>

namespace platform {

namespace {
qsizetype SkipSpace(const QString& t, qsizetype i) {
    while (i < t.size() && t[i].isSpace())
        ++i;
    return i;
}
bool IsDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}
} // namespace

double ParseLeadingDouble(const QString& text) {
    qsizetype i = SkipSpace(text, 0);
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    qsizetype digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    // Exponents are part of the standard conversion ("1e3" reads 1000).
    qsizetype end = i;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+')))
            ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j]))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

int64_t ParseLeadingInt(const QString& text) {
    qsizetype i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    uint64_t n = 0;
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        n = n * 10 + static_cast<uint64_t>(text[i].unicode() - '0');
        if (n > limit)
            n = limit;
    }
    return negative ? -static_cast<int64_t>(n) : static_cast<int64_t>(n);
}

uint64_t ParseLeadingUInt(const QString& text) {
    qsizetype i = SkipSpace(text, 0);
    uint64_t n = 0;
    const uint64_t max = std::numeric_limits<uint64_t>::max();
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const auto d = static_cast<uint64_t>(text[i].unicode() - '0');
        n = n > (max - d) / 10 ? max : n * 10 + d;
    }
    return n;
}

QString FormatFixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString FormatShort(double value, int decimals) {
    QString text = FormatFixed(value, decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

long long MoneyUnits(double amount, bool penny) {
    const double units = amount * (penny ? 100.0 : 1.0);
    return std::llround(std::round(units * 1e6) / 1e6);
}

QString FormatMoney(double amount, bool penny) {
    // Beyond what a long long holds in millionths no counter's money goes; printf's figure.
    if (!std::isfinite(amount) || std::fabs(amount) >= 1e12)
        return FormatFixed(amount, penny ? 2 : 0);
    const long long units = MoneyUnits(amount, penny);
    const unsigned long long magnitude =
        units < 0 ? 0ULL - static_cast<unsigned long long>(units) : units;
    QString text = units < 0 ? QStringLiteral("-") : QString();
    if (!penny)
        return text + QString::number(magnitude);
    return text + QString::number(magnitude / 100) + QLatin1Char('.') +
           QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace platform
