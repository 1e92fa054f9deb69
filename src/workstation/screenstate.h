// The main screen's state and its decisions, without a window: the current product, the
// number typed on the keypad, the texts of the display fields and the auto-print rule. The
// main screen forwards its keys and weights here and shows the texts.
#pragma once

#include "app/varnetapp.h"
#include "workstation/statusstrip.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A product as the catalogue describes it, ready to become the current one.
struct CurrentProduct {
    QString m_strCode;
    QString m_strName;
    QString m_strInfo;
    double m_dPrice = 0.0;
    bool m_bWeighed = true;
    QDateTime m_stBestBefore; // invalid: no best-before moment
    // A tare in kilograms set for the product on its speed key; none by default.
    std::optional<double> m_dPresetTare = std::nullopt;
};

// The product and quantity of the last label the spooler accepted, for the repeat key.
struct PrintedLabel {
    CurrentProduct product;
    double quantity = 0.0;
};

class CScreenState {
public:
    // The texts of the display fields.
    struct Displays {
        QString name;         // 10001
        QString price;        // 10002
        QString sum;          // 10003
        QString weight;       // 10004
        QString weightHeader; // header of 10004: "Вес" or "Количество"
        QString autoPrint;    // "Вкл" or "Выкл"
    };

    explicit CScreenState(const AppSettings& settings);

    // The current product: code empty means none.
    CurrentProduct m_product;
    bool m_bEntryActive = false;
    bool m_bAutoPrint = false;
    double m_dLastAutoPrintWeight = 0.0;
    bool m_bPrinting = false;
    // The last label tried, for the state strip.
    LastLabel m_lastLabel;
    // The last label printed, for the repeat key.
    std::optional<PrintedLabel> m_lastPrinted;

    const Displays& GetDisplays() const { return m_displays; }

    // Empties the current product (sold by weight when there is none); only the header of
    // the weight field changes on screen.
    void ClearProduct();
    // Keypad entry of a digit, "00" or "."; a key past the limits changes nothing.
    void AppendKey(const QString& text);
    // "C": ends the entry, or clears the product. True when the product was cleared, so the
    // scale must be sent the price 0.
    bool OnClearKey();
    void OnAutoPrintKey();
    // A new weight: updates the weight and amount fields and answers whether a label
    // should be printed now (call AfterAutoPrint after the print).
    bool OnWeightUpdate(double weight);
    void AfterAutoPrint(double weightNow) { m_dLastAutoPrintWeight = weightNow; }
    // A label the spooler accepted, by the print key or the auto-print alike: a weight it
    // carried counts as printed for the auto-print rule.
    void OnLabelPrinted(bool weighed, double quantity);

    // The typed number that the product key takes as a code.
    QString TypedCode() const { return m_displays.weight.trimmed(); }
    // A lookup found nothing: the fields say so and the entry ends.
    void ShowProductNotFound();
    // Makes product current and shows it; the caller sends ScalePrice() to the scale.
    void ShowProduct(const CurrentProduct& product);

    // The repeat key: makes the last printed label's product current with the quantity that
    // label carried, when a weighed label's weight is still what the scale shows
    // (scaleWeight). Empty when that label can be printed again now, else the operator's
    // text why not.
    QString PrepareRepeat(double scaleWeight);

    // What the weight field says, as a number: the weight or count to print.
    double Quantity() const;
    // The product's price as the scale takes it: hundredths with Penny on, whole units
    // otherwise, rounded halves away from zero.
    long long ScalePrice() const { return ScalePrice(m_product.m_dPrice, m_settings.Penny); }
    static long long ScalePrice(double price, bool penny);

    QString MoneyText(double amount) const;
    static QString WeightText(double weight);

private:
    void ShowPieceSum();

    const AppSettings& m_settings;
    Displays m_displays;
};
