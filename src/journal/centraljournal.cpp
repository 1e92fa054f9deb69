#include "journal/centraljournal.h"

using platform::odbc::DatabaseError;
using platform::odbc::Dialect;
using platform::odbc::Param;

namespace {

const char* const kColumns = "id, counter, moment, code, name, weighed, quantity, price, amount,"
                             " barcode, best_before, printer, job_id, reprint, label_name,"
                             " label_info";
constexpr int kColumnCount = 16;

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

QString CCentralJournal::InsertStatement(Dialect dialect, bool withAccount, bool withWeighing) {
    QStringList marks;
    for (int i = 0; i < kColumnCount + (withAccount ? 1 : 0) + (withWeighing ? 2 : 0); ++i)
        marks.append(QStringLiteral("?"));
    const QString head = QStringLiteral("INSERT INTO %1 (%2%3%4) ")
                             .arg(TableName(), QLatin1String(kColumns),
                                  withAccount ? QStringLiteral(", account") : QString(),
                                  withWeighing ? QStringLiteral(", keyed, tare") : QString());
    if (dialect == Dialect::PostgreSQL || dialect == Dialect::SQLite)
        return head + QStringLiteral("VALUES (%1) ON CONFLICT (id) DO NOTHING")
                          .arg(marks.join(QLatin1Char(',')));
    // The range lock keeps two senders of one row (two programs on one journal file) from
    // both finding its id missing; the id is bound a second time for the guard.
    const QString hint =
        dialect == Dialect::SqlServer ? QStringLiteral(" WITH (UPDLOCK, HOLDLOCK)") : QString();
    return head + QStringLiteral("SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM %2%3 WHERE id = ?)")
                      .arg(marks.join(QLatin1Char(',')), TableName(), hint);
}

void CCentralJournal::Open(const QString& connectionString) {
    m_db.Open(connectionString);
    m_dialect = m_db.GetDialect();
    // The columns as the table has them: a query that returns none of its rows.
    Running st(*this);
    st->ExecDirect(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(TableName()));
    const QStringList columns = st->ColumnNames();
    m_bHasAccount = columns.contains(QStringLiteral("account"), Qt::CaseInsensitive);
    m_bHasWeighing = columns.contains(QStringLiteral("keyed"), Qt::CaseInsensitive) &&
                     columns.contains(QStringLiteral("tare"), Qt::CaseInsensitive);
    st->CloseCursor();
}

int CCentralJournal::Send(const QList<JournalRow>& rows, const QString& counter) {
    const QString sql = InsertStatement(m_dialect, m_bHasAccount, m_bHasWeighing);
    const bool guardedById = !sql.contains(QLatin1String("ON CONFLICT"));
    int inserted = 0;
    Transaction transaction(m_db);
    Running st(*this);
    for (const JournalRow& r : rows) {
        std::vector<Param> params{
            Param::Text(r.id),
            Param::Text(counter),
            Param::Timestamp(r.moment),
            Param::Text(r.code),
            Param::Text(r.name),
            Param::Int(r.weighed ? 1 : 0),
            Param::Double(r.quantity),
            Param::Double(r.price),
            Param::Double(r.sum),
            Param::Text(r.barcode),
            Param::Timestamp(r.bestBefore),
            Param::Text(r.printer),
            Param::Int(r.jobId),
            Param::Int(r.reprint ? 1 : 0),
            Param::Text(r.labelName),
            Param::Text(r.labelInfo),
        };
        if (m_bHasAccount)
            params.push_back(Param::Text(r.account));
        if (m_bHasWeighing) {
            Param keyed = Param::Int(r.keyed.value_or(false) ? 1 : 0);
            keyed.null = !r.keyed.has_value();
            params.push_back(keyed);
            params.push_back(Param::Double(r.tare));
        }
        if (guardedById)
            params.push_back(Param::Text(r.id));
        {
            // A cancel that came between two rows: the rest of the batch is not sent.
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_bCancelled)
                throw DatabaseError(Running::CancelledText(), QStringLiteral("HY008"));
        }
        st->Execute(sql, params);
        if (st->RowCount() > 0)
            ++inserted;
    }
    transaction.Commit();
    return inserted;
}

QList<JournalRow> CCentralJournal::Rows(const QDateTime& from, const QDateTime& to,
                                        const QString& counter) {
    QString sql =
        QStringLiteral("SELECT id, moment, code, name, weighed, quantity, price, amount,"
                       " barcode, best_before, printer, job_id, reprint, label_name,"
                       " label_info, %1, %2 FROM %3 WHERE moment >= ?")
            .arg(m_bHasAccount ? QStringLiteral("account") : QStringLiteral("''"),
                 m_bHasWeighing ? QStringLiteral("keyed, tare") : QStringLiteral("NULL, 0"),
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
