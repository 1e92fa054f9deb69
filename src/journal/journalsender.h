// Sends the rows of a counter's journal file that the chain's central journal does not hold
// yet, in batches of one transaction each, and marks them in the file. The one sending code of
// the workstation's outbox, of `varnet-journal --send` and of a journal service.
#pragma once

#include "journal/centraljournal.h"
#include "journal/journalfile.h"

#include <QList>
#include <QString>

#include <functional>

class CJournalSender {
public:
    struct Counts {
        int sent = 0;     // rows the server holds now (new to it or not)
        int inserted = 0; // of them, rows it did not hold before
        int setAside = 0; // rows it refused for their data, kept in the file with its words
    };
    // What one batch did, and the rows of it the server refused; called on the sending thread.
    using BatchHook = std::function<void(const Counts& batch, const QList<SetAsideRow>& refused)>;

    // Rows per transaction: a round trip and a commit each, and what a broken link sends again.
    static constexpr int kBatchRows = 1000;

    CJournalSender(const QString& journalPath, const QString& connectionString,
                   const QString& counter);
    CJournalSender(const CJournalSender&) = delete;
    CJournalSender& operator=(const CJournalSender&) = delete;

    // Every statement on the server gives up after seconds.
    void SetTimeout(int seconds) { m_central.SetTimeout(seconds); }
    void SetBatchRows(int rows) { m_nBatchRows = rows < 1 ? 1 : rows; }
    void SetBatchHook(BatchHook hook) { m_fnBatch = std::move(hook); }

    // Sends batch after batch until no row is unsent, or stop answers true before a batch.
    // A batch the server refuses for the data of some row is halved until that row stands
    // alone and is set aside; the rest of the batch arrives. False with the reason when the
    // file or the server failed (a lost link, a time-out, a cancel): what went before is
    // marked, the rest stays unsent. No journal file yet is nothing to send.
    bool SendAll(QString* reason, const std::function<bool()>& stop = {});
    // From any thread: the statement in flight is cancelled and no later one starts.
    void Cancel() { m_central.Cancel(); }
    // Lets go of the file and the server; a later SendAll opens them again.
    void Close();
    // What every SendAll of this object did together.
    const Counts& Total() const { return m_total; }

    struct Result {
        Counts counts;
        bool ok = false;
        QString error;
    };
    // Everything unsent in the file at path sent to the server, for tools and services. The
    // file must exist; the counter is this computer.
    static Result SendUnsent(const QString& journalPath, const QString& connectionString,
                             int timeoutS = 30);

private:
    struct Batch {
        Counts counts;
        QList<SetAsideRow> refused;
    };
    // Sends rows as one transaction, or in halves when the server refuses some row's data;
    // each part that arrived is marked at once. False when the file could not be marked.
    bool SendSplitting(const QList<JournalRow>& rows, Batch& batch, QString* reason);
    void Finish(const Batch& batch);

    const QString m_path;
    const QString m_connect;
    const QString m_counter;
    int m_nBatchRows = kBatchRows;
    CCentralJournal m_central;
    CJournalFile m_file;
    BatchHook m_fnBatch;
    Counts m_total;
};
