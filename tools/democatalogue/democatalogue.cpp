#include "democatalogue.h"

#include <QRandomGenerator>

#include <cmath>

using platform::odbc::Dialect;

namespace democat {

namespace {

struct Product {
    const char* name;
    bool byWeight;
    double price; // per kilogram or per piece
    int hours;    // shelf life; 0: a fixed best-before date instead
};

// Base assortment of a pre-packing counter; variants and grades make the catalogue larger.
const Product kProducts[] = {
    {"Сыр Российский 50%", true, 689.00, 720},
    {"Сыр Гауда 45%", true, 759.90, 720},
    {"Сыр Пошехонский", true, 649.50, 720},
    {"Колбаса Докторская", true, 539.00, 240},
    {"Колбаса Молочная", true, 499.90, 240},
    {"Колбаса Сервелат варёно-копчёный", true, 899.00, 480},
    {"Сосиски Сливочные", true, 459.00, 168},
    {"Ветчина Классическая", true, 629.00, 240},
    {"Буженина запечённая", true, 1049.00, 120},
    {"Грудинка копчёная", true, 799.00, 240},
    {"Сало солёное", true, 549.00, 720},
    {"Филе куриное охлаждённое", true, 389.90, 72},
    {"Фарш говяжий", true, 599.00, 48},
    {"Свинина шейка", true, 529.00, 72},
    {"Сельдь слабосолёная", true, 329.00, 168},
    {"Скумбрия холодного копчения", true, 689.00, 168},
    {"Сёмга слабосолёная", true, 2190.00, 168},
    {"Салат Оливье", true, 459.00, 24},
    {"Салат Винегрет", true, 289.00, 24},
    {"Салат Сельдь под шубой", true, 399.00, 24},
    {"Капуста квашеная", true, 189.00, 360},
    {"Огурцы маринованные", true, 249.00, 720},
    {"Маслины без косточки", true, 789.00, 720},
    {"Творог 9%", true, 359.00, 120},
    {"Масло сливочное 82,5%", true, 1199.00, 720},
    {"Конфеты Мишка косолапый", true, 1290.00, 0},
    {"Печенье овсяное", true, 259.00, 0},
    {"Пряники тульские", true, 319.00, 0},
    {"Орехи грецкие", true, 999.00, 0},
    {"Курага", true, 699.00, 0},
    {"Халва подсолнечная", true, 399.00, 0},
    {"Мармелад жевательный", true, 489.00, 0},
    {"Пирожок с капустой", false, 45.00, 24},
    {"Пирожок с картофелем", false, 45.00, 24},
    {"Беляш", false, 79.00, 24},
    {"Ватрушка с творогом", false, 59.00, 36},
    {"Котлета по-киевски", false, 149.00, 48},
    {"Блины с мясом", false, 39.00, 48},
    {"Эклер заварной", false, 89.00, 48},
    {"Шашлык свиной на шпажке", false, 219.00, 72},
};

const char* const kGrades[] = {
    "",        "высший сорт", "первый сорт", "фермерский", "домашний", "к празднику",
    "от шефа", "весовой",     "эконом",      "премиум",    "особый",   "традиционный",
};

const char* const kNotes[] = {
    "Хранить при температуре от +2 до +6 °C.",
    "Хранить при температуре от 0 до +4 °C.",
    "Хранить в сухом прохладном месте.",
    "Хранить при температуре не выше +25 °C.",
};

QString OptText(const std::optional<QString>& v) {
    return v ? Literal(*v) : QStringLiteral("NULL");
}
QString OptInt(const std::optional<int>& v) {
    return v ? QString::number(*v) : QStringLiteral("NULL");
}
QString OptDouble(const std::optional<double>& v) {
    return v ? QString::number(*v, 'g', 15) : QStringLiteral("NULL");
}
QString OptDate(const std::optional<QDateTime>& v) {
    return v ? Literal(v->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) : QStringLiteral("NULL");
}

QString RowValues(const PluRow& r) {
    return QStringLiteral("(") +
           QStringList{QString::number(r.pluId), OptText(r.sectionId),  OptText(r.plu),
                       OptText(r.barCode),       OptText(r.pluName),    OptDouble(r.price),
                       OptInt(r.department),     OptDouble(r.discount), OptDouble(r.q),
                       OptDouble(r.sq),          OptDouble(r.dq),       OptText(r.info),
                       OptInt(r.bHours),         OptDate(r.bDate),      OptInt(r.taxGroup),
                       OptInt(r.pluGroup),       OptInt(r.lockPlu),     OptText(r.atr)}
               .join(QLatin1Char(',')) +
           QStringLiteral(")");
}

// EAN-13 of a producer's goods: "46" country prefix, ten digits, check digit.
QString ProducerBarcode(int n) {
    QString digits = QStringLiteral("46") +
                     QStringLiteral("%1").arg(n % 10000000000LL, 10, 10, QLatin1Char('0'));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (digits[i].digitValue()) * (i % 2 ? 3 : 1);
    return digits + QString::number((10 - sum % 10) % 10);
}

} // namespace

QString Literal(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

void Exec(platform::odbc::Connection& db, const QString& sql) {
    platform::odbc::Statement st(db);
    st.ExecDirect(sql);
}

void CreateSchema(platform::odbc::Connection& db) {
    const Dialect d = db.GetDialect();
    const QString real =
        d == Dialect::SqlServer ? QStringLiteral("FLOAT") : QStringLiteral("DOUBLE PRECISION");
    const QString stamp =
        d == Dialect::SqlServer ? QStringLiteral("DATETIME") : QStringLiteral("TIMESTAMP");
    for (const char* table : {"plu", "config"}) {
        try {
            Exec(db, QStringLiteral("DROP TABLE ") + QLatin1String(table));
        } catch (const platform::odbc::DatabaseError&) {
            // Not there yet.
        }
    }
    Exec(db, QStringLiteral("CREATE TABLE plu (pluId INTEGER PRIMARY KEY, sectionId VARCHAR(4), "
                            "plu VARCHAR(18), barCode VARCHAR(18), pluName VARCHAR(100), "
                            "price %1, department SMALLINT, discount %1, q %1, sq %1, dq %1, "
                            "info VARCHAR(2000), bHours INTEGER, bDate %2, taxGroup SMALLINT, "
                            "pluGroup INTEGER, lockPlu INTEGER, atr VARCHAR(20))")
                 .arg(real, stamp));
    Exec(db, QStringLiteral("CREATE TABLE config (enableSection INTEGER)"));
}

void SetEnableSection(platform::odbc::Connection& db, std::optional<int> value, bool noRow) {
    Exec(db, QStringLiteral("DELETE FROM config"));
    if (!noRow)
        Exec(db,
             QStringLiteral("INSERT INTO config (enableSection) VALUES (%1)").arg(OptInt(value)));
}

void InsertRows(platform::odbc::Connection& db, const QList<PluRow>& rows) {
    constexpr int kBatch = 400;
    const QString head = QStringLiteral(
        "INSERT INTO plu (pluId,sectionId,plu,barCode,pluName,price,department,discount,q,sq,dq,"
        "info,bHours,bDate,taxGroup,pluGroup,lockPlu,atr) VALUES ");
    SQLSetConnectAttrW(db.Handle(), SQL_ATTR_AUTOCOMMIT,
                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    try {
        for (qsizetype at = 0; at < rows.size(); at += kBatch) {
            QStringList values;
            for (qsizetype i = at; i < qMin<qsizetype>(rows.size(), at + kBatch); ++i)
                values.append(RowValues(rows[i]));
            Exec(db, head + values.join(QLatin1Char(',')));
        }
        platform::odbc::Check(SQLEndTran(SQL_HANDLE_DBC, db.Handle(), SQL_COMMIT), SQL_HANDLE_DBC,
                              db.Handle());
    } catch (...) {
        SQLEndTran(SQL_HANDLE_DBC, db.Handle(), SQL_ROLLBACK);
        SQLSetConnectAttrW(db.Handle(), SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        throw;
    }
    SQLSetConnectAttrW(db.Handle(), SQL_ATTR_AUTOCOMMIT,
                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
}

void CreateIndexes(platform::odbc::Connection& db) {
    const Dialect d = db.GetDialect();
    QStringList statements;
    QStringList obsolete;
    // The lookup by code (=), the prefix searches (LIKE 'typed%') and the sorts of the
    // product search: codes and barcodes by length and then as text, names, prices.
    if (d == Dialect::PostgreSQL) {
        // The sorts end with pluId, so the rows of a block come straight from the index
        // in both directions (the last blocks are read backwards) without a sort step.
        statements << QStringLiteral("plu_code ON plu (plu text_pattern_ops)")
                   << QStringLiteral("plu_code_order ON plu (length(plu), plu, pluId)")
                   << QStringLiteral("plu_name_key ON plu ((replace(lower(pluName), 'ё', 'е')) "
                                     "COLLATE \"C\", pluName COLLATE \"C\", plu COLLATE \"C\", "
                                     "pluId)")
                   << QStringLiteral("plu_price_cover ON plu (price, pluName, pluId) "
                                     "INCLUDE (plu)")
                   << QStringLiteral("plu_barcode ON plu (barCode text_pattern_ops)")
                   << QStringLiteral("plu_barcode_cover ON plu (length(barCode), barCode, "
                                     "pluId) INCLUDE (plu)");
        // Superseded by the ones above; a catalogue made earlier should not keep both.
        // The name index in byte order serves the prefix search as well as the sort, and
        // with plu included a count of names needs no table rows.
        obsolete << QStringLiteral("plu_code_sort") << QStringLiteral("plu_name_sort")
                 << QStringLiteral("plu_name") << QStringLiteral("plu_name_order")
                 << QStringLiteral("plu_price") << QStringLiteral("plu_barcode_sort")
                 << QStringLiteral("plu_name_order_ci") << QStringLiteral("plu_price_order")
                 << QStringLiteral("plu_barcode_order");
    } else if (d == Dialect::SQLite) {
        // SQLite's LIKE ignores case, so only an index with NOCASE serves a prefix search of
        // codes and barcodes (the barcode one by length first, as they are listed, which the
        // planner skips through). Names are searched and ordered by the key of our extension. The
        // order indexes hold the code too, so the base condition on it reads no table rows while a
        // block is sought far into the result or the rows are counted. pluId is the rowid, which
        // every index already ends with; it is named where the code follows it.
        statements << QStringLiteral("plu_code ON plu (plu)")
                   << QStringLiteral("plu_code_like ON plu (plu COLLATE NOCASE)")
                   << QStringLiteral("plu_code_sort ON plu (length(plu), plu)")
                   << QStringLiteral("plu_name ON plu (pluName)")
                   << QStringLiteral("plu_name_key ON plu (ru_key(pluName), pluName, plu)")
                   << QStringLiteral("plu_price_cover ON plu (price, pluName, pluId, plu)")
                   << QStringLiteral("plu_barcode_nocase ON plu (length(barCode), "
                                     "barCode COLLATE NOCASE, pluId, plu)");
        obsolete << QStringLiteral("plu_name_like") << QStringLiteral("plu_name_like_code")
                 << QStringLiteral("plu_price") << QStringLiteral("plu_barcode_sort")
                 << QStringLiteral("plu_barcode_like") << QStringLiteral("plu_barcode_nc")
                 << QStringLiteral("plu_barcode_cover");
    } else {
        statements << QStringLiteral("plu_code ON plu (plu)")
                   << QStringLiteral("plu_name ON plu (pluName)")
                   << QStringLiteral("plu_price ON plu (price, pluName)")
                   << QStringLiteral("plu_barcode ON plu (barCode)");
    }
    // Existing indexes are kept, so a catalogue made earlier gets the ones it lacks.
    const QString create = d == Dialect::SqlServer || d == Dialect::Other
                               ? QStringLiteral("CREATE INDEX ")
                               : QStringLiteral("CREATE INDEX IF NOT EXISTS ");
    for (const QString& name : obsolete)
        Exec(db, QStringLiteral("DROP INDEX IF EXISTS ") + name);
    for (const QString& s : statements)
        Exec(db, create + s);
    // VACUUM marks the pages of a freshly loaded table all-visible, which lets the counts
    // run on the indexes alone.
    if (d == Dialect::PostgreSQL)
        Exec(db, QStringLiteral("VACUUM ANALYZE plu"));
    else if (d == Dialect::SQLite)
        Exec(db, QStringLiteral("ANALYZE"));
}

QList<PluRow> DemoRows(int first, int count, const Options& options) {
    QList<PluRow> rows;
    rows.reserve(count);
    constexpr int nProducts = sizeof kProducts / sizeof kProducts[0];
    constexpr int nGrades = sizeof kGrades / sizeof kGrades[0];
    const QDateTime baseDate(QDate(2027, 6, 30), QTime(23, 59, 0));
    for (int n = first; n < first + count; ++n) {
        QRandomGenerator rng(options.seed * 2654435761u + static_cast<unsigned>(n));
        const int index = n - 1;
        const Product& p = kProducts[index % nProducts];
        const int grade = (index / nProducts) % nGrades;
        const int series = index / (nProducts * nGrades);
        QString name = QString::fromUtf8(p.name);
        if (grade > 0)
            name += QLatin1Char(' ') + QString::fromUtf8(kGrades[grade]);
        if (series > 0)
            name += QStringLiteral(" №%1").arg(series + 1);

        PluRow r;
        r.pluId = n;
        r.plu = QString::number(n);
        r.sectionId =
            options.sections.isEmpty()
                ? std::optional<QString>()
                : std::optional<QString>(options.sections[index % options.sections.size()]);
        r.barCode = ProducerBarcode(n);
        r.pluName = name;
        r.price = std::round(p.price * (0.9 + 0.2 * rng.generateDouble()) * 100.0) / 100.0;
        r.department = 1 + index % 5;
        r.discount = 0.0;
        r.q = 0.0;
        r.sq = p.byWeight ? 0.0 : 1.0;
        r.dq = 0.0;
        if (n % 3 == 0) {
            // Name lines for the label, then the information text, separated by carriage returns.
            r.info = name + QStringLiteral("\r") +
                     QString::fromUtf8(kGrades[(grade + 1) % nGrades]) + QStringLiteral("\r") +
                     QString::fromUtf8(kNotes[n % 4]);
        }
        if (p.hours > 0)
            r.bHours = p.hours;
        else
            r.bDate = baseDate.addDays(n % 180);
        r.taxGroup = p.byWeight ? 1 : 2;
        r.pluGroup = index % nProducts;
        r.lockPlu = 0;
        r.atr = QString();
        rows.append(r);
    }
    return rows;
}

void CreateDemoCatalogue(platform::odbc::Connection& db, const Options& options) {
    CreateSchema(db);
    constexpr int kChunk = 20000;
    for (int first = 1; first <= options.rows; first += kChunk)
        InsertRows(db, DemoRows(first, qMin(kChunk, options.rows - first + 1), options));
    if (options.enableSection)
        SetEnableSection(db, *options.enableSection);
    else
        SetEnableSection(db, std::nullopt, true);
    if (options.indexes)
        CreateIndexes(db);
}

} // namespace democat
