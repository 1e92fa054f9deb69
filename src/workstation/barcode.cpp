#include "workstation/barcode.h"

#include "platform/numbers.h"

#include <cmath>

BarcodeResult ComposeBarcode(const AppSettings& settings, uint64_t code, bool weighed,
                             double value) {
    const QString mask = weighed ? settings.WBarCodeMask : settings.QBarCodeMask;
    const QString kindOfMask = weighed ? QStringLiteral("весовой") : QStringLiteral("штучной");
    if (mask.size() != 12)
        return {0, weighed ? QStringLiteral("Неверная маска весового штрих-кода")
                           : QStringLiteral("Неверная маска штучного штрих-кода")};

    const QString codeText = QString::number(code);
    const double scaled = weighed ? value * 1000.0 : value;
    const QString valueText = platform::FormatFixed(scaled, 0);
    const QChar valueLetter = weighed ? QLatin1Char('W') : QLatin1Char('Q');
    const int nP = static_cast<int>(mask.count(QLatin1Char('P')));
    const int nV = static_cast<int>(mask.count(valueLetter));

    if (codeText.size() > nP)
        return {0, QStringLiteral("Неверный штрих-код для заданной %1 маски").arg(kindOfMask)};
    // A negative weight (a scale below its zero) has no digits to carry.
    if (valueText.size() > nV || !std::isfinite(scaled) || valueText.startsWith(QLatin1Char('-')))
        return {0, QStringLiteral("%1 для заданной %2 маски")
                       .arg(weighed ? QStringLiteral("Неверный вес")
                                    : QStringLiteral("Неверное количество"),
                            kindOfMask)};

    const QString codeDigits = codeText.rightJustified(nP, QLatin1Char('0'));
    const QString valueDigits = valueText.rightJustified(nV, QLatin1Char('0'));
    QString digits;
    int p = 0;
    int v = 0;
    for (const QChar c : mask) {
        if (c == QLatin1Char('P'))
            digits += codeDigits[p++];
        else if (c == valueLetter)
            digits += valueDigits[v++];
        else if (c == QLatin1Char('W') || c == QLatin1Char('Q'))
            digits += QLatin1Char('0');
        else if (c.unicode() >= '0' && c.unicode() <= '9')
            digits += c;
        else
            return {0, QStringLiteral("Неверный маска %1 штрих-кода")
                           .arg(weighed ? QStringLiteral("весового") : QStringLiteral("штучного"))};
    }
    const uint64_t result = platform::ParseLeadingUInt(digits);
    if (result == 0)
        // All twelve digits zero: a code and value of 0 under a mask without a prefix.
        return {0, QStringLiteral("Неверный штрих-код для заданной %1 маски").arg(kindOfMask)};
    return {result, QString()};
}
