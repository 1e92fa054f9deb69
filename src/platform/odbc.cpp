#include "platform/odbc.h"

#include "platform/connectionstring.h"
#include "platform/paths.h"
#include "platform/trustedpath.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16");

namespace platform::odbc {

namespace {
SQLWCHAR* W(std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(s.data());
}
} // namespace

DatabaseError::DatabaseError(QString text, QString sqlState)
    : m_strError(std::move(text)), m_strState(std::move(sqlState)), m_utf8(m_strError.toUtf8()) {}

QString NoErrorMessageText() {
    return QStringLiteral("Отсутствует сообщение об ошибке.");
}

QString FromSqlWChar(const SQLWCHAR* text, qsizetype length) {
    if (length < 0) {
        length = 0;
        while (text[length])
            ++length;
    }
    return QString(reinterpret_cast<const QChar*>(text), length);
}

std::u16string ToSqlWChar(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

QString FirstSqlState(SQLSMALLINT handleType, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, handle, 1, state, &native, nullptr, 0, &len)))
        return QString();
    return FromSqlWChar(state, 5);
}

void Check(SQLRETURN ret, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (SQL_SUCCEEDED(ret) || ret == SQL_NO_DATA)
        return;
    QStringList texts;
    QString firstState;
    if (handle != nullptr) {
        for (SQLSMALLINT rec = 1;; ++rec) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT len = 0;
            std::u16string msg(1024, u'\0');
            const SQLRETURN r = SQLGetDiagRecW(handleType, handle, rec, state, &native, W(msg),
                                               static_cast<SQLSMALLINT>(msg.size()), &len);
            if (!SQL_SUCCEEDED(r))
                break;
            if (rec == 1)
                firstState = FromSqlWChar(state, 5);
            const QString text =
                FromSqlWChar(W(msg), qMin<qsizetype>(len, msg.size() - 1)).trimmed();
            if (!text.isEmpty())
                texts.append(text);
        }
    }
    if (ret == SQL_INVALID_HANDLE && texts.isEmpty())
        texts.append(QStringLiteral("Неверный дескриптор ODBC."));
    throw DatabaseError(texts.isEmpty() ? NoErrorMessageText() : texts.join(QLatin1Char('\n')),
                        firstState);
}

SQLHENV Environment() {
    static const SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    if (env == SQL_NULL_HENV)
        throw DatabaseError(QStringLiteral("Не удалось открыть среду ODBC."), QString());
    return env;
}

bool IsConnectionFailure(const QString& sqlState) {
    return sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

Dialect DialectFromDbmsName(const QString& dbmsName) {
    if (dbmsName.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive))
        return Dialect::SqlServer;
    if (dbmsName.contains(QLatin1String("SQLite"), Qt::CaseInsensitive))
        return Dialect::SQLite;
    if (dbmsName.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return Dialect::PostgreSQL;
    return Dialect::Other;
}

namespace {
// A value in braces with "}" doubled when it needs them: the driver manager's own reading.
QString DriverManagerValue(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('}')) &&
        !value.startsWith(QLatin1Char('{')))
        return value;
    QString v = value;
    v.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}
} // namespace

