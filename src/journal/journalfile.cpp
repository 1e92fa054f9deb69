#include "journal/journalfile.h"

#include <QStringList>
#include <QTimeZone>

#include <algorithm>

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
    " sent INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS labels_moment ON labels(moment);"
    "CREATE INDEX IF NOT EXISTS labels_unsent ON labels(sent) WHERE sent = 0;";

const char* const kColumns =
    "id, moment, code, name, weighed, quantity, price, sum, barcode, best_before, printer,"
    " job_id, reprint, label_name, label_info";
// What a query reads: kColumns and the account (an empty text where an older file read
// without writing has none).
constexpr int kColumnCount = 16;

// Columns that later versions keep, added to an older file when it is opened for writing;
// a reader finds them missing in an older file and does without.
struct AddedColumn {
    const char* name;
    const char* definition;
};
const AddedColumn kAddedColumns[] = {
    // The server's words for a row the central journal refused (the row's sent is then -1).
    {"central_error", "TEXT"},
    // The account that printed the label; empty in the rows of older versions.
    {"account", "TEXT NOT NULL DEFAULT ''"},
};

// The columns of kColumns: a file without all of them is not a packing journal.
const QStringList& JournalColumns() {
    static const QStringList columns =
        QString::fromLatin1(kColumns).remove(QLatin1Char(' ')).split(QLatin1Char(','));
    return columns;
}

bool IsDamageCode(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

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

// The number of digits at text[from, from + count); -1 when one of them is not a digit.
int Digits(const QString& text, int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// A moment as MomentText writes it, in zone (the system's, looked up once per read): the
// general parser and local time would ask the system for its time zone many times a row.
QDateTime ParseMoment(const QString& text, const QTimeZone& zone) {
    if (text.isEmpty())
        return QDateTime();
    static const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    const bool fixed = text.size() == format.size() && text.at(4) == QLatin1Char('-') &&
                       text.at(7) == QLatin1Char('-') && text.at(10) == QLatin1Char(' ') &&
                       text.at(13) == QLatin1Char(':') && text.at(16) == QLatin1Char(':') &&
                       text.at(19) == QLatin1Char('.');
    if (!fixed || !zone.isValid())
        return QDateTime::fromString(text, format);
    const QDate date(Digits(text, 0, 4), Digits(text, 5, 2), Digits(text, 8, 2));
    const QTime time(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2),
                     Digits(text, 20, 3));
    if (!date.isValid() || !time.isValid())
        return QDateTime::fromString(text, format);
    return QDateTime(date, time, zone);
}

// The row that Selected() reads, at the statement's current step.
JournalRow RowAt(const Statement& st, const QTimeZone& zone) {
    sqlite3_stmt* s = st.get();
    JournalRow r;
    r.id = st.Text(0);
    r.moment = ParseMoment(st.Text(1), zone);
    r.code = st.Text(2);
    r.name = st.Text(3);
    r.weighed = sqlite3_column_int(s, 4) != 0;
    r.quantity = sqlite3_column_double(s, 5);
    r.price = sqlite3_column_double(s, 6);
    r.sum = sqlite3_column_double(s, 7);
    r.barcode = st.Text(8);
    r.bestBefore = ParseMoment(st.Text(9), zone);
    r.printer = st.Text(10);
    r.jobId = sqlite3_column_int64(s, 11);
    r.reprint = sqlite3_column_int(s, 12) != 0;
    r.labelName = st.Text(13);
    r.labelInfo = st.Text(14);
    r.account = st.Text(15);
    return r;
}

// A moment past the year 9999 has no text that sorts after the stored ones.
bool IsOpenEnd(const QDateTime& to) {
    return !to.isValid() || to.date().year() > 9999;
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
    m_bDamaged = m_db && IsDamageCode(sqlite3_errcode(m_db));
    return false;
}

bool CJournalFile::Exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(message ? message : "SQLite error");
    m_bDamaged = IsDamageCode(rc);
    sqlite3_free(message);
    return false;
}

QString CJournalFile::Selected() const {
    return QLatin1String(kColumns) +
           (m_bHasAccount ? QStringLiteral(", account") : QStringLiteral(", ''"));
}

