#include "catalogue/plusql.h"

using platform::odbc::Dialect;

namespace {

const char* const kColumns[] = {"pluId",    "sectionId",  "plu",      "barCode", "pluName",
                                "price",    "department", "discount", "q",       "sq",
                                "dq",       "info",       "bHours",   "bDate",   "taxGroup",
                                "pluGroup", "lockPlu",    "atr"};

QStringList Columns(bool brackets) {
    QStringList list;
    for (const char* c : kColumns)
        list.append(brackets ? QStringLiteral("[%1]").arg(QLatin1String(c)) : QLatin1String(c));
    return list;
}

PluSql SqlServer() {
    PluSql s;
    s.table = QStringLiteral("[dbo].[plu]");
    s.columns = Columns(true);
    s.defaultSort = QStringLiteral("SPACE(18-LEN(plu))+plu, sectionId");
    s.lengthFunction = QStringLiteral("LEN");
    s.orders = {
        {QStringLiteral("По коду"), QStringLiteral("plu"), QStringLiteral("SPACE(18-LEN(plu))+plu"),
         QStringLiteral("plu LIKE ?")},
        {QStringLiteral("По названию"), QStringLiteral("pluName"), QStringLiteral("pluName"),
         QStringLiteral("pluName LIKE ?")},
        {QStringLiteral("По цене"), QStringLiteral("price"), QStringLiteral("price, pluName"),
         QStringLiteral("price LIKE ?")},
        {QStringLiteral("По штрих-коду"), QStringLiteral("barCode"),
         QStringLiteral("SPACE(18-LEN(barCode))+barCode"), QStringLiteral("barCode LIKE ?")},
    };
    return s;
}

// SQLite and PostgreSQL. Codes sort by length first and then as text, which orders them as
// left padding with blanks does (shorter codes first), without depending on how the
// database's collation weighs blanks. The price is matched as the server writes it as text.
// Names are matched without regard to case, as on a SQL Server with its usual collation,
// and listed in the same case-blind order, so that one index serves both the prefix range
// and the order (a name search reads its first block without visiting the names before
// it): PostgreSQL compares and sorts lower() of the names, in byte order; SQLite's LIKE and
// NOCASE ignore the case of Latin letters only, as it has no Unicode case tables.
// Blocks are separate LIMIT/OFFSET statements, so every sort ends with the unique pluId:
// rows that tie on the visible keys must come in the same order in every statement, or a
// row could show in two blocks and another in none.
PluSql Portable(Dialect dialect) {
    const bool pg = dialect == Dialect::PostgreSQL;
    PluSql s;
    s.table = QStringLiteral("plu");
    s.columns = Columns(false);
    s.defaultSort = QStringLiteral("length(plu), plu, sectionId, pluId");
    s.lengthFunction = QStringLiteral("length");
    s.blockStatements = true;
    s.orders = {
        {QStringLiteral("По коду"), QStringLiteral("plu"),
         QStringLiteral("length(plu), plu, pluId"), QStringLiteral("plu LIKE ?")},
        {QStringLiteral("По названию"), QStringLiteral("pluName"),
         pg ? QStringLiteral("lower(pluName) COLLATE \"C\", pluName, pluId")
            : QStringLiteral("pluName COLLATE NOCASE, pluId"),
         pg ? QStringLiteral("lower(pluName) LIKE lower(?)") : QStringLiteral("pluName LIKE ?")},
        {QStringLiteral("По цене"), QStringLiteral("price"),
         QStringLiteral("price, pluName, pluId"), QStringLiteral("CAST(price AS TEXT) LIKE ?")},
        {QStringLiteral("По штрих-коду"), QStringLiteral("barCode"),
         QStringLiteral("length(barCode), barCode, pluId"), QStringLiteral("barCode LIKE ?")},
    };
    return s;
}

} // namespace

const PluSql& PluStatements(Dialect dialect) {
    static const PluSql sqlServer = SqlServer();
    static const PluSql sqlite = Portable(Dialect::SQLite);
    static const PluSql postgres = Portable(Dialect::PostgreSQL);
    switch (dialect) {
    case Dialect::SQLite:
        return sqlite;
    case Dialect::PostgreSQL:
        return postgres;
    case Dialect::SqlServer:
    case Dialect::Other:
        break;
    }
    return sqlServer;
}

QString PluBaseFilter(Dialect dialect, const QString& wBarCodeMask, const QString& qBarCodeMask,
                      bool enableSection, QString& sectionId) {
    const auto n = qMax(wBarCodeMask.count(QLatin1Char('P')), qBarCodeMask.count(QLatin1Char('P')));
    QString filter =
        QStringLiteral("%1(plu) <= %2").arg(PluStatements(dialect).lengthFunction).arg(n);
    if (enableSection) {
        sectionId = sectionId.trimmed();
        QString quoted = sectionId;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        filter += QStringLiteral(" AND sectionId = '%1'").arg(quoted);
    }
    return filter;
}
