#include "journal/journalfile.h"

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/fileopen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <utility>

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
    "CREATE INDEX IF NOT EXISTS labels_unsent ON labels(sent) WHERE sent = 0;"
    // Each «Закрыть смену»: the account's next label begins its next shift.
    "CREATE TABLE IF NOT EXISTS shift_closes ("
    " id TEXT PRIMARY KEY NOT NULL,"
    " moment TEXT NOT NULL,"
    " account TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS shift_closes_moment ON shift_closes(moment);";

const char* const kColumns =
    "id, moment, code, name, weighed, quantity, price, sum, barcode, best_before, printer,"
    " job_id, reprint, label_name, label_info";
// What a query reads: kColumns, the account, whether the weight was keyed and the tare (an
// empty text, NULL and 0 where an older file read without writing has none).
constexpr int kColumnCount = 18;

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
    // 1: the weight or count was keyed, 0: read from the scale; NULL in older rows.
    {"keyed", "INTEGER"},
    // Kilograms taken off the scale's weight; the quantity is the net weight.
    {"tare", "REAL NOT NULL DEFAULT 0"},
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

// Another connection holds the file, or its shared index, a moment longer than the wait.
bool IsBusyCode(int code) {
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED ||
           (code & 0xff) == SQLITE_PROTOCOL;
}

// SQLite opens a FIFO in the journal's place, or in the place of its -wal or -shm, and then
// waits for ever to read it; a socket, a device or a folder is no journal either. They are
// looked at before SQLite opens anything (the companions at the end of the journal's links,
// where SQLite puts them); the operator's text for the first one found, else empty.
QString NotAFileText(const QString& path) {
    const QString file = platform::ResolveLinks(path);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString part = file + QLatin1String(suffix);
        const platform::FileError kind = platform::CheckIsFile(part);
        if (platform::IsNotAFile(kind))
            return platform::FileErrorText(kind, *suffix ? part : path);
    }
    return QString();
}

// The longest text a journal row holds (a label's information is a few lines); a longer
// value in a file is not read.
constexpr int kLongestValue = 1024 * 1024;
// The most memory that SQLite as a whole may hold while a journal statement runs: far above
// what a day's or a year's journal needs, far below what a machine has. The same library
// serves the catalogue's ODBC driver in this process, so no limit is put on the library
// itself; only the journal's statement stops.
constexpr sqlite3_int64 kMemoryBound = 512LL * 1024 * 1024;

int StopAtMemoryBound(void*) {
    return sqlite3_memory_used() > kMemoryBound ? 1 : 0;
}

// Whatever the file holds, a connection to it runs our statements and nothing of the file's:
// no view, trigger or foreign-key action runs, no function of the schema that is not
// harmless, no extension loads, the schema cannot be written, and temporary data stays in a
// memory that is bounded. False when the library refuses any of it.
bool Harden(sqlite3* db) {
    const std::pair<int, int> settings[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},   {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_VIEW, 0}, {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
        {SQLITE_DBCONFIG_ENABLE_FKEY, 0}, {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0},
    };
    for (const auto& [option, value] : settings) {
        int now = -1;
        if (sqlite3_db_config(db, option, value, &now) != SQLITE_OK || now != value)
            return false;
    }
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestValue);
    sqlite3_progress_handler(db, 1000, StopAtMemoryBound, nullptr);
    return sqlite3_exec(db, "PRAGMA temp_store=MEMORY;", nullptr, nullptr, nullptr) == SQLITE_OK;
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

// What the file's `labels` is: absent (a new file), a table of the journal's columns, or
// something the readers must not touch.
struct LabelsShape {
    int rc = SQLITE_OK;    // the library's code when the schema could not be read
    bool bPresent = false; // the file has something named labels
    QString problem;       // why labels is no journal table; empty when it is one
    QStringList columns;   // the table's stored columns
};

