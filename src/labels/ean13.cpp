#include "labels/ean13.h"

#include "labels/labelfont.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace ean13 {

namespace {
const char* const kSetA[10] = {"sssbbsb", "ssbbssb", "ssbssbb", "sbbbbsb", "sbsssbb",
                               "sbbsssb", "sbsbbbb", "sbbbsbb", "sbbsbbb", "sssbsbb"};
const char* const kSetB[10] = {"sbssbbb", "sbbssbb", "ssbbsbb", "sbssssb", "ssbbbsb",
                               "sbbbssb", "ssssbsb", "ssbsssb", "sssbssb", "ssbsbbb"};
const char* const kSetC[10] = {"bbbssbs", "bbssbbs", "bbsbbss", "bssssbs", "bsbbbss",
                               "bssbbbs", "bsbssss", "bsssbss", "bssbsss", "bbbsbss"};
const char* const kParity[10] = {"OOOOO", "OEOEE", "OEEOE", "OEEEO", "EOOEE",
                                 "EEOOE", "EEEOO", "EOEOE", "EOEEO", "EEOEO"};
const char kQuiet[] = "sssssssss";
const char kEdgeGuard[] = "bsb";
const char kCentreGuard[] = "sbsbs";

int Digit(const QString& digits, int i) {
    return digits.at(i).unicode() - '0';
}
} // namespace

bool IsValidDigits(const QString& digits) {
    if (digits.size() != 12)
        return false;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

int CheckDigit(const QString& digits) {
    if (!IsValidDigits(digits))
        return -1;
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += Digit(digits, i) * (i % 2 == 1 ? 3 : 1);
    return (10 - sum % 10) % 10;
}

QList<Run> ModuleRuns(const QString& digits) {
    QList<Run> runs;
    if (!IsValidDigits(digits))
        return runs;
    const char* parity = kParity[Digit(digits, 0)];
    runs.append({QString::fromLatin1(kQuiet), true});
    runs.append({QString::fromLatin1(kEdgeGuard), true});
    runs.append({QString::fromLatin1(kSetA[Digit(digits, 1)]), false});
    for (int i = 2; i <= 6; ++i) {
        const int d = Digit(digits, i);
        runs.append({QString::fromLatin1(parity[i - 2] == 'O' ? kSetA[d] : kSetB[d]), false});
    }
    runs.append({QString::fromLatin1(kCentreGuard), true});
    for (int i = 7; i <= 11; ++i)
        runs.append({QString::fromLatin1(kSetC[Digit(digits, i)]), false});
    runs.append({QString::fromLatin1(kSetC[CheckDigit(digits)]), false});
    runs.append({QString::fromLatin1(kEdgeGuard), true});
    runs.append({QString::fromLatin1(kQuiet), true});
    return runs;
}

QString ModulePattern(const QString& digits) {
    QString all;
    for (const Run& r : ModuleRuns(digits))
        all += r.pattern;
    return all;
}

} // namespace ean13

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long n = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (n < 0) != (c < 0);
    // Saturated, so that a caller may negate the result.
    const long long q = std::min((std::llabs(n) + half) / std::llabs(static_cast<long long>(c)),
                                 static_cast<long long>(INT_MAX));
    return static_cast<int>(negative ? -q : q);
}

QStringList CEAN13::HumanReadableTexts() const {
    if (!ean13::IsValidDigits(m_strDigits))
        return {};
    return {m_strDigits.left(1), m_strDigits.mid(1, 6),
            m_strDigits.mid(7, 5) + QString::number(CheckDigit())};
}

void CEAN13::DrawPattern(QPainter& painter, const QString& pattern, bool guard, int& p) const {
    const int m = m_nModule;
    const int h = m_nBarHeight + (guard ? m_nGuardExtension : 0);
    for (const QChar c : pattern) {
        const bool dark = c == QLatin1Char('b');
        switch (m_nAngle) {
        case 0:
            if (dark)
                painter.fillRect(QRect(p, m_nY, m, h), Qt::black);
            p += m;
            break;
        case 90:
            if (dark)
                painter.fillRect(QRect(m_nX, p, h, m), Qt::black);
            p -= m;
            break;
        case 180:
            if (dark)
                painter.fillRect(QRect(p - m, m_nY - h, m, h), Qt::black);
            p -= m;
            break;
        case 270:
            if (dark)
                painter.fillRect(QRect(m_nX - h, p, h, m), Qt::black);
            p += m;
            break;
        default:
            return;
        }
    }
}

int CEAN13::DigitsPixelSize(int dpiY) const {
    return std::clamp(MulDiv(9 * m_nModule, dpiY, 72), 1, labels::kMaxFontPixels);
}

void CEAN13::DrawText(QPainter& painter, const QString& text, int a, int dpiY) const {
    const int b = m_nBarHeight;
    QPoint ref;
    switch (m_nAngle) {
    case 0:
        ref = QPoint(m_nX + a, m_nY + b);
        break;
    case 90:
        ref = QPoint(m_nX + b, m_nY - a);
        break;
    case 180:
        ref = QPoint(m_nX - a, m_nY - b);
        break;
    default:
        ref = QPoint(m_nX - b, m_nY + a);
        break;
    }
    // "Arial" with a character height of 9 modules at the context's resolution and an
    // average character width of 5 modules.
    QFont font(QStringLiteral("Arial"));
    // Capped like every label font: no digit is larger than a page.
    font.setPixelSize(DigitsPixelSize(dpiY));
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    const QFontMetricsF fm(font);
    const qreal natural = labels::AverageCharWidth(font);
    const qreal scale = natural > 0 ? std::clamp(5.0 * m_nModule / natural, 0.01, 2.0) : 1;

    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.translate(ref);
    // Escapement turns counter-clockwise; the painter's y axis points down.
    painter.rotate(-m_nAngle);
    painter.scale(scale, 1);
    // Centred on the reference point along the text, hanging from it.
    painter.drawText(QPointF(-fm.horizontalAdvance(text) / 2, fm.ascent()), text);
    painter.restore();
}

QRect CEAN13::SymbolBounds() const {
    // The bars without the quiet zones (nine modules at each end), and the digits below.
    const int m = m_nModule;
    const int length = 95 * m;
    const int h = m_nBarHeight + std::max(m_nGuardExtension, m_nDigitsDepth);
    switch (m_nAngle) {
    case 0:
        return QRect(m_nX + 9 * m, m_nY, length, h);
    case 90:
        return QRect(m_nX, m_nY - 103 * m, h, length);
    case 180:
        return QRect(m_nX - 104 * m, m_nY - h, length, h);
    default:
        return QRect(m_nX - h, m_nY + 9 * m, h, length);
    }
}

void CEAN13::Draw(QPainter& painter, int dpiY) {
    if (!ean13::IsValidDigits(m_strDigits))
        return;
    if (m_nAngle != 0 && m_nAngle != 90 && m_nAngle != 180 && m_nAngle != 270)
        return;
    m_nGuardExtension = MulDiv(5 * m_nModule, dpiY, 72);
    m_nDigitsDepth = DigitsPixelSize(dpiY);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    int p = (m_nAngle == 90 || m_nAngle == 270) ? m_nY : m_nX;
    for (const ean13::Run& run : ean13::ModuleRuns(m_strDigits))
        DrawPattern(painter, run.pattern, run.guard, p);

    const QStringList texts = HumanReadableTexts();
    DrawText(painter, texts[0], (9 * m_nModule) / 2, dpiY);
    DrawText(painter, texts[1], 33 * m_nModule, dpiY);
    DrawText(painter, texts[2], 80 * m_nModule, dpiY);
    painter.restore();
}