QList<ConnectionAttribute> ParseConnectionString(const QString& cs) {
    QList<ConnectionAttribute> attributes;
    qsizetype i = 0;
    while (i < cs.size()) {
        const qsizetype eq = cs.indexOf(QLatin1Char('='), i);
        const qsizetype semi = cs.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A piece without "=" carries no attribute.
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        ConnectionAttribute a;
        a.key = cs.mid(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        a.start = v;
        if (v < cs.size() && cs.at(v) == QLatin1Char('{')) {
            // Braced: up to the first "}" that is not doubled.
            qsizetype j = v + 1;
            for (; j < cs.size(); ++j) {
                if (cs.at(j) != QLatin1Char('}'))
                    continue;
                if (j + 1 < cs.size() && cs.at(j + 1) == QLatin1Char('}')) {
                    ++j;
                    continue;
                }
                break;
            }
            a.value = cs.mid(v + 1, j - v - 1).replace(QLatin1String("}}"), QLatin1String("}"));
            const qsizetype end = std::min(j + 1, cs.size());
            a.length = end - v;
            const qsizetype next = cs.indexOf(QLatin1Char(';'), end);
            i = next < 0 ? cs.size() : next + 1;
        } else {
            const qsizetype end = semi < 0 ? cs.size() : semi;
            a.value = cs.mid(v, end - v);
            a.length = end - v;
            i = end + 1;
        }
        attributes.append(a);
    }
    return attributes;
}

QString TrustedConnectionString(const QString& cs, const QString& ownExtension) {
    // Attributes whose values the driver manager or a driver loads as code, or reads the
    // name of such code from.
    struct Loaded {
        const char* key;
        const char* refusal; // %1: the path
        bool list;           // several paths separated by ","
    };
    static const Loaded kLoaded[] = {
        {"DRIVER", "Драйвер ODBC %1 не будет загружен", false},
        {"FILEDSN", "Файл источника данных ODBC %1 не будет прочитан", false},
        {"LOADEXT", "Расширение SQLite %1 не будет загружено", true},
    };
    QString result = cs;
    const QList<ConnectionAttribute> attributes = ParseConnectionString(cs);
    // From the end, so that the places of the earlier values stay valid.
    for (auto it = attributes.crbegin(); it != attributes.crend(); ++it) {
        const Loaded* loaded = nullptr;
        for (const Loaded& l : kLoaded)
            if (it->key.compare(QLatin1String(l.key), Qt::CaseInsensitive) == 0)
                loaded = &l;
        // A name without a path is one the driver manager's own registry resolves.
        if (!loaded || !it->value.contains(QLatin1Char('/')))
            continue;
        QStringList paths =
            loaded->list ? it->value.split(QLatin1Char(',')) : QStringList{it->value};
        for (QString& path : paths) {
            path = path.trimmed();
            if (!ownExtension.isEmpty() && path == ownExtension)
                continue;
            const TrustedPath check = CheckTrustedFile(path);
            if (!check.trusted)
                throw DatabaseError(
                    QString::fromUtf8(loaded->refusal).arg(path) +
                        QStringLiteral(": %1. Укажите драйвер, зарегистрированный в "
                                       "odbcinst.ini, или файл, который может изменять только "
                                       "root.")
                            .arg(check.reason),
                    QStringLiteral("HY000"));
            // The resolved name: a link on the way cannot be turned elsewhere after the check.
            path = check.resolved;
        }
        result.replace(it->start, it->length, DriverManagerValue(paths.join(QLatin1Char(','))));
    }
    return result;
}

Connection::~Connection() {
    Close();
}

void Connection::Open(const QString& connectionString) {
    const QString checked = CheckedConnectionString(connectionString);
    OpenTrusted(TrustedConnectionString(checked, SqliteExtensionPath()));
    // A second connection to the same database goes through the same checks; the program's
    // own extension is added again then.
    m_strConnect = checked;
}

void Connection::OpenTrusted(const QString& connectionString) {
    Close();
    SQLHDBC h = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &h), SQL_HANDLE_ENV, Environment());
    SQLSetConnectAttrW(h, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
    const SQLRETURN ret = DriverConnect(h, connectionString);
    if (!SQL_SUCCEEDED(ret)) {
        try {
            Check(ret == SQL_NO_DATA ? SQL_ERROR : ret, SQL_HANDLE_DBC, h);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_DBC, h);
            throw;
        }
    }
    m_hdbc = h;
    m_bLost = false;
    m_strConnect = connectionString;
    if (GetDialect() == Dialect::SQLite &&
        !connectionString.contains(QLatin1String("LoadExt="), Qt::CaseInsensitive)) {
        // Names are matched and ordered by functions of our own SQLite extension, which the
        // driver loads only while it connects.
        const QString extension = SqliteExtensionPath();
        if (!extension.isEmpty())
            OpenTrusted(connectionString + QStringLiteral(";LoadExt=") + extension);
    }
}

QString Connection::SqliteExtensionPath() {
    const QString path = platform::ExecutableDirectory() + QLatin1Char('/') +
                         QStringLiteral(VARNET_SQLITE_EXTENSION);
    // The driver takes the value up to the next ";" and splits it at ",", without quoting.
    for (const char c : {';', ',', '{', '}'})
        if (path.contains(QLatin1Char(c)))
            return QString();
    return QFileInfo::exists(path) ? path : QString();
}

