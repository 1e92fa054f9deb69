#include "journal/centraljournal.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <optional>

using platform::odbc::DatabaseError;
using platform::odbc::Dialect;
using platform::odbc::Param;

namespace {

// A column of the central table, the value a journal row of a counter gives it, and the type
// of the array PostgreSQL gets its values of a batch in. A column that tables of earlier
// versions lack is optional: sent only where the table has it.
struct CentralColumn {
    const char* name;
    bool optional;
    const char* arrayType;
    Param (*value)(const JournalRow& row, const QString& counter);
};

// Moments go as the journal keeps them: the counter's wall clock, never shifted between zones.
const CentralColumn kCentralColumns[] = {
    {"id", false, "text", [](const JournalRow& r, const QString&) { return Param::Text(r.id); }},
    {"counter", false, "text", [](const JournalRow&, const QString& c) { return Param::Text(c); }},
    {"moment", false, "timestamp",
     [](const JournalRow& r, const QString&) { return Param::WallClock(r.moment); }},
    {"code", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.code); }},
    {"name", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.name); }},
    {"weighed", false, "bigint",
     [](const JournalRow& r, const QString&) { return Param::Int(r.weighed); }},
    {"quantity", false, "numeric",
     [](const JournalRow& r, const QString&) { return Param::Double(r.quantity); }},
    {"price", false, "numeric",
     [](const JournalRow& r, const QString&) { return Param::Double(r.price); }},
    {"amount", false, "numeric",
     [](const JournalRow& r, const QString&) { return Param::Double(r.sum); }},
    {"barcode", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.barcode); }},
    {"best_before", false, "timestamp",
     [](const JournalRow& r, const QString&) { return Param::WallClock(r.bestBefore); }},
    {"printer", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.printer); }},
    {"job_id", false, "bigint",
     [](const JournalRow& r, const QString&) { return Param::Int(r.jobId); }},
    {"reprint", false, "bigint",
     [](const JournalRow& r, const QString&) { return Param::Int(r.reprint); }},
    {"label_name", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.labelName); }},
    {"label_info", false, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.labelInfo); }},
    {"account", true, "text",
     [](const JournalRow& r, const QString&) { return Param::Text(r.account); }},
    // Whether the weight or count was keyed (NULL for a row of an earlier version that did not
    // know), and the tare taken off; a table has both of them or neither is sent.
    {"keyed", true, "smallint",
     [](const JournalRow& r, const QString&) {
         Param keyed = Param::Int(r.keyed.value_or(false) ? 1 : 0);
         keyed.null = !r.keyed.has_value();
         return keyed;
     }},
    {"tare", true, "numeric",
     [](const JournalRow& r, const QString&) { return Param::Double(r.tare); }},
};

const CentralColumn* FindColumn(const QString& name) {
    for (const CentralColumn& c : kCentralColumns)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

// One value in the text of a PostgreSQL array: quoted, with its quotes and backslashes
// escaped; NULL bare. Numbers to 15 significant digits, so that a price or a weight comes out
// as it was keyed, not as the nearest double; moments as the wall clock reads them.
void AppendArrayElement(QString& array, const Param& p) {
    if (p.null) {
        array += QLatin1String("NULL");
        return;
    }
    switch (p.kind) {
    case Param::Kind::Text:
        array += QLatin1Char('"');
        for (const QChar c : p.text) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                array += QLatin1Char('\\');
            array += c;
        }
        array += QLatin1Char('"');
        return;
    case Param::Kind::Double:
        array += QString::number(p.number, 'g', 15);
        return;
    case Param::Kind::Int:
        array += QString::number(p.integer);
        return;
    case Param::Kind::Timestamp:
        array += QLatin1Char('"') + p.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                 QLatin1Char('"');
        return;
    }
}

