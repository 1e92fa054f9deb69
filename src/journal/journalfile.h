// The journal file of a counter: an SQLite database in WAL mode whose every commit reaches
// the disk before it returns (synchronous=FULL), so a label that printed survives a power cut.
#pragma once

#include "journal/journalrow.h"
#include "journal/journalshift.h"

#include <QList>
#include <QString>

struct sqlite3;

// A row the central journal refused for its data, kept in the file with the server's words.
struct SetAsideRow {
    JournalRow row;
    QString error;
};

// A row the journal service refused to put among the labels: kept apart, as it came, with the
// account that sent it and the reason.
struct RefusedRow {
    QString id;
    QString account;
    QString reason;
    QByteArray json;
    QString received; // when it arrived, as the file keeps moments (read back only)
};

// Renames a damaged journal (with its -wal and -shm) aside, unchanged, to
// NAME-damaged-<date>-<time>.db beside it; the new name, or empty when it could not be moved.
QString SetJournalFileAside(const QString& path);

class CJournalFile {
public:
    CJournalFile() = default;
    ~CJournalFile();
    CJournalFile(const CJournalFile&) = delete;
    CJournalFile& operator=(const CJournalFile&) = delete;

    // Both ways of opening run only the program's own statements, whatever the file holds: no
    // view, trigger or extension of the file's runs, and temporary data stays in bounded
    // memory. A file whose labels is no journal table is refused (IsDamaged), and so is
    // something else than a file in its place (IsNotAFile).

    // Opens (creating when asked) the file and its table; false with Error() set.
    bool Open(const QString& path, bool create = true);
    // The -wal and -shm files stay when this writer closes (set before Open), so that accounts
    // that may only read the journal can open it while no writer has it open.
    void SetKeepWalFiles(bool keep) { m_bKeepWal = keep; }
    // Opens an existing journal to read it and nothing else: the file is never changed, and
    // a file that is not a packing journal is refused.
    bool OpenReadOnly(const QString& path);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    QString Path() const { return m_path; }
    QString Error() const { return m_error; }
    // The last failure was damage to the file itself (SQLite finds it malformed, or no
    // database at all, or its labels are no journal table: a view, a table with a trigger or
    // without the journal's columns), not a lock or a missing right.
    bool IsDamaged() const { return m_bDamaged; }
    // The last failure was something other than a file in the place of the journal, its -wal
    // or its -shm (a FIFO, a socket, a device or a folder), which is never opened; Error()
    // names it and what it is.
    bool IsNotAFile() const { return m_bNotAFile; }
    // The last failure was the file held locked by another connection beyond the wait.
    bool IsBusy() const { return m_bBusy; }

    // Reads the whole file through a connection that cannot change it (SQLite's quick
    // check, and the shape of its labels); false with the reason when it is damaged. A
    // missing or unreadable file is not, nor something that is not a file.
    static bool IsIntact(const QString& path, QString* reason);

    // Writes the rows in one transaction; a row whose identifier is already there is kept
    // as it was. False with Error() set, and then nothing of the batch is written.
    bool Append(const QList<JournalRow>& rows);

    // Rows packed from `from` (inclusive) to `to` (exclusive), oldest first; a `to` past the
    // year 9999 leaves the range open. In a damaged file, the rows that can still be read
    // (IsDamaged() then says so).
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to, bool* ok = nullptr);
    // The row written last; false when the journal is empty or cannot be read.
    bool LastRow(JournalRow* row);

    // Every row in the order written, and the removal of rows by identifier: a file of rows
    // waiting to go into a counter's journal is emptied so.
    QList<JournalRow> All(bool* ok = nullptr);
    bool Remove(const QStringList& ids);

    // The outbox of the central journal: rows not yet confirmed there, oldest first, and
    // the mark that they arrived.
    QList<JournalRow> Unsent(int limit, bool* ok = nullptr);
    bool MarkSent(const QStringList& ids);
    // For a connection that only marks rows (sent, set aside): its commits no longer wait for
    // the disk. A mark that a power cut takes back only sends its rows again, and the central
    // journal keeps each row once.
    bool SetMarksLazy();
    // Rows the central journal refused for their data: never sent again, kept with the
    // server's error until someone sees to them.
    bool SetAside(const QList<SetAsideRow>& rows);
    QList<SetAsideRow> SetAsideRows(bool* ok = nullptr);
    // Rows the journal service refused, in a table of their own, and those rows; none in a
    // file without the table.
    bool KeepRefused(const QList<RefusedRow>& rows);
    QList<RefusedRow> RefusedRows(bool* ok = nullptr);

    // The «Закрыть смену» of every account: written in one transaction (a close already
    // there is kept), read from a moment on (oldest first), and removed by identifier (a
    // file of what waits to go into a counter's journal is emptied so).
    bool AppendShiftCloses(const QList<ShiftClose>& closes);
    QList<ShiftClose> ShiftCloses(const QDateTime& from, bool* ok = nullptr);
    bool RemoveShiftCloses(const QStringList& ids);

    // The moment as the file stores it: local time text that sorts as it reads.
    static QString MomentText(const QDateTime& dt);

private:
    // Opens the connection with its safety settings, after looking at what stands at path.
    bool OpenConnection(const QString& path, int flags);
    // Refuses (closing) a file whose labels is no journal table; present tells whether it has
    // labels at all.
    bool CheckShape(bool* present);
    bool Exec(const char* sql);
    bool AddColumns();
    bool HasColumn(const QString& column);
    bool HasTable(const QString& table);
    // The columns a query reads, in the order RowAt takes them.
    QString Selected() const;
    // Runs sql, whose one parameter is a row's identifier, for each of ids in one transaction.
    bool ForEachId(const QStringList& ids, const char* sql, const QString& failure);
    QList<JournalRow> Query(const QString& sql, const QStringList& args, bool* ok);
    QList<JournalRow> ReadableRows();
    bool Fail(const QString& what);

    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_error;
    bool m_bDamaged = false;
    bool m_bBusy = false;
    bool m_bNotAFile = false;
    bool m_bHasAccount = false;
    bool m_bKeepWal = false;
    bool m_bHasWeighing = false; // the columns keyed and tare
    bool m_bHasShifts = false;
};
