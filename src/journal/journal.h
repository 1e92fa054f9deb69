// The packing journal as the print flow uses it: a row is written at once when the file can
// be written, and otherwise kept in a file of the account's own (so that neither an exit nor
// a killed program loses it) and written later, with one message to the operator per outage.
// Printing never stops for the journal.
#pragma once

#include "journal/journalfile.h"
#include "journal/journaloutbox.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <memory>

class QTimer;

class CJournal {
public:
    // With a service socket, the rows go to the journal service, which alone writes the file
    // at path; this program then only reads it. Without one, this program writes the file.
    explicit CJournal(const QString& path, const QString& serviceSocket = QString());
    ~CJournal();
    CJournal(const CJournal&) = delete;
    CJournal& operator=(const CJournal&) = delete;

    QString Path() const { return m_path; }
    // Whether the journal service writes the rows (an installed counter).
    bool IsServiced() const { return !m_socket.isEmpty(); }

    // Records one accepted label. Never fails: a row that cannot be written waits.
    void Record(const JournalRow& row);
    // Records «Закрыть смену» as Record records a label: never fails, waits when it must.
    void CloseShift(const ShiftClose& close);
    // Writes the waiting rows and closes; true when none waits any more.
    bool Flush();
    int Waiting() const { return int(m_waiting.size() + m_waitingCloses.size()); }

    // The file where this account keeps the rows that this journal could not take yet: in the
    // account's own data folder, one file per journal.
    QString PendingPath() const;
    // What a program that writes the journal does as it starts: opens the file, checking it
    // (a damaged one is set aside) before the first label could wait on that, and moves the
    // rows this account kept for the journal into it, each row once; those that still cannot
    // be written wait.
    void Prepare();
    // Writes what waits; what cannot be written stays in the account's own file. Returns the
    // operator's text when rows remain outside the journal, else an empty text.
    QString Close();

    // Rows packed in [from, to), oldest first, those still waiting included. ReadError()
    // then says why rows of the file may be missing.
    QList<JournalRow> Rows(const QDateTime& from, const QDateTime& to);
    // The closes of shifts from a moment on, oldest first, those still waiting included.
    QList<ShiftClose> ShiftCloses(const QDateTime& from);
    // The label recorded last, waiting or written.
    bool LastRow(JournalRow* row);
    // Why the last Rows could not show every row: the file could not be read, or a damaged
    // file was set aside in this run (its rows are not shown). Empty when all is well.
    QString ReadError() const;

    // How often the waiting rows are tried again (milliseconds).
    void SetRetryInterval(int ms);

    // Names the chain's central journal the rows are also copied to (an ODBC connection
    // string); empty stops the copying. The copying runs on a thread of its own.
    void SetCentral(const QString& connectionString,
                    const CJournalOutbox::Timing& timing = CJournalOutbox::Timing());
    CJournalOutbox* Outbox() const { return m_outbox.get(); }

    // The message the operator gets when the journal cannot be written; reason, when given,
    // names the path and what stands there instead of a file.
    static QString UnwritableMessage(const QString& path, const QString& reason = QString());
    // The message for a pending file (reason names it) that is not a file.
    static QString PendingNotAFileMessage(const QString& reason);
    // The same when the journal service cannot be reached, with the reason.
    static QString ServiceDownMessage(const QString& reason);
    // Rows the journal service refused (kept apart by it): how many, the first one's reason.
    static QString RefusedByServiceMessage(int count, const QString& reason);
    static QString Caption();
    // The file name of a counter's journal, beside the executable.
    static QString FileName();
    // The message for a damaged journal file that was set aside as aside.
    static QString DamagedMessage(const QString& reason, const QString& aside);

private:
    bool EnsureOpen();
    // Hands the waiting rows to the journal service; false when it could not take them all.
    bool FlushToService();
    // The operator's message of the current outage, once per outage.
    void ReportOutage();
    // Reports the outage unless the journal is only held locked, and not for long.
    void ReportLastingOutage();
    // What the last open of the journal found in its place instead of a file; empty when it
    // found a file or nothing.
    QString NotAFileReason() const;
    // Moves a damaged file (with its -wal and -shm) aside, unchanged, and opens a fresh one;
    // the operator is told once.
    bool SetDamagedFileAside(const QString& reason);
    void ScheduleRetry();
    // Writes what waits, or keeps it in the account's own file and tells the operator once.
    void KeepWaiting();
    // Keeps the waiting rows in the account's own file; false when that failed.
    bool Stash();
    // The rows that reached the journal leave the account's own file.
    void Unstash(const QList<JournalRow>& written, const QList<ShiftClose>& closed);

    QString m_path;
    QString m_socket;
    QString m_serviceError; // why the service could not take the rows last time
    CJournalFile m_file;
    QList<JournalRow> m_waiting;
    QList<ShiftClose> m_waitingCloses;
    bool m_bReported = false;
    // Since when the journal has been found locked by another connection (the sender to the
    // central journal, a manager's reader); invalid while it is not.
    QElapsedTimer m_busySince;
    int m_retryMs = 2000;
    std::unique_ptr<QTimer> m_retry;
    std::unique_ptr<CJournalOutbox> m_outbox;
    CJournalOutbox::Timing m_centralTiming;
    QString m_readError;
    QString m_damage; // the message of a damaged file set aside in this run
};

// The journal of the running program, in its module folder (a test that points the module
// folder elsewhere gets the journal there).
CJournal& AppJournal();
