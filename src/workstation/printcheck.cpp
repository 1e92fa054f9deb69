#include "workstation/printcheck.h"

#include <algorithm>
#include <cmath>

bool IsPrintableBestBefore(const QDateTime& moment) {
    const int year = moment.toLocalTime().date().year();
    return year >= 1970 && year <= 3000;
}

QString BadBestBeforeMessage() {
    return QStringLiteral("Недопустимая дата срока годности товара.");
}

bool IsPrintableMoney(double value) {
    return std::isfinite(value) && value > 0.0 && value <= kMaxJournalMoney;
}

QString BadPriceMessage(const CurrentProduct& product) {
    return QStringLiteral("Недопустимая цена товара «%1» (код %2).")
        .arg(product.m_strName, product.m_strCode);
}

QString ProductPrintError(const CurrentProduct& product) {
    // The barcode takes the leading digits of the code: "12.5" would print product 12.
    const QString& code = product.m_strCode;
    const bool digits = !code.isEmpty() && std::all_of(code.begin(), code.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digits)
        return QStringLiteral("Недопустимый код товара «%1» (%2).").arg(code, product.m_strName);
    // A missing or unreadable price arrives as 0; a label must never sell for nothing, nor
    // for more than the journals can hold.
    if (!IsPrintableMoney(product.m_dPrice))
        return BadPriceMessage(product);
    // A moment years beyond what the label's date fields can hold would print a wrong date.
    if (product.m_stBestBefore.isValid() && !IsPrintableBestBefore(product.m_stBestBefore))
        return BadBestBeforeMessage();
    return QString();
}
