#include "journal/journalfile.h"

#include <QStringList>

#include <sqlite3.h>

namespace {

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS labels ("
    " id TEXT PRIMARY KEY NOT NULL,"
    " moment TEXT NOT NULL,"
    " code TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " weighed INTEGER NOT NULL,"
    " quantity REAL NOT NULL,"
    " price REAL NOT NULL,"
    " sum REAL NOT NULL,"
    " barcode TEXT NOT NULL,"
    " best_before TEXT,"
    " printer TEXT NOT NULL,"
    " job_id INTEGER NOT NULL,"
    " reprint INTEGER NOT NULL,"
    " label_name TEXT NOT NULL,"
    " label_info TEXT NOT NULL,"
    " sent INTEGER NOT NULL DEFAULT 0,"
    " account TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX IF NOT EXISTS labels_moment ON labels(moment);"
    "CREATE INDEX IF NOT EXISTS labels_unsent ON labels(sent) WHERE sent = 0;";

const char* const kColumns =
    "id, moment, code, name, weighed, quantity, price, sum, barcode, best_before, printer,"
    " job_id, reprint, label_name, label_info, account";

// Columns that later versions added, with their definitions: a file of an earlier version
// gets them when it is opened for writing.
struct AddedColumn {
    const char* name;
    const char* definition;
};
const AddedColumn kAddedColumns[] = {
    {"account", "TEXT NOT NULL DEFAULT ''"},
};

// Statements are finalized on every way out.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

    void Bind(int i, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    QString Text(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

QDateTime ParseMoment(const QString& text) {
    return text.isEmpty() ? QDateTime()
                          : QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

CJournalFile::~CJournalFile() {
    Close();
}

QString CJournalFile::MomentText(const QDateTime& dt) {
    return dt.isValid() ? dt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                        : QString();
}

bool CJournalFile::Fail(const QString& what) {
    m_error = m_db ? what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db)) : what;
    return false;
}

bool CJournalFile::Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(message ? message : "SQLite error");
    sqlite3_free(message);
    return false;
}

bool CJournalFile::Open(const QString& path, bool create) {
    Close();
    m_path = path;
    const int flags =
        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        Fail(QStringLiteral("Cannot open %1").arg(path));
        Close();
        return false;
    }
    // A reader (the manager's tool, the dialog) never holds the writer up for long, and a
    // writer that still finds the file locked gives up quickly: the row then waits in
    // memory instead of the screen waiting.
    sqlite3_busy_timeout(m_db, 250);
    if (!Exec("PRAGMA journal_mode=WAL;") || !Exec("PRAGMA synchronous=FULL;") || !Exec(kSchema) ||
        !AddMissingColumns()) {
        Close();
        return false;
    }
    return true;
}

bool CJournalFile::AddMissingColumns() {
    QStringList present;
    {
        Statement st(m_db, QStringLiteral("PRAGMA table_info(labels)"));
        if (!st.get())
            return Fail(QStringLiteral("Cannot read the journal"));
        while (sqlite3_step(st.get()) == SQLITE_ROW)
            present.append(st.Text(1));
    }
    for (const AddedColumn& c : kAddedColumns) {
        if (present.contains(QLatin1String(c.name)))
            continue;
        const QByteArray sql =
            QByteArray("ALTER TABLE labels ADD COLUMN ") + c.name + ' ' + c.definition + ';';
        if (!Exec(sql.constData()))
            return false;
    }
    return true;
}

void CJournalFile::Close() {
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool CJournalFile::Append(const QList<JournalRow>& rows) {
    if (!m_db)
        return Fail(QStringLiteral("The journal is not open"));
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    Statement st(m_db, QStringLiteral("INSERT OR IGNORE INTO labels (%1) VALUES "
                                      "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                           .arg(QLatin1String(kColumns)));
    bool ok = st.get() != nullptr;
    for (const JournalRow& r : rows) {
        if (!ok)
            break;
        sqlite3_stmt* s = st.get();
        sqlite3_reset(s);
        st.Bind(1, r.id);
        st.Bind(2, MomentText(r.moment));
        st.Bind(3, r.code);
        st.Bind(4, r.name);
        sqlite3_bind_int(s, 5, r.weighed ? 1 : 0);
        sqlite3_bind_double(s, 6, r.quantity);
        sqlite3_bind_double(s, 7, r.price);
        sqlite3_bind_double(s, 8, r.sum);
        st.Bind(9, r.barcode);
        if (r.bestBefore.isValid())
            st.Bind(10, MomentText(r.bestBefore));
        else
            sqlite3_bind_null(s, 10);
        st.Bind(11, r.printer);
        sqlite3_bind_int64(s, 12, r.jobId);
        sqlite3_bind_int(s, 13, r.reprint ? 1 : 0);
        st.Bind(14, r.labelName);
        st.Bind(15, r.labelInfo);
        st.Bind(16, r.account);
        ok = sqlite3_step(s) == SQLITE_DONE;
    }
    if (!ok) {
        Fail(QStringLiteral("Cannot write the journal"));
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    if (!Exec("COMMIT;")) {
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    return true;
}

QList<JournalRow> CJournalFile::Query(const QString& sql, const QStringList& args, bool* ok) {
    QList<JournalRow> rows;
    if (ok)
        *ok = false;
    if (!m_db) {
        Fail(QStringLiteral("The journal is not open"));
        return rows;
    }
    Statement st(m_db, sql);
    if (!st.get()) {
        Fail(QStringLiteral("Cannot read the journal"));
        return rows;
    }
    for (int i = 0; i < args.size(); ++i)
        st.Bind(i + 1, args[i]);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = st.get();
        JournalRow r;
        r.id = st.Text(0);
        r.moment = ParseMoment(st.Text(1));
        r.code = st.Text(2);
        r.name = st.Text(3);
        r.weighed = sqlite3_column_int(s, 4) != 0;
        r.quantity = sqlite3_column_double(s, 5);
        r.price = sqlite3_column_double(s, 6);
        r.sum = sqlite3_column_double(s, 7);
        r.barcode = st.Text(8);
        r.bestBefore = ParseMoment(st.Text(9));
        r.printer = st.Text(10);
        r.jobId = sqlite3_column_int64(s, 11);
        r.reprint = sqlite3_column_int(s, 12) != 0;
        r.labelName = st.Text(13);
        r.labelInfo = st.Text(14);
        r.account = st.Text(15);
        rows.append(r);
    }
    if (rc != SQLITE_DONE) {
        Fail(QStringLiteral("Cannot read the journal"));
        rows.clear();
        return rows;
    }
    if (ok)
        *ok = true;
    return rows;
}

QList<JournalRow> CJournalFile::Rows(const QDateTime& from, const QDateTime& to, bool* ok) {
    return Query(QStringLiteral("SELECT %1 FROM labels WHERE moment >= ? AND moment < ? "
                                "ORDER BY moment, rowid")
                     .arg(QLatin1String(kColumns)),
                 {MomentText(from), MomentText(to)}, ok);
}

bool CJournalFile::LastRow(JournalRow* row) {
    bool ok = false;
    const QList<JournalRow> rows =
        Query(QStringLiteral("SELECT %1 FROM labels ORDER BY moment DESC, rowid DESC LIMIT 1")
                  .arg(QLatin1String(kColumns)),
              {}, &ok);
    if (!ok || rows.isEmpty())
        return false;
    *row = rows.first();
    return true;
}

QList<JournalRow> CJournalFile::All(bool* ok) {
    return Query(
        QStringLiteral("SELECT %1 FROM labels ORDER BY rowid").arg(QLatin1String(kColumns)), {},
        ok);
}

bool CJournalFile::Remove(const QStringList& ids) {
    return ForEachId(ids, "DELETE FROM labels WHERE id = ?",
                     QStringLiteral("Cannot remove rows from the journal"));
}

QList<JournalRow> CJournalFile::Unsent(int limit, bool* ok) {
    return Query(QStringLiteral("SELECT %1 FROM labels WHERE sent = 0 ORDER BY rowid LIMIT %2")
                     .arg(QLatin1String(kColumns))
                     .arg(limit),
                 {}, ok);
}

bool CJournalFile::MarkSent(const QStringList& ids) {
    return ForEachId(ids, "UPDATE labels SET sent = 1 WHERE id = ?",
                     QStringLiteral("Cannot mark rows as sent"));
}

bool CJournalFile::ForEachId(const QStringList& ids, const char* sql, const QString& failure) {
    if (!m_db)
        return Fail(QStringLiteral("The journal is not open"));
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    Statement st(m_db, QString::fromLatin1(sql));
    bool ok = st.get() != nullptr;
    for (const QString& id : ids) {
        if (!ok)
            break;
        sqlite3_reset(st.get());
        st.Bind(1, id);
        ok = sqlite3_step(st.get()) == SQLITE_DONE;
    }
    if (!ok || !Exec("COMMIT;")) {
        Fail(failure);
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    return true;
}
