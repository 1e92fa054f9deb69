// One label that the spooler accepted, as the packing journal keeps it.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

struct JournalRow {
    QString id;       // a UUID of its own: a row copied anywhere is never counted twice
    QDateTime moment; // local time the label was packed (the date printed on it)
    QString code;     // product code
    QString name;     // product name as the catalogue has it
    bool weighed = true;
    double quantity = 0; // kilograms for weighed products, pieces otherwise
    double price = 0;
    double sum = 0;
    QString barcode;      // the thirteen digits under the bars
    QDateTime bestBefore; // invalid when the product has none
    QString printer;
    qint64 jobId = 0; // the spooler's job id; 0 when the spooler gives none
    bool reprint = false;
    QString labelName; // name and information texts exactly as printed
    QString labelInfo;
    QString account; // the operating-system account that printed it; empty in older rows
    // The weight or count was keyed on the keypad (a piece count always is), not read from
    // the scale; unknown in the rows of older versions.
    std::optional<bool> keyed;
    double tare = 0; // kilograms taken off the scale's weight: quantity is the net weight

    // A fresh identifier for a new row.
    static QString NewId();
    // "вручную" for a keyed weight or count, "весы" for the scale's; empty when the row does
    // not say (an older version wrote it).
    QString EntryText() const;
};

// The largest price or sum every journal holds to the kopeck: the central table keeps them
// as NUMERIC(14, 2). A label of a larger one would print and then never reach it.
constexpr double kMaxJournalMoney = 999999999999.99;