// The most parameters one statement carries: SQL Server takes 2,100, SQLite 999 in its older
// builds. PostgreSQL gets one array per column, whatever the rows.
int MaxParameters(Dialect dialect) {
    switch (dialect) {
    case Dialect::PostgreSQL:
        return std::numeric_limits<int>::max();
    case Dialect::SqlServer:
        return 2000;
    case Dialect::SQLite:
        return 999;
    case Dialect::Other:
        break;
    }
    return 0;
}

// psqlODBC wraps every statement of a transaction in a savepoint of its own (two more
// statements on the wire each) unless told to roll the whole transaction back on an error,
// which is what a batch wants anyway. A batch goes to PostgreSQL as one statement outside any
// transaction; the option keeps every transaction on this connection as lean. Other drivers
// get the string as it is.
QString WithoutStatementSavepoints(const QString& cs) {
    QString driver;
    for (const platform::odbc::ConnectionAttribute& a : platform::odbc::ParseConnectionString(cs)) {
        if (a.key.compare(QLatin1String("Protocol"), Qt::CaseInsensitive) == 0)
            return cs; // the installer chose
        if (a.key.compare(QLatin1String("Driver"), Qt::CaseInsensitive) == 0)
            driver = a.value;
    }
    QString library = driver;
    if (!driver.contains(QLatin1Char('/'))) {
        library.clear();
        for (const platform::odbc::DriverInfo& d : platform::odbc::InstalledDrivers())
            if (d.description.compare(driver, Qt::CaseInsensitive) == 0)
                for (const QString& attribute : d.attributes)
                    if (attribute.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive))
                        library = attribute.mid(7);
    }
    if (!QFileInfo(library).fileName().startsWith(QLatin1String("psqlodbc")))
        return cs;
    return cs + (cs.endsWith(QLatin1Char(';')) ? QString() : QStringLiteral(";")) +
           QStringLiteral("Protocol=7.4-1");
}

