// Totals of journal rows, per product and per hour, as the manager reads them for the stock
// write-off. A reprint is the same goods again on paper: it is listed but never counted.
#pragma once

#include "journal/journalrow.h"

#include <QList>

struct JournalTotal {
    QString key;  // product code, or the hour as "HH:00"
    QString name; // product name (the latest one seen); empty for hours
    int labels = 0;
    double kilograms = 0;
    double pieces = 0;
    double sum = 0;
};

// One line per product, ordered by name then code.
QList<JournalTotal> TotalsByProduct(const QList<JournalRow>& rows);
// One line per hour that had labels, in hour order.
QList<JournalTotal> TotalsByHour(const QList<JournalRow>& rows);
// All rows together.
JournalTotal GrandTotal(const QList<JournalRow>& rows);
