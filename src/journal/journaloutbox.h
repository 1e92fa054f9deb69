// The outbox of the central journal: a thread of its own, with its own connections to the
// local journal file and to the central server, that copies the rows not yet sent and marks
// them sent. The screen thread only nudges it; a server that is away is tried again with a
// growing pause, and the operator hears of an outage once. A row the server refuses for its
// data is set aside in the file with the server's words, and the rest go on.
#pragma once

#include <QString>

#include <memory>
#include <thread>

struct OutboxCore;

class CJournalOutbox {
public:
    struct Timing {
        int firstRetryMs = 1000; // the pause after the first failure, doubled after each one
        int lastRetryMs = 60000; // the longest pause
        int idleMs = 10000;      // how often the file is looked at without a nudge
        int statementS = 30;     // the longest a statement on the server may take
        int closeMs = 3000;      // the longest the destructor waits for the thread
    };

    // Starts the thread at once.
    CJournalOutbox(const QString& journalPath, const QString& connectionString,
                   const Timing& timing);
    CJournalOutbox(const QString& journalPath, const QString& connectionString);
    // Stops the thread within Timing::closeMs whatever the server does: a statement in
    // flight is cancelled and its batch rolled back, so its rows stay unsent in the file. A
    // thread still held up in the driver then (a connection being made) is left to end on
    // its own.
    ~CJournalOutbox();
    CJournalOutbox(const CJournalOutbox&) = delete;
    CJournalOutbox& operator=(const CJournalOutbox&) = delete;

    // New rows are in the file: look now unless waiting out a failure. Never blocks.
    void Nudge();

    QString ConnectionString() const;

    enum class State { Idle, Sent, Failing };
    State GetState() const;
    // Rows handed to the server by this outbox, how many of them it did not hold yet, and
    // how many it refused and were set aside.
    int Sent() const;
    int Inserted() const;
    int SetAside() const;

    // The message of an outage, with the driver's own text.
    static QString UnreachableMessage(const QString& reason);
    // The message of rows the server refused, with its words on the first of them.
    static QString RefusedMessage(const struct JournalRow& first, const QString& error, int count);

private:
    std::shared_ptr<OutboxCore> m_core; // shared with the thread, which may outlive this
    std::thread m_thread;
};
