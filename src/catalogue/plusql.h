// The statement texts of the product search in each database dialect, chosen in this one
// place: SQL Server gets the system's own texts; SQLite and PostgreSQL get texts that sort
// and match the same way in their own functions.
#pragma once

#include "platform/odbc.h"

#include <QString>
#include <QStringList>

#include <utility>

struct PluSearchOrder {
    PluSearchOrder(QString name_, QString column_, QString sort_, QString condition_)
        : name(std::move(name_)), column(std::move(column_)), sort(std::move(sort_)),
          condition(std::move(condition_)) {}

    QString name;
    QString column;
    QString sort;
    QString condition; // the search condition; every "?" marker stands for the typed pattern
    // For patterns that armsPattern matches whole, the result is instead the rows of these
    // conditions together, which no row meets twice: each one a range that an index reads in
    // the order's sort, where the one condition would have the index read from its start.
    QStringList arms;
    QString armsPattern;
    // Whether the first sort term tells enough rows apart for places of long jumps: codes and
    // barcodes sort by length first, which a few values cover.
    bool anchored = false;
};

struct PluSql {
    QString table;
    QStringList columns; // the eighteen result columns in binding order
    QString defaultSort;
    QList<PluSearchOrder> orders;
    QString lengthFunction; // LEN or length
    // Blocks fetched by forward-only LIMIT/OFFSET statements rather than a scrollable
    // cursor (which these drivers emulate by reading the whole result).
    bool blockStatements = false;
    // How the rows of arms are put together: one compound SELECT that the database merges
    // in the sort (SQLite), or a derived table that the planner merges itself (PostgreSQL).
    bool armsCompound = false;
    // Rows between the places in a long result that the count's thread finds for jumps far
    // from both ends; 0 for none.
    int anchorSpacing = 0;
};

const PluSql& PluStatements(platform::odbc::Dialect dialect);

// The key names are ordered by on SQLite and PostgreSQL (lower case, ё as е, compared code
// point by code point), and the whole name order; the catalogue's name index is built on them.
QString PluNameKey(platform::odbc::Dialect dialect);
QString PluNameSort(platform::odbc::Dialect dialect);

// The fixed condition of the product search opened from the main screen: only codes of at
// most as many characters as the longer of the two barcode masks has "P" places, and with
// section restriction on only the counter's section. sectionId is trimmed in place (the
// setting itself changes) and its quotes are doubled in the condition.
QString PluBaseFilter(platform::odbc::Dialect dialect, const QString& wBarCodeMask,
                      const QString& qBarCodeMask, bool enableSection, QString& sectionId);
