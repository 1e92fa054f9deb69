#include "workstation/screenstate.h"

#include "platform/numbers.h"

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
    ShowTare();
}

QString CScreenState::MoneyText(double amount) const {
    return platform::FormatMoney(amount, m_settings.Penny) + QLatin1Char(' ');
}

QString CScreenState::WeightText(double weight) {
    return platform::FormatFixed(weight, 3) + QLatin1Char(' ');
}

void CScreenState::ClearProduct() {
    m_product = CurrentProduct();
    ShowTare();
}

double CScreenState::Tare() const {
    if (!m_product.m_bWeighed)
        return 0.0;
    return m_dKeyTare > 0 ? m_dKeyTare : qMax(0.0, m_product.m_dTare);
}

void CScreenState::ShowTare() {
    m_displays.net = Tare() > 0 && m_product.m_bWeighed && !m_bEntryActive;
    m_displays.weightHeader =
        !m_product.m_bWeighed ? kCountHeader
        : m_displays.net
            ? QStringLiteral("Вес нетто, тара %1 кг").arg(platform::FormatFixed(Tare(), 3))
            : kWeightHeader;
    m_displays.tareKey = m_dKeyTare > 0
                             ? QStringLiteral("Тара\n%1").arg(platform::FormatFixed(m_dKeyTare, 3))
                             : QStringLiteral("Тара");
}

void CScreenState::ShowWeight() {
    if (m_bEntryActive || !m_product.m_bWeighed)
        return;
    const double net = m_dGross - Tare();
    const double price = m_product.m_strCode.isEmpty() ? 0.0 : m_product.m_dPrice;
    m_displays.weight = WeightText(net);
    m_displays.sum = MoneyText(CVarnetApp::RoundAmount(price * net, m_settings));
}

QString CScreenState::OnTareKey() {
    if (m_dGross > 0) {
        m_dKeyTare = m_dGross;
    } else if (m_dKeyTare > 0) {
        m_dKeyTare = 0;
    } else {
        return QStringLiteral("На весах нет веса: поставьте тару на весы и нажмите «Тара»");
    }
    ShowWeight();
    ShowTare();
    return QString();
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
    ShowTare();
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
        ShowTare();
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
    m_dGross = weight;
    ShowWeight();
    // The tare alone on the pan is nothing to label.
    const bool goods = Tare() <= 0 || qRound64((weight - Tare()) * 1000) > 0;
    return m_bAutoPrint && m_product.m_bWeighed && !m_bPrinting && weight != 0.0 &&
           weight != m_dLastAutoPrintWeight && goods;
}

void CScreenState::ShowProductNotFound() {
    m_displays.name = QStringLiteral("Товар не найден");
    m_displays.weight = kZeroWeight;
    m_displays.price = MoneyText(0.0);
    m_displays.sum = MoneyText(0.0);
    m_bEntryActive = false;
    ShowTare();
}

void CScreenState::ShowProduct(const CurrentProduct& product) {
    m_product = product;
    m_displays.name = product.m_strName;
    m_displays.weight = product.m_bWeighed ? kZeroWeight : kOnePiece;
    m_displays.price = MoneyText(product.m_dPrice);
    m_displays.sum = MoneyText(0.0);
    m_bEntryActive = false;
    ShowPieceSum();
    ShowTare();
}

double CScreenState::Quantity() const {
    return platform::ParseLeadingDouble(m_displays.weight);
}

long long CScreenState::ScalePrice(double price, bool penny) {
    return platform::MoneyUnits(price, penny);
}
