// Counts the rows of a search result on a thread and a connection of its own, so that the
// list shows its first rows at once and takes its full length when the count is in.
#pragma once

#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class CRowCounter {
public:
    // ticket, the count, and the driver's error text (empty when the count succeeded).
    using Done = std::function<void(quint64 ticket, int count, const QString& error)>;

    // done is called on the thread of receiver, and never after receiver is gone.
    CRowCounter(QString connectionString, QObject* receiver, Done done);
    // Cancels the count that runs and waits for the thread.
    ~CRowCounter();
    CRowCounter(const CRowCounter&) = delete;
    CRowCounter& operator=(const CRowCounter&) = delete;

    // Counts with the statement sql. A count still running is cancelled and one not yet
    // started is dropped: typing makes them worthless.
    void Request(quint64 ticket, const QString& sql);

private:
    struct Job {
        quint64 ticket;
        QString sql;
    };
    void Run();

    const QString m_strConnect;
    QObject* const m_pReceiver;
    const Done m_done;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<Job> m_pending;
    bool m_bStop = false;
    // The statement of the count that runs (SQLHSTMT), for SQLCancel from the other thread.
    void* m_hRunning = nullptr;
    std::thread m_thread;
};
