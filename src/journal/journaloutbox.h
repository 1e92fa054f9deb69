// The outbox of the central journal: a thread of its own, with its own connections to the
// local journal file and to the central server, that copies the rows not yet sent and marks
// them sent. The screen thread only nudges it; a server that is away is tried again with a
// growing pause, and the operator hears of an outage once.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class CJournalOutbox {
public:
    struct Timing {
        int firstRetryMs = 1000; // the pause after the first failure, doubled after each one
        int lastRetryMs = 60000; // the longest pause
        int idleMs = 10000;      // how often the file is looked at without a nudge
    };

    // Starts the thread at once.
    CJournalOutbox(const QString& journalPath, const QString& connectionString,
                   const Timing& timing);
    CJournalOutbox(const QString& journalPath, const QString& connectionString);
    // Stops the thread; a batch on its way is finished or rolled back first.
    ~CJournalOutbox();
    CJournalOutbox(const CJournalOutbox&) = delete;
    CJournalOutbox& operator=(const CJournalOutbox&) = delete;

    // New rows are in the file: look now unless waiting out a failure. Never blocks.
    void Nudge();

    QString ConnectionString() const { return m_connect; }

    enum class State { Idle, Sent, Failing };
    State GetState() const { return m_state.load(); }
    // Rows handed to the server by this outbox, and how many of them it did not hold yet.
    int Sent() const { return m_sent.load(); }
    int Inserted() const { return m_inserted.load(); }

    // The message of an outage, with the driver's own text.
    static QString UnreachableMessage(const QString& reason);

private:
    void Run();
    // Sends every unsent row; false with the reason when something failed on the way.
    bool SendAll(class CCentralJournal& central, class CJournalFile& file, QString* reason);
    void ReportOutage(const QString& reason);

    const QString m_path;
    const QString m_connect;
    const QString m_counter;
    const Timing m_timing;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    bool m_bNudged = false;
    std::atomic<State> m_state{State::Idle};
    std::atomic<int> m_sent{0};
    std::atomic<int> m_inserted{0};
    std::thread m_thread;
};
