// The chain's central journal on a PostgreSQL or SQL Server database: the rows of every
// counter, each under its own identifier, so a row sent again is never stored twice.
#pragma once

#include "journal/journalrow.h"
#include "platform/odbc.h"

#include <QList>
#include <QString>

class CCentralJournal {
public:
    // Connects; throws platform::odbc::DatabaseError.
    void Open(const QString& connectionString);
    void Close() { m_db.Close(); }
    bool IsUsable() const { return m_db.IsOpen() && !m_db.IsLost(); }

    // Stores the rows of one counter in one transaction; a row whose identifier the server
    // already holds is left as it is. Returns how many rows were new. Throws DatabaseError,
    // and then nothing of the batch is stored.
    int Send(const QList<JournalRow>& rows, const QString& counter);

    // Rows packed in [from, to) by every counter, or by one when counter is not empty.
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to, const QString& counter);

    // The insert for a database of this dialect: ON CONFLICT for PostgreSQL (and SQLite), a
    // guarded INSERT ... SELECT ... WHERE NOT EXISTS elsewhere (SQL Server).
    static QString InsertStatement(platform::odbc::Dialect dialect);
    static QString TableName();

private:
    platform::odbc::Connection m_db;
    platform::odbc::Dialect m_dialect = platform::odbc::Dialect::Other;
};