// Undoes an open transaction on every way out but a commit.
class Transaction {
public:
    explicit Transaction(platform::odbc::Connection& db) : m_db(db) { m_db.SetAutoCommit(false); }
    ~Transaction() {
        if (!m_bDone)
            m_db.Rollback();
        if (m_db.IsOpen() && !m_db.IsLost()) {
            try {
                m_db.SetAutoCommit(true);
            } catch (const DatabaseError&) {
                // The next Open starts afresh; nothing of this batch was kept.
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        m_db.Commit();
        m_bDone = true;
    }

private:
    platform::odbc::Connection& m_db;
    bool m_bDone = false;
};

} // namespace

class CCentralJournal::Running {
public:
    explicit Running(CCentralJournal& central) : m_central(central), m_st(central.m_db) {
        m_st.SetTimeout(central.m_nTimeoutS);
        std::lock_guard<std::mutex> lock(central.m_lock);
        if (central.m_bCancelled)
            throw DatabaseError(CancelledText(), QStringLiteral("HY008"));
        central.m_hRunning = m_st.Handle();
    }
    ~Running() {
        std::lock_guard<std::mutex> lock(m_central.m_lock);
        m_central.m_hRunning = SQL_NULL_HSTMT;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    platform::odbc::Statement& operator*() { return m_st; }
    platform::odbc::Statement* operator->() { return &m_st; }

    static QString CancelledText() {
        return QStringLiteral("Передача в центральный журнал прервана: программа закрывается.");
    }

private:
    CCentralJournal& m_central;
    platform::odbc::Statement m_st;
};

void CCentralJournal::Cancel() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bCancelled = true;
    // SQLCancel is the one call ODBC allows on a statement that another thread runs.
    if (m_hRunning != SQL_NULL_HSTMT)
        SQLCancel(m_hRunning);
}

bool CCentralJournal::IsDataRefusal(const DatabaseError& error) {
    // Class 22: a value the column cannot take (numeric overflow, a date out of range, a
    // text too long); class 23: a constraint of the table.
    const QString& state = error.SqlState();
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23"));
}

QString CCentralJournal::TableName() {
    return QStringLiteral("varnet_journal");
}

QStringList CCentralJournal::Columns(bool withOptional) {
    QStringList columns;
    for (const CentralColumn& c : kCentralColumns)
        if (withOptional || !c.optional)
            columns.append(QString::fromLatin1(c.name));
    return columns;
}

int CCentralJournal::RowsPerStatement(Dialect dialect, int columns) {
    return std::max(1, MaxParameters(dialect) / std::max(1, columns));
}

QString CCentralJournal::InsertStatement(Dialect dialect, const QStringList& columns, int rows) {
    const QString names = columns.join(QStringLiteral(", "));
    const QString marks = QLatin1Char('(') +
                          QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) +
                          QLatin1Char(')');
    const QString values = QStringList(std::max(1, rows), marks).join(QStringLiteral(", "));
    const QString head = QStringLiteral("INSERT INTO %1 (%2) ").arg(TableName(), names);
    if (dialect == Dialect::PostgreSQL) {
        // A column's values in one array: the server reads arrays as fast as COPY reads its
        // lines, where a VALUES list of thousands of parameters costs it three times that.
        QStringList arrays;
        for (const QString& column : columns) {
            const CentralColumn* c = FindColumn(column);
            arrays.append(QStringLiteral("?::%1[]").arg(QLatin1String(c ? c->arrayType : "text")));
        }
        return head + QStringLiteral("SELECT * FROM unnest(%1) ON CONFLICT (id) DO NOTHING")
                          .arg(arrays.join(QStringLiteral(", ")));
    }
    if (dialect == Dialect::SQLite)
        return head + QStringLiteral("VALUES %1 ON CONFLICT (id) DO NOTHING").arg(values);
    // The range lock keeps two senders of one row (two programs on one journal file) from
    // both finding its id missing.
    if (dialect == Dialect::SqlServer)
        return head + QStringLiteral("SELECT %1 FROM (VALUES %2) AS v (%1) WHERE NOT EXISTS "
                                     "(SELECT 1 FROM %3 WITH (UPDLOCK, HOLDLOCK) WHERE id = v.id)")
                          .arg(names, values, TableName());
    // A server of no known dialect may lack multi-row VALUES: one row, its id bound a second
    // time for the guard.
    return head + QStringLiteral("SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM %2 WHERE id = ?)")
                      .arg(marks.mid(1, marks.size() - 2), TableName());
}

void CCentralJournal::Open(const QString& connectionString) {
    m_db.Open(WithoutStatementSavepoints(connectionString));
    m_dialect = m_db.GetDialect();
    // The columns as the table has them: a query that returns none of its rows.
    Running st(*this);
    st->ExecDirect(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(TableName()));
    const QStringList present = st->ColumnNames();
    st->CloseCursor();
    m_columns.clear();
    for (const CentralColumn& c : kCentralColumns) {
        const QString name = QString::fromLatin1(c.name);
        if (!c.optional || present.contains(name, Qt::CaseInsensitive))
            m_columns.append(name);
    }
    if (!HasWeighing()) {
        m_columns.removeAll(QStringLiteral("keyed"));
        m_columns.removeAll(QStringLiteral("tare"));
    }
}