bool CJournalFile::HasColumn(const QString& column) {
    Statement st(m_db, QStringLiteral("SELECT 1 FROM pragma_table_info('labels') WHERE name = ?"));
    if (!st.get())
        return false;
    st.Bind(1, column);
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

bool CJournalFile::AddColumns() {
    for (const AddedColumn& c : kAddedColumns) {
        if (HasColumn(QString::fromLatin1(c.name)))
            continue;
        const QByteArray sql =
            QByteArray("ALTER TABLE labels ADD COLUMN ") + c.name + ' ' + c.definition + ';';
        if (!Exec(sql.constData()))
            return false;
    }
    return true;
}

bool CJournalFile::IsIntact(const QString& path, QString* reason) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    bool intact = true;
    if (rc != SQLITE_OK) {
        intact = !IsDamageCode(rc);
        if (!intact)
            *reason = QString::fromUtf8(sqlite3_errstr(rc));
    } else {
        sqlite3_busy_timeout(db, 250);
        sqlite3_stmt* st = nullptr;
        int step = sqlite3_prepare_v2(db, "PRAGMA quick_check;", -1, &st, nullptr);
        QStringList findings;
        if (step == SQLITE_OK) {
            while ((step = sqlite3_step(st)) == SQLITE_ROW) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                const QString finding = QString::fromUtf8(text ? text : "");
                if (finding != QLatin1String("ok") && findings.size() < 3)
                    findings.append(finding);
            }
        }
        const int code = step == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
        if (IsDamageCode(code)) {
            intact = false;
            *reason = QString::fromUtf8(sqlite3_errmsg(db));
        } else if (!findings.isEmpty()) {
            intact = false;
            *reason = findings.join(QStringLiteral("; "));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
    return intact;
}

bool CJournalFile::Open(const QString& path, bool create) {
    Close();
    m_path = path;
    m_bDamaged = false;
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
        !AddColumns()) {
        Close();
        return false;
    }
    m_bHasAccount = true;
    return true;
}

