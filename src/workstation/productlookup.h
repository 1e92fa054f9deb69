// The product key with a typed number: the number is looked up as a product code in the
// catalogue's plu table.
#pragma once

#include "app/varnetapp.h"
#include "workstation/screenstate.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The section condition " AND sectionId = '...'" when the database restricts products to
// sections, else empty. Trims the setting SectionID in place (a later save writes the
// trimmed value); quotes in it are doubled.
QString SectionCondition(CVarnetApp& app);

// The lookup statement for code (the same text on every supported database).
QString LookupStatement(CVarnetApp& app, const QString& code);

// The preset tare of the product with this code, in kilograms, from the catalogue's tare
// column; 0 when the catalogue has no such column (CVarnetApp::CatalogueHasTare), no such
// product or no tare (NULL, 0 or below). Database errors propagate.
double ReadPresetTare(CVarnetApp& app, const QString& code);
QString TareStatement(CVarnetApp& app, const QString& code);

// Clears the current product, connects the database when needed and reads the product
// with this code, and its preset tare, into state.m_product. False when there is no connection
// or no such product. A connection the server cut is made again once, silently; other database
// errors of the query, and a failure of the query on the new connection, propagate.
bool LookupProduct(CVarnetApp& app, CScreenState& state, const QString& code);

// The product key with a typed number: looks it up and shows the product, or "Товар не
// найден". True when a product became current (the caller then sends its price to the
// scale).
bool OnTypedProductKey(CVarnetApp& app, CScreenState& state);

// A product's name and price as the catalogue has them, for the speed keys.
struct CatalogueEntry {
    QString name;
    double price = 0.0;
};
// The catalogue's entries of the given codes (of those it has); nothing without a connection.
// Database errors propagate.
QMap<QString, CatalogueEntry> LookupEntries(CVarnetApp& app, const QStringList& codes);