// A view (which may never end), a virtual table, a trigger, or one of the journal's columns
// missing or computed makes labels no journal table: reading it would run what the file's
// author wrote. Columns beyond the journal's are left alone: a later version may add some.
LabelsShape ReadLabelsShape(sqlite3* db) {
    LabelsShape shape;
    const auto stepFailed = [&](int rc) {
        shape.rc = rc != SQLITE_OK ? rc : SQLITE_ERROR;
        return shape;
    };
    {
        Statement st(db, QStringLiteral("SELECT type, sql FROM sqlite_master "
                                        "WHERE name = 'labels' COLLATE NOCASE"));
        const int rc = st.get() ? sqlite3_step(st.get()) : sqlite3_errcode(db);
        if (rc == SQLITE_DONE)
            return shape;
        if (rc != SQLITE_ROW)
            return stepFailed(rc);
        shape.bPresent = true;
        if (st.Text(0) != QLatin1String("table")) {
            shape.problem = QStringLiteral("labels is not a table but a %1").arg(st.Text(0));
            return shape;
        }
        if (st.Text(1).simplified().startsWith(QLatin1String("CREATE VIRTUAL"),
                                               Qt::CaseInsensitive)) {
            shape.problem = QStringLiteral("labels is a virtual table");
            return shape;
        }
    }
    {
        Statement st(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                        "AND tbl_name = 'labels' COLLATE NOCASE"));
        const int rc = st.get() ? sqlite3_step(st.get()) : sqlite3_errcode(db);
        if (rc == SQLITE_ROW) {
            shape.problem = QStringLiteral("labels has a trigger (%1)").arg(st.Text(0));
            return shape;
        }
        if (rc != SQLITE_DONE)
            return stepFailed(rc);
    }
    QStringList computed;
    {
        Statement st(db, QStringLiteral("SELECT name, hidden FROM pragma_table_xinfo('labels')"));
        int rc = sqlite3_errcode(db);
        while (st.get() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
            (sqlite3_column_int(st.get(), 1) == 0 ? shape.columns : computed).append(st.Text(0));
        if (rc != SQLITE_DONE)
            return stepFailed(rc);
    }
    for (const QString& column : JournalColumns()) {
        if (computed.contains(column, Qt::CaseInsensitive)) {
            shape.problem = QStringLiteral("the column %1 of labels is computed").arg(column);
            break;
        }
        if (!shape.columns.contains(column, Qt::CaseInsensitive)) {
            shape.problem = QStringLiteral("labels has no column %1").arg(column);
            break;
        }
    }
    return shape;
}

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

// A moment read on its own, in the system's zone.
QDateTime ParseMoment(const QString& text) {
    return ParseMoment(text, QTimeZone::systemTimeZone());
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
    if (sqlite3_column_type(s, 16) != SQLITE_NULL)
        r.keyed = sqlite3_column_int(s, 16) != 0;
    r.tare = sqlite3_column_double(s, 17);
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
    m_bBusy = m_db && IsBusyCode(sqlite3_errcode(m_db));
    return false;
}

bool CJournalFile::Exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(message ? message : "SQLite error");
    m_bDamaged = IsDamageCode(rc);
    m_bBusy = IsBusyCode(rc);
    sqlite3_free(message);
    return false;
}

QString CJournalFile::Selected() const {
    return QLatin1String(kColumns) +
           (m_bHasAccount ? QStringLiteral(", account") : QStringLiteral(", ''")) +
           (m_bHasWeighing ? QStringLiteral(", keyed, tare") : QStringLiteral(", NULL, 0"));
}

