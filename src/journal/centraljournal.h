// The chain's central journal on a PostgreSQL or SQL Server database: the rows of every
// counter, each under its own identifier, so a row sent again is never stored twice.
#pragma once

#include "journal/journalrow.h"
#include "platform/odbc.h"

#include <QList>
#include <QString>

#include <mutex>

class CCentralJournal {
public:
    // Connects and looks at the table; throws platform::odbc::DatabaseError.
    void Open(const QString& connectionString);
    // The table keeps the account that printed each label: a table made by an earlier version
    // has no such column and gets the rows without it.
    bool HasAccount() const { return m_columns.contains(QStringLiteral("account")); }
    // The same for whether each weight was keyed and its tare (the columns keyed and tare,
    // added together).
    bool HasWeighing() const {
        return m_columns.contains(QStringLiteral("keyed")) &&
               m_columns.contains(QStringLiteral("tare"));
    }
    // Every statement gives up after seconds (a table locked by another session, a server
    // that stopped answering) with a DatabaseError.
    void SetTimeout(int seconds) { m_nTimeoutS = seconds; }
    // From any thread: the statement in flight is cancelled and no later one starts; the
    // call that runs it throws DatabaseError. Nothing of a cancelled batch is stored.
    void Cancel();
    void Close() { m_db.Close(); }
    bool IsUsable() const { return m_db.IsOpen() && !m_db.IsLost(); }

    // Stores the rows of one counter in one transaction, as few statements as the server
    // takes (one for PostgreSQL); a row whose identifier the server already holds is left as
    // it is. Returns how many rows were new. Throws DatabaseError, and then nothing of the
    // batch is stored.
    int Send(const QList<JournalRow>& rows, const QString& counter);

    // Whether the server refused the row for its data (a value its column cannot hold, a
    // constraint), not for the link, a lock or a time-out: sending it again cannot help.
    static bool IsDataRefusal(const platform::odbc::DatabaseError& error);

    // Rows packed in [from, to) by every counter, or by one when counter is not empty; a
    // `to` past the year 9999 leaves the range open.
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to, const QString& counter);

    // The columns a journal row fills, in the order the insert names them; with optional,
    // also those a table of an earlier version may lack (sent only where the table has them).
    static QStringList Columns(bool withOptional = true);
    // The insert of rows rows into columns (of Columns()) for a database of this dialect: for
    // PostgreSQL an ON CONFLICT insert of one array parameter per column, whatever the rows;
    // for SQLite the same of a VALUES list; for SQL Server one INSERT ... SELECT ... WHERE NOT
    // EXISTS under a range lock; elsewhere the guarded one-row insert (the id bound a second
    // time), whatever rows says.
    static QString InsertStatement(platform::odbc::Dialect dialect, const QStringList& columns,
                                   int rows = 1);
    // How many rows one insert into columns columns may carry on this dialect: a server takes
    // a bounded number of parameters per statement.
    static int RowsPerStatement(platform::odbc::Dialect dialect, int columns);
    static QString TableName();

private:
    // A statement with the time-out, that Cancel can reach while it runs.
    class Running;

    platform::odbc::Connection m_db;
    platform::odbc::Dialect m_dialect = platform::odbc::Dialect::Other;
    int m_nTimeoutS = 30;
    QStringList m_columns; // the columns of Columns() that the table has
    std::mutex m_lock;
    SQLHSTMT m_hRunning = SQL_NULL_HSTMT;
    bool m_bCancelled = false;
};