bool CJournalFile::OpenReadOnly(const QString& path) {
    Close();
    m_path = path;
    m_bDamaged = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        Fail(QStringLiteral("Cannot open %1").arg(path));
        Close();
        return false;
    }
    sqlite3_busy_timeout(m_db, 250);
    QStringList found;
    {
        Statement st(m_db, QStringLiteral("SELECT name FROM pragma_table_info('labels')"));
        int rc = SQLITE_ERROR;
        while (st.get() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
            found.append(st.Text(0));
        if (rc != SQLITE_DONE) {
            Fail(QStringLiteral("%1 is not a packing journal").arg(path));
            Close();
            return false;
        }
    }
    for (const QString& column : JournalColumns()) {
        if (!found.contains(column)) {
            m_error =
                QStringLiteral("%1 is not a packing journal (it has no table of labels)").arg(path);
            Close();
            return false;
        }
    }
    m_bHasAccount = found.contains(QStringLiteral("account"));
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
    Statement st(m_db, QStringLiteral("INSERT OR IGNORE INTO labels (%1, account) VALUES "
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
    const QTimeZone zone = QTimeZone::systemTimeZone();
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
        rows.append(RowAt(st, zone));
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
    const bool openEnd = IsOpenEnd(to);
    bool read = false;
    QList<JournalRow> rows = Query(
        QStringLiteral("SELECT %1 FROM labels WHERE moment >= ?%2 ORDER BY moment, rowid")
            .arg(Selected(), openEnd ? QString() : QStringLiteral(" AND moment < ?")),
        openEnd ? QStringList{MomentText(from)} : QStringList{MomentText(from), MomentText(to)},
        &read);
    if (!read && m_bDamaged) {
        // What the damage left readable, told apart by IsDamaged() and Error().
        const QString error = m_error;
        for (const JournalRow& r : ReadableRows())
            if (r.moment >= from && (openEnd || r.moment < to))
                rows.append(r);
        std::stable_sort(rows.begin(), rows.end(), [](const JournalRow& a, const JournalRow& b) {
            return a.moment < b.moment;
        });
        m_error = error;
        m_bDamaged = true;
        read = true;
    }
    if (ok)
        *ok = read;
    return rows;
}

QList<JournalRow> CJournalFile::ReadableRows() {
    // The table in the order of its rowids, one damaged page after another stepped over:
    // each page holds a run of rowids, so a read that starts past the damage goes on.
    QList<JournalRow> rows;
    const QString scan = QStringLiteral("SELECT %1, rowid FROM labels NOT INDEXED WHERE rowid > ? "
                                        "ORDER BY rowid")
                             .arg(Selected());
    const auto readableAfter = [this](qint64 after) {
        Statement st(m_db, QStringLiteral("SELECT rowid FROM labels NOT INDEXED WHERE rowid > ? "
                                          "ORDER BY rowid LIMIT 1"));
        if (!st.get())
            return false;
        sqlite3_bind_int64(st.get(), 1, after);
        const int rc = sqlite3_step(st.get());
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    };
    constexpr qint64 kFarthest = qint64(1) << 40;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    qint64 after = 0;
    for (int pass = 0; pass < 100000; ++pass) {
        Statement st(m_db, scan);
        if (!st.get())
            break;
        sqlite3_bind_int64(st.get(), 1, after);
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            rows.append(RowAt(st, zone));
            after = sqlite3_column_int64(st.get(), kColumnCount);
        }
        if (rc == SQLITE_DONE)
            break;
        // The damage starts right after `after`: the first start past it that reads, in
        // steps that double, then narrowed down to the first such start.
        qint64 failing = after;
        qint64 readable = -1;
        for (qint64 step = 1; step <= kFarthest; step *= 2) {
            if (readableAfter(after + step)) {
                readable = after + step;
                break;
            }
            failing = after + step;
        }
        if (readable < 0)
            break;
        while (readable - failing > 1) {
            const qint64 middle = failing + (readable - failing) / 2;
            (readableAfter(middle) ? readable : failing) = middle;
        }
        after = readable;
    }
    return rows;
}

bool CJournalFile::LastRow(JournalRow* row) {
    bool ok = false;
    // The row written last is the last label, whatever the clock said when it was packed.
    const QList<JournalRow> rows =
        Query(QStringLiteral("SELECT %1 FROM labels ORDER BY rowid DESC LIMIT 1").arg(Selected()),
              {}, &ok);
    if (!ok || rows.isEmpty())
        return false;
    *row = rows.first();
    return true;
}

QList<JournalRow> CJournalFile::Unsent(int limit, bool* ok) {
    return Query(QStringLiteral("SELECT %1 FROM labels WHERE sent = 0 ORDER BY rowid LIMIT %2")
                     .arg(Selected())
                     .arg(limit),
                 {}, ok);
}

QList<JournalRow> CJournalFile::All(bool* ok) {
    return Query(QStringLiteral("SELECT %1 FROM labels ORDER BY rowid").arg(Selected()), {}, ok);
}

bool CJournalFile::Remove(const QStringList& ids) {
    return ForEachId(ids, "DELETE FROM labels WHERE id = ?",
                     QStringLiteral("Cannot remove rows from the journal"));
}

bool CJournalFile::MarkSent(const QStringList& ids) {
    return ForEachId(ids, "UPDATE labels SET sent = 1 WHERE id = ?",
                     QStringLiteral("Cannot mark rows as sent"));
}

bool CJournalFile::SetMarksLazy() {
    return m_db && Exec("PRAGMA synchronous=NORMAL;");
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

bool CJournalFile::SetAside(const QList<SetAsideRow>& rows) {
    if (!m_db)
        return Fail(QStringLiteral("The journal is not open"));
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    Statement st(m_db,
                 QStringLiteral("UPDATE labels SET sent = -1, central_error = ? WHERE id = ?"));
    bool ok = st.get() != nullptr;
    for (const SetAsideRow& r : rows) {
        if (!ok)
            break;
        sqlite3_reset(st.get());
        st.Bind(1, r.error);
        st.Bind(2, r.row.id);
        ok = sqlite3_step(st.get()) == SQLITE_DONE;
    }
    if (!ok || !Exec("COMMIT;")) {
        Fail(QStringLiteral("Cannot set rows aside"));
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    return true;
}

QList<SetAsideRow> CJournalFile::SetAsideRows(bool* ok) {
    QList<SetAsideRow> rows;
    if (ok)
        *ok = false;
    if (!m_db) {
        Fail(QStringLiteral("The journal is not open"));
        return rows;
    }
    // A file older than the mark has no row set aside.
    if (HasColumn(QStringLiteral("central_error"))) {
        Statement st(m_db, QStringLiteral("SELECT %1, central_error FROM labels WHERE sent = -1 "
                                          "ORDER BY rowid")
                               .arg(Selected()));
        const QTimeZone zone = QTimeZone::systemTimeZone();
        int rc = SQLITE_ERROR;
        while (st.get() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
            rows.append({RowAt(st, zone), st.Text(kColumnCount)});
        if (rc != SQLITE_DONE) {
            Fail(QStringLiteral("Cannot read the journal"));
            return {};
        }
    }
    if (ok)
        *ok = true;
    return rows;
}
