// The journal file of a counter: an SQLite database in WAL mode whose every commit reaches
// the disk before it returns (synchronous=FULL), so a label that printed survives a power cut.
#pragma once

#include "journal/journalrow.h"

#include <QList>
#include <QString>

struct sqlite3;

class CJournalFile {
public:
    CJournalFile() = default;
    ~CJournalFile();
    CJournalFile(const CJournalFile&) = delete;
    CJournalFile& operator=(const CJournalFile&) = delete;

    // Opens (creating when asked) the file and its table; false with Error() set.
    bool Open(const QString& path, bool create = true);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    QString Path() const { return m_path; }
    QString Error() const { return m_error; }

    // Writes the rows in one transaction; a row whose identifier is already there is kept
    // as it was. False with Error() set, and then nothing of the batch is written.
    bool Append(const QList<JournalRow>& rows);

    // Rows packed from `from` (inclusive) to `to` (exclusive), oldest first.
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to, bool* ok = nullptr);
    // The most recently packed row; false when the journal is empty or cannot be read.
    bool LastRow(JournalRow* row);

    // Every row in the order written, and the removal of rows by identifier: a file of rows
    // waiting to go into a counter's journal is emptied so.
    QList<JournalRow> All(bool* ok = nullptr);
    bool Remove(const QStringList& ids);

    // The outbox of the central journal: rows not yet confirmed there, oldest first, and
    // the mark that they arrived.
    QList<JournalRow> Unsent(int limit, bool* ok = nullptr);
    bool MarkSent(const QStringList& ids);

    // The moment as the file stores it: local time text that sorts as it reads.
    static QString MomentText(const QDateTime& dt);

private:
    bool Exec(const char* sql);
    bool AddMissingColumns();
    // Runs sql, whose one parameter is a row's identifier, for each of ids in one transaction.
    bool ForEachId(const QStringList& ids, const char* sql, const QString& failure);
    QList<JournalRow> Query(const QString& sql, const QStringList& args, bool* ok);
    bool Fail(const QString& what);

    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_error;
};
