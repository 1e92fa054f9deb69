// Counts the rows of a search result on a thread and a connection of its own, so that the
// list shows its first rows at once and takes its full length when the count is in; then
// finds the result's places for long jumps.
#pragma once

#include "catalogue/gridrowset.h"

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
    // ticket and the places found (none is delivered when the statement failed).
    using Anchored = std::function<void(quint64 ticket, QList<CGridRowset::Anchor> anchors)>;

    // done and anchored are called on the thread of receiver, and never after receiver is
    // gone.
    CRowCounter(QString connectionString, QObject* receiver, Done done,
                Anchored anchored = Anchored());
    // Cancels the count that runs and waits for the thread.
    ~CRowCounter();
    CRowCounter(const CRowCounter&) = delete;
    CRowCounter& operator=(const CRowCounter&) = delete;

    // Counts with the statement sql. A count still running is cancelled and one not yet
    // started is dropped: typing makes them worthless.
    // anchorSql, when given, runs after the count has been delivered.
    void Request(quint64 ticket, const QString& sql, const QString& anchorSql = QString());

private:
    struct Job {
        quint64 ticket;
        QString sql;
        QString anchorSql;
    };
    void Run();
    // Runs sql on db as the statement that a new request cancels, and hands each row to
    // read; false when the job was overtaken or stopped before it started.
    bool RunStatement(platform::odbc::Connection& db, const QString& sql,
                      const std::function<void(platform::odbc::Statement&)>& read);
    // Whether the job is no longer wanted.
    bool Overtaken();

    const QString m_strConnect;
    QObject* const m_pReceiver;
    const Done m_done;
    const Anchored m_anchored;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<Job> m_pending;
    bool m_bStop = false;
    // The statement of the count that runs (SQLHSTMT), for SQLCancel from the other thread.
    void* m_hRunning = nullptr;
    std::thread m_thread;
};
