// A thin RAII layer over the ODBC 3 C API: the environment, connections and statements,
// every failing call turned into a DatabaseError with the driver's own diagnostic text.
// Text travels as wide characters, so Cyrillic names survive on every driver.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#ifdef _WIN32
#include <windef.h> // the Windows SDK's ODBC headers build on its base types
#endif
#include <sql.h>
#include <sqlext.h>
#include <vector>

namespace platform::odbc {

// A failed ODBC call: the driver's diagnostic records, the message texts joined by line
// breaks; "Отсутствует сообщение об ошибке." when the driver gave none.
class DatabaseError : public std::exception {
public:
    DatabaseError(QString text, QString sqlState);
    const QString& Text() const { return m_strError; }
    const QString& SqlState() const { return m_strState; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_strError;
    QString m_strState;
    QByteArray m_utf8;
};

QString NoErrorMessageText();

// Throws DatabaseError with the diagnostics of handle when ret is not a success.
void Check(SQLRETURN ret, SQLSMALLINT handleType, SQLHANDLE handle);
// The SQLSTATE of the first diagnostic record of handle (empty when there is none).
QString FirstSqlState(SQLSMALLINT handleType, SQLHANDLE handle);

// The process's one ODBC environment, declared as ODBC version 3.
SQLHENV Environment();

// Whether a failure with this SQLSTATE means the link to the server is gone: class 08 and
// the server's shutdown states (57P01 to 57P03). Such a connection is never usable again.
bool IsConnectionFailure(const QString& sqlState);

enum class Dialect { SqlServer, SQLite, PostgreSQL, Other };
Dialect DialectFromDbmsName(const QString& dbmsName);

// A value for one "?" of a statement, sent with its own type so that no server has to guess
// a text's type (PostgreSQL refuses a text for a number column).
struct Param {
    enum class Kind { Text, Double, Int, Timestamp };
    Kind kind = Kind::Text;
    bool null = false;
    QString text;
    double number = 0;
    long long integer = 0;
    QDateTime moment;       // sent as local date and time to the millisecond
    bool wallClock = false; // moment sent as it reads, without a conversion to local time

    static Param Text(const QString& v);
    static Param Double(double v);
    static Param Int(long long v);
    // An invalid moment is sent as NULL.
    static Param Timestamp(const QDateTime& v);
    // The date and time as v reads them in its own zone: for moments that are a wall clock's
    // already, which then cost no time-zone lookup.
    static Param WallClock(const QDateTime& v);
};

// One attribute of a connection string: its key, its value with any braces taken off, and
// where the value stands in the string (braces included).
struct ConnectionAttribute {
    QString key;
    QString value;
    qsizetype start = 0;
    qsizetype length = 0;
};
QList<ConnectionAttribute> ParseConnectionString(const QString& cs);

// The connection string with every path it names for loading (a driver, a file data source,
// SQLite extensions) checked and resolved: a path that anybody but root could change is
// refused with DatabaseError saying why. ownExtension, the program's own SQLite extension, is
// taken as it is.
QString TrustedConnectionString(const QString& cs, const QString& ownExtension = QString());

// Hands the connection string to the driver manager without prompting (the platform's own
// way of passing its characters); the caller checks the result.
SQLRETURN DriverConnect(SQLHDBC hdbc, const QString& connectionString);

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects by connection string without ever prompting; throws on failure and stays
    // closed. A string with a key or a value that carries more than a connection, and a
    // driver named by a path that anybody but root could change, are refused before anything
    // is loaded.
    void Open(const QString& connectionString);
    void Close();
    bool IsOpen() const { return m_hdbc != SQL_NULL_HDBC; }
    SQLHDBC Handle() const { return m_hdbc; }

    // The connection string this connection was opened with, for a second connection to
    // the same database (it holds the password, as the settings do).
    const QString& ConnectionString() const { return m_strConnect; }

    // Off: the statements that follow form one transaction, ended by Commit or Rollback.
    void SetAutoCommit(bool on);
    void Commit();
    void Rollback();

    QString DbmsName() const;
    Dialect GetDialect() const { return DialectFromDbmsName(DbmsName()); }
    // The SQLite extension beside the executable that every SQLite connection loads;
    // empty when it is missing or its path cannot be passed to the driver.
    static QString SqliteExtensionPath();

    // Open, but the link to the server is gone: a call failed with a connection-class
    // state, or the driver reports the connection dead. Only closing and opening again
    // helps; the owner does that at the next use, when no statement holds the handle.
    bool IsLost() const;
    // Notes a failed call made on this connection; a connection-class failure marks it lost.
    // Const: statements hold the connection by const reference, and the mark describes the
    // server link, not what the connection was opened with.
    void NoteFailure(const DatabaseError& error) const;

private:
    void OpenTrusted(const QString& connectionString);

    SQLHDBC m_hdbc = SQL_NULL_HDBC;
    mutable bool m_bLost = false;
    QString m_strConnect;
};

class Statement {
public:
    explicit Statement(const Connection& connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT Handle() const { return m_hstmt; }
    // Throws DatabaseError for a failed call on this statement, marking the connection
    // lost when the failure says so.
    void Check(SQLRETURN ret) const;

    // A forward-only, read-only result: the snapshot of a lookup.
    void SetReadOnly();
    // Every later call on this statement gives up after seconds (0: never) with a
    // DatabaseError, whatever the server does meanwhile (a lock held by another session).
    void SetTimeout(int seconds);
    void ExecDirect(const QString& sql);
    // Runs sql with its "?" bound to params in order.
    void Execute(const QString& sql, const std::vector<Param>& params);
    // Rows the last INSERT, UPDATE or DELETE changed; -1 when the driver cannot tell.
    long long RowCount() const;
    // The names of the result's columns, in their order.
    QStringList ColumnNames() const;
    // Moves to the next row; false past the last one.
    bool Fetch();
    // Column values of the current row (1-based); nullopt for NULL.
    std::optional<QString> GetText(SQLUSMALLINT column);
    std::optional<long long> GetInt(SQLUSMALLINT column);
    std::optional<double> GetDouble(SQLUSMALLINT column);
    // A timestamp column as local date and time, to the second.
    std::optional<QDateTime> GetTimestamp(SQLUSMALLINT column);
    void CloseCursor();

private:
    const Connection& m_connection;
    SQLHSTMT m_hstmt = SQL_NULL_HSTMT;
};

// Converts between QString and the driver manager's wide characters (UTF-16 here).
QString FromSqlWChar(const SQLWCHAR* text, qsizetype length = -1);
std::u16string ToSqlWChar(const QString& text);

// An installed driver: its description and its attribute list ("key=value" entries).
struct DriverInfo {
    QString description;
    QStringList attributes;
};
// The driver manager's list of installed drivers, fetched one at a time with a buffer of
// 256 characters for the description and 1024 for the attributes.
QList<DriverInfo> InstalledDrivers();
// The library file an installed driver names (its "Driver" attribute); empty when none.
QString DriverLibrary(const DriverInfo& driver);
// Whether that file is there: a driver can stay registered after its package went, or be
// registered by a package that does not carry its library (Debian's "SQLite" entry).
bool DriverLibraryPresent(const DriverInfo& driver);
// The installed drivers whose library is there: the ones a connection can use.
QList<DriverInfo> UsableDrivers();

} // namespace platform::odbc