void Connection::Close() {
    if (m_hdbc == SQL_NULL_HDBC)
        return;
    SQLDisconnect(m_hdbc);
    SQLFreeHandle(SQL_HANDLE_DBC, m_hdbc);
    m_hdbc = SQL_NULL_HDBC;
    m_bLost = false;
    m_strConnect.clear();
}

void Connection::SetAutoCommit(bool on) {
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    Check(SQLSetConnectAttrW(m_hdbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0),
          SQL_HANDLE_DBC, m_hdbc);
}

void Connection::Commit() {
    try {
        Check(SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_COMMIT), SQL_HANDLE_DBC, m_hdbc);
    } catch (const DatabaseError& e) {
        NoteFailure(e);
        throw;
    }
}

void Connection::Rollback() {
    // A rollback on a dead link fails as well; the transaction is gone with it either way.
    if (IsOpen())
        SQLEndTran(SQL_HANDLE_DBC, m_hdbc, SQL_ROLLBACK);
}

bool Connection::IsLost() const {
    if (!IsOpen())
        return false;
    if (m_bLost)
        return true;
    // Drivers that notice a broken link keep it in this attribute without a round trip;
    // one that does not know the attribute leaves the answer "alive".
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(SQLGetConnectAttrW(m_hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE)
        m_bLost = true;
    return m_bLost;
}

void Connection::NoteFailure(const DatabaseError& error) const {
    if (IsOpen() && IsConnectionFailure(error.SqlState()))
        m_bLost = true;
}

QString Connection::DbmsName() const {
    if (!IsOpen())
        return QString();
    SQLWCHAR name[256] = {};
    SQLSMALLINT len = 0;
    Check(SQLGetInfoW(m_hdbc, SQL_DBMS_NAME, name, sizeof name, &len), SQL_HANDLE_DBC, m_hdbc);
    return FromSqlWChar(name);
}

Statement::Statement(const Connection& connection) : m_connection(connection) {
    if (!connection.IsOpen())
        throw DatabaseError(QStringLiteral("Нет соединения с базой данных."),
                            QStringLiteral("08003"));
    try {
        odbc::Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.Handle(), &m_hstmt), SQL_HANDLE_DBC,
                    connection.Handle());
    } catch (const DatabaseError& e) {
        connection.NoteFailure(e);
        throw;
    }
}

void Statement::Check(SQLRETURN ret) const {
    try {
        odbc::Check(ret, SQL_HANDLE_STMT, m_hstmt);
    } catch (const DatabaseError& e) {
        m_connection.NoteFailure(e);
        throw;
    }
}

Statement::~Statement() {
    if (m_hstmt != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, m_hstmt);
}

void Statement::SetReadOnly() {
    // A driver that cannot honour the request answers 01S02 and takes the nearest: fine.
    SQLSetStmtAttrW(m_hstmt, SQL_ATTR_CONCURRENCY,
                    reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 0);
    SQLSetStmtAttrW(m_hstmt, SQL_ATTR_CURSOR_TYPE,
                    reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
}

void Statement::SetTimeout(int seconds) {
    Check(SQLSetStmtAttrW(m_hstmt, SQL_ATTR_QUERY_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(0, seconds))),
                          0));
}

void Statement::ExecDirect(const QString& sql) {
    std::u16string text = ToSqlWChar(sql);
    Check(SQLExecDirectW(m_hstmt, W(text), static_cast<SQLINTEGER>(text.size())));
}

Param Param::Text(const QString& v) {
    Param p;
    p.kind = Kind::Text;
    p.text = v;
    p.null = v.isNull();
    return p;
}

Param Param::Double(double v) {
    Param p;
    p.kind = Kind::Double;
    p.number = v;
    return p;
}

Param Param::Int(long long v) {
    Param p;
    p.kind = Kind::Int;
    p.integer = v;
    return p;
}

Param Param::Timestamp(const QDateTime& v) {
    Param p;
    p.kind = Kind::Timestamp;
    p.moment = v;
    p.null = !v.isValid();
    return p;
}

