// Builds a product catalogue (the plu and config tables) in any of the supported databases:
// the demo workstation's catalogue, the fixtures of the tests and the benchmark catalogues.
#pragma once

#include "platform/odbc.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace democat {

// One row of the plu table; an empty optional is NULL.
struct PluRow {
    int pluId = 0;
    std::optional<QString> sectionId;
    std::optional<QString> plu;
    std::optional<QString> barCode;
    std::optional<QString> pluName;
    std::optional<double> price;
    std::optional<int> department;
    std::optional<double> discount;
    std::optional<double> q;
    std::optional<double> sq;
    std::optional<double> dq;
    std::optional<QString> info;
    std::optional<int> bHours;
    std::optional<QDateTime> bDate;
    std::optional<int> taxGroup;
    std::optional<int> pluGroup;
    std::optional<int> lockPlu;
    std::optional<QString> atr;
};

struct Options {
    int rows = 300;
    QStringList sections{QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03")};
    // The config table's one row; nullopt leaves the table empty.
    std::optional<std::optional<int>> enableSection = std::optional<int>(0);
    bool indexes = true;
    unsigned seed = 1;
};

// Drops and creates the plu and config tables (no rows).
void CreateSchema(platform::odbc::Connection& db);
// Fills config with one row holding value (NULL when empty), or no row when noRow is set.
void SetEnableSection(platform::odbc::Connection& db, std::optional<int> value, bool noRow = false);
// Inserts rows with multi-row statements in one transaction.
void InsertRows(platform::odbc::Connection& db, const QList<PluRow>& rows);
// Creates the indexes that serve the four search orders and the lookup by code.
void CreateIndexes(platform::odbc::Connection& db);
// The demo rows: Russian product names, prices, goods sold by weight and by the piece,
// information texts with their two carriage returns, shelf lives in hours and fixed dates.
QList<PluRow> DemoRows(int first, int count, const Options& options);
// Schema, demo rows in batches, config and indexes.
void CreateDemoCatalogue(platform::odbc::Connection& db, const Options& options);

// Runs one statement without a result.
void Exec(platform::odbc::Connection& db, const QString& sql);
// A text literal with its quotes doubled.
QString Literal(const QString& text);

} // namespace democat
