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

// A typed price of digits, "12", matches the prices whose text starts with them: below a
// million a price is written as its whole part, a point and the rest, so those are the
// prices from 12 up to 13, from 120 up to 130 and so on, each range read from the price
// index at its place, where the one LIKE condition reads the index from the cheapest price
// until enough rows match. Each range is widened by a billionth for a text rounded up to
// the next whole number, and LIKE still decides every row in it. Texts in powers of ten
// ("1e-05", "1e+06" of a single-precision column) have arms of their own below 0.0001 and
// from a million up, also decided by LIKE. The ranges never overlap, so no row comes twice.
QStringList PriceArms(Dialect dialect) {
    const bool pg = dialect == Dialect::PostgreSQL;
    const QString prefix =
        pg ? QStringLiteral("CAST(substring(? from '^([1-9][0-9]{0,14})%$') AS NUMERIC)")
           : QStringLiteral("price_prefix(?)");
    const QString like =
        pg ? QStringLiteral("coalesce(CAST(price AS TEXT) LIKE ? ESCAPE '', false)")
           : QStringLiteral("CAST(price AS TEXT) LIKE ?");
    const QString least = pg ? QStringLiteral("LEAST") : QStringLiteral("min");
    const QString million = QStringLiteral("999999.999");
    QStringList arms;
    arms << QStringLiteral("price > 0 AND price < 0.0001000001 AND %1 IS NOT NULL AND %2")
                .arg(prefix, like);
    for (int k = 0; k <= 5; ++k) {
        const QString scale = QStringLiteral("1e%1").arg(k);
        arms << QStringLiteral("price >= %1 * %2 * 0.999999999 AND "
                               "price < %3((%1 + 1) * %2 * 1.000000001, %4) AND %5")
                    .arg(prefix, scale, least, million, like);
    }
    arms << QStringLiteral("price >= %1 AND %2 IS NOT NULL AND %3").arg(million, prefix, like);
    return arms;
}

// SQLite and PostgreSQL. Codes sort by length first and then as text, which orders them as
// left padding with blanks does (shorter codes first), without depending on how the
// database's collation weighs blanks. The price is matched as the server writes it as text.
// Names are matched without regard to case, Cyrillic letters included, as on a SQL Server
// with its usual Cyrillic collation, and listed by a key that both databases compute alike:
// the name in lower case with ё weighed as е, compared code point by code point. One index
// on that key serves both the range of a typed start and the order (a name search reads its
// first block without visiting the names before it); the case-blind match then keeps Ё and
// Е apart. SQLite gets the key and the match from our extension, which its driver loads.
// On PostgreSQL the range is written out from the typed start (the characters before the
// first wildcard), and the match is wrapped so that the planner does not take it for a rare
// one: for a typed "%особый" it would otherwise sort the whole table rather than read the
// name index until the first rows are found.
// PostgreSQL's LIKE would take a backslash as an escape character; ESCAPE '' makes it an
// ordinary one, as it is on SQL Server and SQLite. With nothing typed the pattern is "%",
// which every name and price matches but NULL: the test of the pattern alone, made once per
// statement, spares the matching of every row (which the price pays with a conversion);
// on SQLite a test on the number itself spares the conversion of prices that cannot match.
// SQLite orders barcodes in the collation its LIKE matches in, so that one index serves the
// typed start (within each length, which it skips through) and the order.
// Blocks are separate LIMIT/OFFSET statements, so every sort ends with the unique pluId:
// rows that tie on the visible keys must come in the same order in every statement, or a
// row could show in two blocks and another in none.
PluSql Portable(Dialect dialect) {
    const bool pg = dialect == Dialect::PostgreSQL;
    const QString like = pg ? QStringLiteral(" LIKE ? ESCAPE ''") : QStringLiteral(" LIKE ?");
    PluSql s;
    s.table = QStringLiteral("plu");
    s.columns = Columns(false);
    s.defaultSort = QStringLiteral("length(plu), plu, sectionId, pluId");
    s.lengthFunction = QStringLiteral("length");
    s.blockStatements = true;
    s.armsCompound = !pg;
    // PostgreSQL passes over rows on the way to a block at about a fifth of SQLite's
    // speed: a jump to the middle of a million rows would take about 100 ms.
    s.anchorSpacing = pg ? 4096 : 0;
    s.orders = {
        {QStringLiteral("По коду"), QStringLiteral("plu"),
         QStringLiteral("length(plu), plu, pluId"), QStringLiteral("plu") + like},
        {QStringLiteral("По названию"), QStringLiteral("pluName"), PluNameSort(dialect),
         pg ? QStringLiteral("(%2 = '' OR %1 >= %2 AND %1 < left(%2, -1) || "
                             "chr(ascii(right(%2, 1)) + 1)) AND "
                             "coalesce(? = '%' AND pluName IS NOT NULL OR "
                             "lower(pluName) LIKE lower(?) ESCAPE '', false)")
                  .arg(PluNameKey(dialect),
                       QStringLiteral("replace(lower(substring(? from '^[^%_]*')), 'ё', 'е')"))
            : QStringLiteral("%1 >= ru_key_low(?) AND %1 < ru_key_high(?) AND "
                             "(? = '%' OR ru_like(?, pluName))")
                  .arg(PluNameKey(dialect))},
        {QStringLiteral("По цене"), QStringLiteral("price"),
         QStringLiteral("price, pluName, pluId"),
         pg ? QStringLiteral("(? = '%' AND price IS NOT NULL OR CAST(price AS TEXT)") + like +
                  QLatin1Char(')')
            : QStringLiteral("(? = '%' AND price IS NOT NULL OR "
                             "price_text_may_match(?, price) AND CAST(price AS TEXT) LIKE ?)")},
        {QStringLiteral("По штрих-коду"), QStringLiteral("barCode"),
         pg ? QStringLiteral("length(barCode), barCode, pluId")
            : QStringLiteral("length(barCode), barCode COLLATE NOCASE, pluId"),
         QStringLiteral("barCode") + like},
    };
    s.orders[1].anchored = true;
    PluSearchOrder& byPrice = s.orders[2];
    byPrice.anchored = true;
    byPrice.arms = PriceArms(dialect);
    byPrice.armsPattern = QStringLiteral("[1-9][0-9]{0,14}%");
    return s;
}

} // namespace

QString PluNameKey(Dialect dialect) {
    if (dialect == Dialect::PostgreSQL)
        return QStringLiteral("replace(lower(pluName), 'ё', 'е') COLLATE \"C\"");
    if (dialect == Dialect::SQLite)
        return QStringLiteral("ru_key(pluName)");
    return QStringLiteral("pluName");
}

QString PluNameSort(Dialect dialect) {
    if (dialect == Dialect::PostgreSQL)
        return PluNameKey(dialect) +
               QStringLiteral(", pluName COLLATE \"C\", plu COLLATE \"C\", pluId");
    if (dialect == Dialect::SQLite)
        return PluNameKey(dialect) + QStringLiteral(", pluName, plu, pluId");
    return QStringLiteral("pluName");
}

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