int CCentralJournal::Send(const QList<JournalRow>& rows, const QString& counter) {
    if (rows.isEmpty())
        return 0;
    std::vector<const CentralColumn*> columns;
    for (const QString& name : m_columns)
        columns.push_back(FindColumn(name));
    const bool multiRow = m_dialect != Dialect::Other;
    const int perStatement = multiRow ? RowsPerStatement(m_dialect, int(columns.size())) : 1;
    // One statement is a transaction of its own, and needs no more round trips for one.
    std::optional<Transaction> transaction;
    if (rows.size() > perStatement)
        transaction.emplace(m_db);
    Running st(*this);
    int inserted = 0;
    for (qsizetype from = 0; from < rows.size(); from += perStatement) {
        const qsizetype count = std::min<qsizetype>(perStatement, rows.size() - from);
        std::vector<Param> params;
        if (m_dialect == Dialect::PostgreSQL) {
            for (const CentralColumn* c : columns) {
                QString array = QStringLiteral("{");
                for (qsizetype i = from; i < from + count; ++i) {
                    if (i > from)
                        array += QLatin1Char(',');
                    AppendArrayElement(array, c->value(rows[i], counter));
                }
                params.push_back(Param::Text(array + QLatin1Char('}')));
            }
        } else {
            params.reserve(size_t(count) * (columns.size() + 1));
            for (qsizetype i = from; i < from + count; ++i) {
                for (const CentralColumn* c : columns)
                    params.push_back(c->value(rows[i], counter));
                if (!multiRow)
                    params.push_back(Param::Text(rows[i].id));
            }
        }
        {
            // A cancel that came between two statements: the rest of the batch is not sent.
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_bCancelled)
                throw DatabaseError(Running::CancelledText(), QStringLiteral("HY008"));
        }
        st->Execute(InsertStatement(m_dialect, m_columns, int(count)), params);
        inserted += int(std::max<long long>(0, st->RowCount()));
    }
    if (transaction)
        transaction->Commit();
    return inserted;
}

QList<JournalRow> CCentralJournal::Rows(const QDateTime& from, const QDateTime& to,
                                        const QString& counter) {
    QString sql =
        QStringLiteral("SELECT id, moment, code, name, weighed, quantity, price, amount,"
                       " barcode, best_before, printer, job_id, reprint, label_name,"
                       " label_info, %1, %2 FROM %3 WHERE moment >= ?")
            .arg(HasAccount() ? QStringLiteral("account") : QStringLiteral("''"),
                 HasWeighing() ? QStringLiteral("keyed, tare") : QStringLiteral("NULL, 0"),
                 TableName());
    std::vector<Param> params{Param::Timestamp(from)};
    // No server keeps a moment past the year 9999: the range is open then.
    if (to.isValid() && to.date().year() <= 9999) {
        sql += QStringLiteral(" AND moment < ?");
        params.push_back(Param::Timestamp(to));
    }
    if (!counter.isEmpty()) {
        sql += QStringLiteral(" AND counter = ?");
        params.push_back(Param::Text(counter));
    }
    sql += QStringLiteral(" ORDER BY moment, id");
    Running running(*this);
    platform::odbc::Statement& st = *running;
    st.SetReadOnly();
    st.Execute(sql, params);
    QList<JournalRow> rows;
    while (st.Fetch()) {
        JournalRow r;
        r.id = st.GetText(1).value_or(QString());
        r.moment = st.GetTimestamp(2).value_or(QDateTime());
        r.code = st.GetText(3).value_or(QString());
        r.name = st.GetText(4).value_or(QString());
        r.weighed = st.GetInt(5).value_or(0) != 0;
        r.quantity = st.GetDouble(6).value_or(0);
        r.price = st.GetDouble(7).value_or(0);
        r.sum = st.GetDouble(8).value_or(0);
        r.barcode = st.GetText(9).value_or(QString());
        r.bestBefore = st.GetTimestamp(10).value_or(QDateTime());
        r.printer = st.GetText(11).value_or(QString());
        r.jobId = st.GetInt(12).value_or(0);
        r.reprint = st.GetInt(13).value_or(0) != 0;
        r.labelName = st.GetText(14).value_or(QString());
        r.labelInfo = st.GetText(15).value_or(QString());
        r.account = st.GetText(16).value_or(QString());
        if (const std::optional<long long> keyed = st.GetInt(17))
            r.keyed = *keyed != 0;
        r.tare = st.GetDouble(18).value_or(0);
        rows.append(r);
    }
    return rows;
}