Param Param::WallClock(const QDateTime& v) {
    Param p = Timestamp(v);
    p.wallClock = true;
    return p;
}

void Statement::Execute(const QString& sql, const std::vector<Param>& params) {
    // The driver reads the bound buffers when the statement runs: they live until then, each
    // at an address that no later push moves.
    const size_t n = params.size();
    std::vector<std::u16string> texts(n);
    std::vector<SQL_TIMESTAMP_STRUCT> stamps(n);
    std::vector<SQLDOUBLE> doubles(n);
    std::vector<SQLBIGINT> ints(n);
    std::vector<SQLLEN> lengths(n);
    SQLFreeStmt(m_hstmt, SQL_RESET_PARAMS);
    for (size_t i = 0; i < n; ++i) {
        const Param& p = params[i];
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLSMALLINT sqlType = SQL_WVARCHAR;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLPOINTER value = nullptr;
        SQLLEN room = 0;
        switch (p.kind) {
        case Param::Kind::Text:
            texts[i] = ToSqlWChar(p.text);
            value = texts[i].data();
            lengths[i] = static_cast<SQLLEN>(texts[i].size() * sizeof(SQLWCHAR));
            room = lengths[i];
            size = std::max<SQLULEN>(1, texts[i].size());
            break;
        case Param::Kind::Double:
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            doubles[i] = p.number;
            value = &doubles[i];
            break;
        case Param::Kind::Int:
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            ints[i] = p.integer;
            value = &ints[i];
            break;
        case Param::Kind::Timestamp: {
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            size = 23;
            digits = 3;
            const QDateTime local = p.wallClock ? p.moment : p.moment.toLocalTime();
            SQL_TIMESTAMP_STRUCT& ts = stamps[i];
            ts.year = static_cast<SQLSMALLINT>(local.date().year());
            ts.month = static_cast<SQLUSMALLINT>(local.date().month());
            ts.day = static_cast<SQLUSMALLINT>(local.date().day());
            ts.hour = static_cast<SQLUSMALLINT>(local.time().hour());
            ts.minute = static_cast<SQLUSMALLINT>(local.time().minute());
            ts.second = static_cast<SQLUSMALLINT>(local.time().second());
            ts.fraction = static_cast<SQLUINTEGER>(local.time().msec()) * 1000000u;
            value = &ts;
            break;
        }
        }
        if (p.null)
            lengths[i] = SQL_NULL_DATA;
        Check(SQLBindParameter(m_hstmt, number, SQL_PARAM_INPUT, cType, sqlType, size, digits,
                               value, room, &lengths[i]));
    }
    std::u16string text = ToSqlWChar(sql);
    const SQLRETURN ret = SQLExecDirectW(m_hstmt, W(text), static_cast<SQLINTEGER>(text.size()));
    // Every call on the handle clears its diagnostics: the server's words are read first.
    try {
        if (ret != SQL_NO_DATA)
            Check(ret);
    } catch (const DatabaseError&) {
        SQLFreeStmt(m_hstmt, SQL_RESET_PARAMS);
        throw;
    }
    SQLFreeStmt(m_hstmt, SQL_RESET_PARAMS);
}

long long Statement::RowCount() const {
    SQLLEN count = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(m_hstmt, &count)))
        return -1;
    return static_cast<long long>(count);
}

bool Statement::Fetch() {
    const SQLRETURN ret = SQLFetch(m_hstmt);
    if (ret == SQL_NO_DATA)
        return false;
    Check(ret);
    return true;
}

std::optional<QString> Statement::GetText(SQLUSMALLINT column) {
    QString result;
    std::vector<SQLWCHAR> buf(512);
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN ret = SQLGetData(m_hstmt, column, SQL_C_WCHAR, buf.data(),
                                         static_cast<SQLLEN>(buf.size() * sizeof(SQLWCHAR)), &ind);
        if (ret == SQL_NO_DATA)
            break;
        Check(ret);
        if (ind == SQL_NULL_DATA)
            return std::nullopt;
        const qsizetype room = static_cast<qsizetype>(buf.size()) - 1;
        const qsizetype got =
            (ind == SQL_NO_TOTAL || ind / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > room)
                ? room
                : static_cast<qsizetype>(ind / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
        result += FromSqlWChar(buf.data(), got);
        if (ret == SQL_SUCCESS)
            break;
        // SQL_SUCCESS_WITH_INFO: 01004, the value continues in the next call.
        if (got < room)
            break;
    }
    return result;
}

