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
    bool HasAccount() const { return m_bHasAccount; }
    // The same for whether each weight was keyed and its tare (the columns keyed and tare,
    // added together).
    bool HasWeighing() const { return m_bHasWeighing; }
    // Every statement gives up after seconds (a table locked by another session, a server
    // that stopped answering) with a DatabaseError.
    void SetTimeout(int seconds) { m_nTimeoutS = seconds; }
    // From any thread: the statement in flight is cancelled and no later one starts; the
    // call that runs it throws DatabaseError. Nothing of a cancelled batch is stored.
    void Cancel();
    void Close() { m_db.Close(); }
    bool IsUsable() const { return m_db.IsOpen() && !m_db.IsLost(); }

    // Stores the rows of one counter in one transaction; a row whose identifier the server
    // already holds is left as it is. Returns how many rows were new. Throws DatabaseError,
    // and then nothing of the batch is stored.
    int Send(const QList<JournalRow>& rows, const QString& counter);

    // Whether the server refused the row for its data (a value its column cannot hold, a
    // constraint), not for the link, a lock or a time-out: sending it again cannot help.
    static bool IsDataRefusal(const platform::odbc::DatabaseError& error);

    // Rows packed in [from, to) by every counter, or by one when counter is not empty; a
    // `to` past the year 9999 leaves the range open.
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to, const QString& counter);

    // The insert for a database of this dialect: ON CONFLICT for PostgreSQL (and SQLite), a
    // guarded INSERT ... SELECT ... WHERE NOT EXISTS elsewhere (SQL Server); with or without
    // the account column, and with or without the columns keyed and tare.
    static QString InsertStatement(platform::odbc::Dialect dialect, bool withAccount,
                                   bool withWeighing = false);
    static QString TableName();

private:
    // A statement with the time-out, that Cancel can reach while it runs.
    class Running;

    platform::odbc::Connection m_db;
    platform::odbc::Dialect m_dialect = platform::odbc::Dialect::Other;
    int m_nTimeoutS = 30;
    bool m_bHasAccount = false;
    bool m_bHasWeighing = false;
    std::mutex m_lock;
    SQLHSTMT m_hRunning = SQL_NULL_HSTMT;
    bool m_bCancelled = false;
};