bool CJournalFile::HasColumn(const QString& column) {
    Statement st(m_db, QStringLiteral("SELECT 1 FROM pragma_table_info('labels') WHERE name = ?"));
    if (!st.get())
        return false;
    st.Bind(1, column);
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

bool CJournalFile::HasTable(const QString& table) {
    Statement st(m_db,
                 QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    if (!st.get())
        return false;
    st.Bind(1, table);
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
    // Not damage: Open names what stands there instead of a file.
    if (!NotAFileText(path).isEmpty())
        return true;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    bool intact = true;
    if (rc != SQLITE_OK) {
        intact = !IsDamageCode(rc);
        if (!intact)
            *reason = QString::fromUtf8(sqlite3_errstr(rc));
    } else if (Harden(db)) {
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
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
        if (IsDamageCode(code)) {
            intact = false;
            *reason = message;
        } else if (!findings.isEmpty()) {
            intact = false;
            *reason = findings.join(QStringLiteral("; "));
        } else if (code == SQLITE_OK) {
            // Sound pages that make no journal are set aside as damage is.
            const LabelsShape shape = ReadLabelsShape(db);
            if (IsDamageCode(shape.rc)) {
                intact = false;
                *reason = QString::fromUtf8(sqlite3_errmsg(db));
            } else if (!shape.problem.isEmpty()) {
                intact = false;
                *reason = shape.problem;
            }
        }
    }
    sqlite3_close_v2(db);
    return intact;
}

bool CJournalFile::OpenConnection(const QString& path, int flags) {
    Close();
    m_path = path;
    m_bDamaged = false;
    m_bBusy = false;
    m_bNotAFile = false;
    if (const QString text = NotAFileText(path); !text.isEmpty()) {
        m_error = text;
        m_bNotAFile = true;
        return false;
    }
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        Fail(QStringLiteral("Cannot open %1").arg(path));
        Close();
        return false;
    }
    if (!Harden(m_db)) {
        Fail(QStringLiteral("Cannot open %1 with the safety settings of a journal").arg(path));
        Close();
        return false;
    }
    // A reader (the manager's tool, the dialog) never holds the writer up for long, and a
    // writer that still finds the file locked gives up quickly: the row then waits in
    // memory instead of the screen waiting.
    sqlite3_busy_timeout(m_db, 250);
    int persist = m_bKeepWal ? 1 : 0;
    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    return true;
}

bool CJournalFile::CheckShape(bool* present) {
    const LabelsShape shape = ReadLabelsShape(m_db);
    if (shape.rc != SQLITE_OK) {
        m_error = QStringLiteral("%1 is not a packing journal: %2")
                      .arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db)));
        m_bDamaged = IsDamageCode(shape.rc);
        m_bBusy = IsBusyCode(shape.rc);
    } else if (!shape.problem.isEmpty()) {
        m_error = QStringLiteral("%1 is not a packing journal (%2)").arg(m_path, shape.problem);
        m_bDamaged = true;
    } else {
        *present = shape.bPresent;
        m_bHasAccount = shape.columns.contains(QStringLiteral("account"), Qt::CaseInsensitive);
        m_bHasWeighing = shape.columns.contains(QStringLiteral("keyed"), Qt::CaseInsensitive) &&
                         shape.columns.contains(QStringLiteral("tare"), Qt::CaseInsensitive);
        m_bHasShifts = HasTable(QStringLiteral("shift_closes"));
        return true;
    }
    Close();
    return false;
}

bool CJournalFile::Open(const QString& path, bool create) {
    if (!OpenConnection(path, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0)))
        return false;
    bool present = false;
    if (!Exec("PRAGMA journal_mode=WAL;") || !Exec("PRAGMA synchronous=FULL;")) {
        Close();
        return false;
    }
    if (!CheckShape(&present))
        return false;
    if (!Exec(kSchema) || !AddColumns()) {
        Close();
        return false;
    }
    m_bHasAccount = true;
    m_bHasWeighing = true;
    m_bHasShifts = true;
    return true;
}

