#include "workstation/screenstate.h"

#include "platform/numbers.h"
#include "workstation/weighing.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kWeightHeader = QStringLiteral("Вес");
const QString kCountHeader = QStringLiteral("Количество");
const QString kZeroWeight = QStringLiteral("0.000 ");
const QString kOnePiece = QStringLiteral("1 ");
} // namespace

QDateTime BestBeforeAt(const CurrentProduct& product, const QDateTime& packed) {
    if (product.m_nShelfLifeHours != 0)
        return packed.addSecs(product.m_nShelfLifeHours * 3600).toLocalTime();
    return product.m_stBestBefore;
}

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
    // A typed number that went on a label is done with: the next key starts a new one.
    QString s = m_bEntryActive && !m_bEntryPrinted ? m_displays.weight.trimmed() : QString();
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
    m_bEntryPrinted = false;
    ShowPieceSum();
    ShowTare();
}

void CScreenState::EndEntry() {
    m_bEntryActive = false;
    m_bEntryPrinted = false;
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
    m_bPrinterStopTold = false;
    if (m_bEntryActive) {
        m_bEntryPrinted = true;
        return;
    }
    // The goods just printed stay on the scale; turning auto-print on must not print them
    // again.
    if (weighed)
        AfterAutoPrint(quantity);
}

void CScreenState::AfterAutoPrint(double weightNow) {
    m_dLastAutoPrintWeight = weightNow;
    m_bAutoPrintArmed = false;
}

bool CScreenState::OnClearKey() {
    if (m_bEntryActive) {
        m_displays.weight = m_product.m_bWeighed ? kZeroWeight : kOnePiece;
        EndEntry();
        ShowPieceSum();
        ShowTare();
        return false;
    }
    ClearProduct();
    m_bProductNotFound = false;
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

bool CScreenState::OnWeightUpdate(double weight, ScaleState state) {
    m_dGross = weight;
    ShowWeight();
    // A moving weight (a scale that reads it as 0) is neither an empty pan nor a pack; the
    // tare alone on the pan is an empty pan, and nothing to label.
    const bool settled =
        state == ScaleState::Stable || state == ScaleState::Zero || state == ScaleState::Underload;
    const double goods = weight - Tare();
    if (settled && goods < kEmptyPanKg)
        m_bAutoPrintArmed = true;
    return m_bAutoPrint && m_product.m_bWeighed && !m_bPrinting && m_bAutoPrintArmed &&
           state == ScaleState::Stable && goods >= kEmptyPanKg;
}

NoLabel CScreenState::NothingToPrint() const {
    NoLabel no;
    if (m_product.m_strCode.isEmpty()) {
        no.reason = m_bProductNotFound ? QStringLiteral("товар не найден")
                                       : QStringLiteral("товар не выбран");
        return no;
    }
    const double quantity = Quantity();
    const bool fromScale = m_product.m_bWeighed && !m_bEntryActive;
    if (fromScale && m_scale.bConnected) {
        // The weight field keeps the last weight the scale gave; it is no longer the pack
        // on the pan.
        if (m_scale.state == ScaleState::PortClosed) {
            // The strip's scale line says why, with the port.
            no.reason = QStringLiteral("весы не передают вес");
            no.message =
                QStringLiteral("Весы не передают вес: порт %1 не открыт. Этикетка не напечатана.")
                    .arg(m_scale.port);
            return no;
        }
        if (m_scale.state == ScaleState::NoAnswer) {
            no.reason = QStringLiteral("весы не отвечают");
            no.message =
                QStringLiteral("Весы не отвечают (%1). Этикетка не напечатана.").arg(m_scale.port);
            return no;
        }
        if (m_scale.state == ScaleState::Unknown && quantity != 0.0) {
            no.reason = QStringLiteral("весы ещё не передали вес");
            return no;
        }
    }
    if (quantity != 0.0)
        return no;
    if (!fromScale)
        no.reason = m_product.m_bWeighed ? QStringLiteral("вес равен нулю")
                                         : QStringLiteral("количество равно нулю");
    else if (m_scale.state == ScaleState::Moving)
        no.reason = QStringLiteral("вес не стабилен");
    else if (m_scale.state == ScaleState::Overload)
        no.reason = QStringLiteral("перегруз весов");
    else if (m_scale.state == ScaleState::Underload)
        no.reason = QStringLiteral("вес меньше нуля");
    else if (Tare() > 0)
        // The tray alone on the pan: the print key is told, as for a net below zero.
        no.reason = no.message = weighing::NetWeightError(quantity, Tare());
    else
        no.reason = QStringLiteral("на весах нет товара");
    return no;
}

void CScreenState::ShowProductNotFound() {
    m_displays.name = QStringLiteral("Товар не найден");
    m_displays.weight = kZeroWeight;
    m_displays.price = MoneyText(0.0);
    m_displays.sum = MoneyText(0.0);
    m_bProductNotFound = true;
    EndEntry();
    ShowTare();
}

void CScreenState::ShowProduct(const CurrentProduct& product) {
    m_product = product;
    m_displays.name = product.m_strName;
    m_displays.weight = product.m_bWeighed ? kZeroWeight : kOnePiece;
    m_displays.price = MoneyText(product.m_dPrice);
    m_displays.sum = MoneyText(0.0);
    m_bProductNotFound = false;
    EndEntry();
    ShowPieceSum();
    ShowTare();
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