std::optional<long long> Statement::GetInt(SQLUSMALLINT column) {
    SQLBIGINT value = 0;
    SQLLEN ind = 0;
    Check(SQLGetData(m_hstmt, column, SQL_C_SBIGINT, &value, sizeof value, &ind));
    if (ind == SQL_NULL_DATA)
        return std::nullopt;
    return static_cast<long long>(value);
}

std::optional<double> Statement::GetDouble(SQLUSMALLINT column) {
    SQLDOUBLE value = 0;
    SQLLEN ind = 0;
    Check(SQLGetData(m_hstmt, column, SQL_C_DOUBLE, &value, sizeof value, &ind));
    if (ind == SQL_NULL_DATA)
        return std::nullopt;
    return static_cast<double>(value);
}

std::optional<QDateTime> Statement::GetTimestamp(SQLUSMALLINT column) {
    SQL_TIMESTAMP_STRUCT ts{};
    SQLLEN ind = 0;
    Check(SQLGetData(m_hstmt, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind));
    if (ind == SQL_NULL_DATA)
        return std::nullopt;
    const QDate date(ts.year, ts.month, ts.day);
    const QTime time(ts.hour, ts.minute, ts.second);
    return QDateTime(date, time.isValid() ? time : QTime(0, 0), Qt::LocalTime);
}

QStringList Statement::ColumnNames() const {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(m_hstmt, &count));
    QStringList names;
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Check(SQLDescribeColW(m_hstmt, i, name, SQLSMALLINT(std::size(name)), &length, &type, &size,
                              &digits, &nullable));
        names.append(FromSqlWChar(name, qMin<qsizetype>(length, qsizetype(std::size(name)) - 1)));
    }
    return names;
}

void Statement::CloseCursor() {
    SQLFreeStmt(m_hstmt, SQL_CLOSE);
}

QList<DriverInfo> InstalledDrivers() {
    QList<DriverInfo> drivers;
    SQLHENV env = Environment();
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR desc[256] = {};
        SQLWCHAR attrs[1024] = {};
        SQLSMALLINT descLen = 0;
        SQLSMALLINT attrsLen = 0;
        const SQLRETURN ret =
            SQLDriversW(env, direction, desc, 256, &descLen, attrs, 1024, &attrsLen);
        if (!SQL_SUCCEEDED(ret))
            break;
        direction = SQL_FETCH_NEXT;
        DriverInfo info;
        info.description = FromSqlWChar(desc);
        // Entries end with a zero character; an empty entry ends the list.
        const SQLWCHAR* p = attrs;
        const SQLWCHAR* end = attrs + 1024;
        while (p < end && *p) {
            const SQLWCHAR* q = p;
            while (q < end && *q)
                ++q;
            info.attributes.append(FromSqlWChar(p, q - p));
            p = q + 1;
        }
        drivers.append(info);
    }
    return drivers;
}

QString DriverLibrary(const DriverInfo& driver) {
    for (const QString& entry : driver.attributes)
        if (entry.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive))
            return entry.mid(7).trimmed();
    return QString();
}

bool DriverLibraryPresent(const DriverInfo& driver) {
    const QString library = DriverLibrary(driver);
    // A driver manager that names no file keeps its drivers itself.
    if (library.isEmpty())
        return true;
    if (QFileInfo(library).isAbsolute())
        return QFileInfo::exists(library);
    // A bare name is looked for where the driver manager looks for it.
    const QStringList folders =
        QStringLiteral(VARNET_ODBC_DRIVER_FOLDERS).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        return true;
    return std::any_of(folders.cbegin(), folders.cend(), [&](const QString& folder) {
        return QFileInfo::exists(folder + QLatin1Char('/') + library);
    });
}

QList<DriverInfo> UsableDrivers() {
    QList<DriverInfo> drivers = InstalledDrivers();
    drivers.removeIf([](const DriverInfo& d) { return !DriverLibraryPresent(d); });
    return drivers;
}

} // namespace platform::odbc
