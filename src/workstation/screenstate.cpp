#include "workstation/screenstate.h"

#include "platform/numbers.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kWeightHeader = QStringLiteral("Вес");
const QString kCountHeader = QStringLiteral("Количество");
const QString kZeroWeight = QStringLiteral("0.000 ");
const QString kOnePiece = QStringLiteral("1 ");
} // namespace

CScreenState::CScreenState(const AppSettings& settings) : m_settings(settings) {
    ClearProduct();
    m_displays.price = MoneyText(0.0);
    m_displays.sum = MoneyText(0.0);
    m_displays.weight = kZeroWeight;
    m_displays.autoPrint = QStringLiteral("Выкл");
}

QString CScreenState::MoneyText(double amount) const {
    return platform::FormatMoney(amount, m_settings.Penny) + QLatin1Char(' ');
}

QString CScreenState::WeightText(double weight) {
    return platform::FormatFixed(weight, 3) + QLatin1Char(' ');
}

void CScreenState::ClearProduct() {
    m_product = CurrentProduct();
    m_displays.weightHeader = kWeightHeader;
}

void CScreenState::AppendKey(const QString& text) {
    QString s = m_bEntryActive ? m_displays.weight.trimmed() : QString();
    if (text == QLatin1String(".")) {
        if (!m_product.m_bWeighed || s.contains(QLatin1Char('.')))
            return;
        s = s.isEmpty() ? QStringLiteral("0.") : s + text;
    } else {
        const qsizetype point = s.indexOf(QLatin1Char('.'));
        const qsizetype counted = point >= 0 ? s.size() - point - 1 : s.size();
        if (counted >= (point >= 0 ? 3 : 6))
            return;
        s += text;
    }
    m_displays.weight = s + QLatin1Char(' ');
    m_bEntryActive = true;
    ShowPieceSum();
}

void CScreenState::ShowPieceSum() {
    // A piece product has no weight to wait for: its sum follows the count on the screen,
    // as the label will carry it.
    if (m_product.m_strCode.isEmpty() || m_product.m_bWeighed)
        return;
    m_displays.sum =
        MoneyText(CVarnetApp::RoundAmount(Quantity() * m_product.m_dPrice, m_settings));
}

void CScreenState::OnLabelPrinted(bool weighed, double quantity) {
    // The goods just printed stay on the scale; turning auto-print on must not print them
    // again.
    if (weighed)
        m_dLastAutoPrintWeight = quantity;
}

bool CScreenState::OnClearKey() {
    if (m_bEntryActive) {
        m_displays.weight = m_product.m_bWeighed ? kZeroWeight : kOnePiece;
        m_bEntryActive = false;
        ShowPieceSum();
        return false;
    }
    ClearProduct();
    m_displays.name.clear();
    m_displays.price = MoneyText(0.0);
    m_displays.sum = MoneyText(0.0);
    m_displays.weight = kZeroWeight;
    return true;
}

void CScreenState::OnAutoPrintKey() {
    m_bAutoPrint = !m_bAutoPrint;
    m_displays.autoPrint = m_bAutoPrint ? QStringLiteral("Вкл") : QStringLiteral("Выкл");
}

bool CScreenState::OnWeightUpdate(double weight) {
    const double price = m_product.m_strCode.isEmpty() ? 0.0 : m_product.m_dPrice;
    const double amount = CVarnetApp::RoundAmount(price * weight, m_settings);
    if (!m_bEntryActive && m_product.m_bWeighed) {
        m_displays.weight = WeightText(weight);
        m_displays.sum = MoneyText(amount);
    }
    return m_bAutoPrint && m_product.m_bWeighed && !m_bPrinting && weight != 0.0 &&
           weight != m_dLastAutoPrintWeight;
}

void CScreenState::ShowProductNotFound() {
    m_displays.name = QStringLiteral("Товар не найден");
    m_displays.weight = kZeroWeight;
    m_displays.price = MoneyText(0.0);
    m_displays.sum = MoneyText(0.0);
    m_bEntryActive = false;
}

void CScreenState::ShowProduct(const CurrentProduct& product) {
    m_product = product;
    m_displays.weightHeader = product.m_bWeighed ? kWeightHeader : kCountHeader;
    m_displays.name = product.m_strName;
    m_displays.weight = product.m_bWeighed ? kZeroWeight : kOnePiece;
    m_displays.price = MoneyText(product.m_dPrice);
    m_displays.sum = MoneyText(0.0);
    m_bEntryActive = false;
    ShowPieceSum();
}

QString CScreenState::PrepareRepeat(double scaleWeight) {
    if (!m_lastPrinted)
        return QStringLiteral("Повторять нечего: этикеток ещё не было");
    const PrintedLabel last = *m_lastPrinted;
    if (last.product.m_bWeighed && std::fabs(scaleWeight - last.quantity) > 0.0005)
        return QStringLiteral("Повтор невозможен: на весах %1 кг, на последней этикетке %2 кг")
            .arg(platform::FormatFixed(std::max(0.0, scaleWeight), 3),
                 platform::FormatFixed(last.quantity, 3));
    ShowProduct(last.product);
    m_displays.weight = last.product.m_bWeighed
                            ? WeightText(last.quantity)
                            : platform::FormatFixed(last.quantity, 0) + QLatin1Char(' ');
    if (last.product.m_bWeighed)
        m_displays.sum =
            MoneyText(CVarnetApp::RoundAmount(last.quantity * last.product.m_dPrice, m_settings));
    else
        ShowPieceSum();
    return QString();
}

double CScreenState::Quantity() const {
    return platform::ParseLeadingDouble(m_displays.weight);
}

long long CScreenState::ScalePrice(double price, bool penny) {
    return platform::MoneyUnits(price, penny);
}