bool CJournalFile::OpenReadOnly(const QString& path) {
    if (!OpenConnection(path, SQLITE_OPEN_READONLY))
        return false;
    bool present = false;
    if (!CheckShape(&present))
        return false;
    if (!present) {
        m_error =
            QStringLiteral("%1 is not a packing journal (it has no table of labels)").arg(path);
        Close();
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
    Statement st(m_db, QStringLiteral("INSERT OR IGNORE INTO labels (%1, account, keyed, tare) "
                                      "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
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
        if (r.keyed)
            sqlite3_bind_int(s, 17, *r.keyed ? 1 : 0);
        else
            sqlite3_bind_null(s, 17);
        sqlite3_bind_double(s, 18, r.tare);
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

bool CJournalFile::AppendShiftCloses(const QList<ShiftClose>& closes) {
    if (!m_db)
        return Fail(QStringLiteral("The journal is not open"));
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    Statement st(m_db, QStringLiteral("INSERT OR IGNORE INTO shift_closes (id, moment, account) "
                                      "VALUES (?,?,?)"));
    bool ok = st.get() != nullptr;
    for (const ShiftClose& c : closes) {
        if (!ok)
            break;
        sqlite3_reset(st.get());
        st.Bind(1, c.id);
        st.Bind(2, MomentText(c.moment));
        st.Bind(3, c.account);
        ok = sqlite3_step(st.get()) == SQLITE_DONE;
    }
    if (!ok || !Exec("COMMIT;")) {
        Fail(QStringLiteral("Cannot write the journal"));
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    return true;
}

QList<ShiftClose> CJournalFile::ShiftCloses(const QDateTime& from, bool* ok) {
    QList<ShiftClose> closes;
    if (ok)
        *ok = false;
    if (!m_db) {
        Fail(QStringLiteral("The journal is not open"));
        return closes;
    }
    // A file of a version without shifts has no close in it.
    if (m_bHasShifts) {
        Statement st(m_db, QStringLiteral("SELECT id, moment, account FROM shift_closes "
                                          "WHERE moment >= ? ORDER BY moment, rowid"));
        if (st.get())
            st.Bind(1, MomentText(from));
        int rc = SQLITE_ERROR;
        while (st.get() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
            closes.append({st.Text(0), ParseMoment(st.Text(1)), st.Text(2)});
        if (rc != SQLITE_DONE) {
            Fail(QStringLiteral("Cannot read the journal"));
            return {};
        }
    }
    if (ok)
        *ok = true;
    return closes;
}

bool CJournalFile::RemoveShiftCloses(const QStringList& ids) {
    return ForEachId(ids, "DELETE FROM shift_closes WHERE id = ?",
                     QStringLiteral("Cannot remove rows from the journal"));
}

bool CJournalFile::KeepRefused(const QList<RefusedRow>& rows) {
    if (!m_db)
        return Fail(QStringLiteral("The journal is not open"));
    if (!Exec("CREATE TABLE IF NOT EXISTS refused_rows (id TEXT NOT NULL, received TEXT NOT NULL,"
              " account TEXT NOT NULL, reason TEXT NOT NULL, row TEXT NOT NULL);") ||
        !Exec("BEGIN IMMEDIATE;"))
        return false;
    Statement st(m_db, QStringLiteral("INSERT INTO refused_rows VALUES (?, ?, ?, ?, ?)"));
    bool ok = st.get() != nullptr;
    for (const RefusedRow& r : rows) {
        if (!ok)
            break;
        sqlite3_reset(st.get());
        st.Bind(1, r.id);
        st.Bind(2, MomentText(platform::Now()));
        st.Bind(3, r.account);
        st.Bind(4, r.reason);
        st.Bind(5, QString::fromUtf8(r.json));
        ok = sqlite3_step(st.get()) == SQLITE_DONE;
    }
    if (!ok || !Exec("COMMIT;")) {
        Fail(QStringLiteral("Cannot keep the refused rows"));
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    return true;
}

QList<RefusedRow> CJournalFile::RefusedRows(bool* ok) {
    QList<RefusedRow> rows;
    if (ok)
        *ok = false;
    if (!m_db) {
        Fail(QStringLiteral("The journal is not open"));
        return rows;
    }
    Statement exists(m_db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                          "name = 'refused_rows'"));
    if (exists.get() && sqlite3_step(exists.get()) == SQLITE_ROW) {
        Statement st(m_db, QStringLiteral("SELECT id, account, reason, row, received FROM "
                                          "refused_rows ORDER BY rowid"));
        int rc = SQLITE_ERROR;
        while (st.get() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
            rows.append({st.Text(0), st.Text(1), st.Text(2), st.Text(3).toUtf8(), st.Text(4)});
        if (rc != SQLITE_DONE) {
            Fail(QStringLiteral("Cannot read the journal"));
            return {};
        }
    }
    if (ok)
        *ok = true;
    return rows;
}

QString SetJournalFileAside(const QString& path) {
    const QFileInfo info(path);
    const QString stamp = platform::Now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside;
    for (int n = 1; aside.isEmpty() || QFileInfo::exists(aside); ++n)
        aside = info.dir().filePath(QStringLiteral("%1-damaged-%2%3.%4")
                                        .arg(info.completeBaseName(), stamp,
                                             n == 1 ? QString() : QStringLiteral("-%1").arg(n),
                                             info.suffix()));
    if (!QFile::rename(path, aside))
        return QString();
    for (const char* part : {"-wal", "-shm"})
        if (QFileInfo::exists(path + QLatin1String(part)) &&
            !QFile::rename(path + QLatin1String(part), aside + QLatin1String(part)))
            return QString();
    return aside;
}
