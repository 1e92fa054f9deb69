// Small product catalogues on the real back ends for the catalogue tests.
#pragma once

#include "app/varnetapp.h"
#include "democatalogue.h"
#include "support/testdb.h"

#include <QTest>

namespace catfix {

// A product with code, name and price; the other columns get plain values.
inline democat::PluRow Row(int id, const QString& code, const QString& name, double price) {
    democat::PluRow r;
    r.pluId = id;
    r.plu = code;
    r.pluName = name;
    r.price = price;
    r.sectionId = QStringLiteral("01");
    r.barCode = QStringLiteral("46%1").arg(id, 11, 10, QLatin1Char('0'));
    r.sq = 0.0;
    return r;
}

// Codes 1..n named "Товар 0001".. with prices 10.00 up.
inline QList<democat::PluRow> Numbered(int n) {
    QList<democat::PluRow> rows;
    for (int i = 1; i <= n; ++i)
        rows.append(Row(i, QString::number(i),
                        QStringLiteral("Товар %1").arg(i, 4, 10, QLatin1Char('0')), 10.0 + i));
    return rows;
}

// Creates a fresh database of the back end holding rows, connects app to it and returns
// whether that worked.
inline bool Open(CVarnetApp& app, const QString& backend, const QString& tag,
                 const QTemporaryDir& dir, const QList<democat::PluRow>& rows,
                 std::optional<int> enableSection = 0) {
    app.m_settings = testdb::FreshDatabase(backend, QStringLiteral("cat_") + tag, dir);
    {
        platform::odbc::Connection db;
        db.Open(CVarnetApp::ConnectionString(app.m_settings));
        democat::CreateSchema(db);
        democat::SetEnableSection(db, enableSection);
        democat::InsertRows(db, rows);
        democat::CreateIndexes(db);
    }
    return app.ConnectDatabase();
}

inline void AddBackends() {
    QTest::addColumn<QString>("backend");
}

} // namespace catfix
