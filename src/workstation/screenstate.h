// The main screen's state and its decisions, without a window: the current product, the
// number typed on the keypad, the texts of the display fields and the auto-print rule. The
// main screen forwards its keys and weights here and shows the texts.
#pragma once

#include "app/varnetapp.h"
#include "scales/scalestate.h"
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
    // The product's preset tare in kilograms (0: none): the catalogue's, or one that another
    // source of the product (a speed key) sets in its place.
    double m_dTare = 0.0;
    // A shelf life in hours counts from the moment a label is packed; m_stBestBefore then
    // holds the moment as it was when the product was chosen. 0: a fixed date, or none.
    qint64 m_nShelfLifeHours = 0;
};

// The best-before moment of a label of product packed at packed: its shelf life from then,
// or its fixed date; invalid for none.
QDateTime BestBeforeAt(const CurrentProduct& product, const QDateTime& packed);

// What the scale says now, as the print key must know it.
struct ScaleReading {
    bool bConnected = false; // a scale with a port is configured
    ScaleState state = ScaleState::Unknown;
    QString port; // "COM1 (/dev/ttyUSB0)"
};

// Why a print gives no label before anything is sent, and whether the operator must be
// told in a box (a weight the scale no longer gives) or the state strip is enough.
struct NoLabel {
    QString reason;  // for the strip; empty: the print may go on
    QString message; // for a box; empty: none
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
        bool net = false;     // the weight field shows the scale's weight less a tare
        QString tareKey;      // the tare key: "Тара", or the tare it took
    };

    explicit CScreenState(const AppSettings& settings);

    // The current product: code empty means none.
    CurrentProduct m_product;
    bool m_bEntryActive = false;
    bool m_bAutoPrint = false;
    // The weight of the last label printed of the goods on the scale.
    double m_dLastAutoPrintWeight = 0.0;
    // The pan has been empty since the last label of the goods on it: the next settled
    // weight is a new pack and auto-prints.
    bool m_bAutoPrintArmed = true;
    bool m_bPrinting = false;
    // The scale as the screen last heard of it.
    ScaleReading m_scale;
    // A stopped printer has been told of once; auto-print then notes it on the strip only,
    // until a label prints or the printer is seen ready.
    bool m_bPrinterStopTold = false;
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
    // Weights below this are an empty pan (crumbs, drift of the zero): they re-arm the
    // auto-print and never start it.
    static constexpr double kEmptyPanKg = 0.005;
    // A new weight in the state the scale gave with it: updates the weight and amount
    // fields and answers whether a label should be printed now (call AfterAutoPrint after
    // the print). One label per pack: a settled weight prints once after the pan was
    // empty; a pack nudged on the pan prints nothing more.
    bool OnWeightUpdate(double weight, ScaleState state);
    // A settled weight (a scale that does not report its state).
    bool OnWeightUpdate(double weight) { return OnWeightUpdate(weight, SettledState(weight)); }
    // Whether a label came out or not: the pack on the pan has had its turn.
    void AfterAutoPrint(double weightNow);
    // A label the spooler accepted, by the print key or the auto-print alike: the goods on
    // the scale count as printed for the auto-print rule when it carried their weight, and
    // a typed number that was printed is replaced by the next key.
    void OnLabelPrinted(bool weighed, double quantity);
    // Why a print of what the screen shows now would give no label, before the printer is
    // asked: no product, a weight the scale no longer gives, nothing on the pan.
    NoLabel NothingToPrint() const;

    // The tare key: the scale's weight last shown becomes the tare of the next labels, until
    // a press with the pan empty clears it. The operator's text when it can do neither, else
    // empty.
    QString OnTareKey();
    // The tare in force for the current product: the tare key's, else the product's preset
    // tare; none for goods by the piece.
    double Tare() const;
    // The tare taken by the tare key; 0 when none.
    double KeyTare() const { return m_dKeyTare; }
    // The capacity the scale reports; 0 when it reports none.
    double m_dScaleCapacity = 0.0;

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
    // The weight field and the sum from the scale's last weight less the tare, and the tare's
    // signs.
    void ShowWeight();
    void ShowTare();

    void EndEntry();

    const AppSettings& m_settings;
    Displays m_displays;
    bool m_bProductNotFound = false; // the last lookup found nothing
    bool m_bEntryPrinted = false;    // the typed number has been printed
    double m_dGross = 0.0;           // the scale's last weight
    double m_dKeyTare = 0.0;         // taken by the tare key
};
