#include "catalogue/rowcounter.h"

#include "platform/odbc.h"

#include <QMetaObject>

#include <climits>
#include <memory>

CRowCounter::CRowCounter(QString connectionString, QObject* receiver, Done done, Anchored anchored)
    : m_strConnect(std::move(connectionString)), m_pReceiver(receiver), m_done(std::move(done)),
      m_anchored(std::move(anchored)), m_thread([this] { Run(); }) {}

CRowCounter::~CRowCounter() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bStop = true;
        m_pending.reset();
        if (m_hRunning)
            SQLCancel(static_cast<SQLHSTMT>(m_hRunning));
    }
    m_wake.notify_all();
    m_thread.join();
}

void CRowCounter::Request(quint64 ticket, const QString& sql, const QString& anchorSql) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pending = Job{ticket, sql, anchorSql};
        // SQLCancel is the one call ODBC allows on a statement that another thread runs.
        if (m_hRunning)
            SQLCancel(static_cast<SQLHSTMT>(m_hRunning));
    }
    m_wake.notify_all();
}

bool CRowCounter::Overtaken() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bStop || m_pending.has_value();
}

bool CRowCounter::RunStatement(platform::odbc::Connection& db, const QString& sql,
                               const std::function<void(platform::odbc::Statement&)>& read) {
    platform::odbc::Statement st(db);
    st.SetReadOnly();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bStop || m_pending)
            return false;
        m_hRunning = st.Handle();
    }
    try {
        st.ExecDirect(sql);
        read(st);
    } catch (...) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hRunning = nullptr;
        throw;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_hRunning = nullptr;
    return true;
}

void CRowCounter::Run() {
    std::unique_ptr<platform::odbc::Connection> db;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_bStop || m_pending.has_value(); });
            if (m_bStop)
                return;
            job = std::move(*m_pending);
            m_pending.reset();
        }
        int count = 0;
        QString error;
        try {
            if (!db) {
                db = std::make_unique<platform::odbc::Connection>();
                db->Open(m_strConnect);
            }
            if (!RunStatement(*db, job.sql, [&count](platform::odbc::Statement& st) {
                    if (st.Fetch())
                        count = static_cast<int>(st.GetInt(1).value_or(0));
                }))
                continue;
        } catch (const platform::odbc::DatabaseError& e) {
            error = e.Text();
            // A connection that failed is opened again for the next count.
            if (!db || !db->IsOpen())
                db.reset();
        }
        // A cancelled or overtaken count is not worth delivering.
        if (Overtaken())
            continue;
        const Done done = m_done;
        const quint64 ticket = job.ticket;
        QMetaObject::invokeMethod(
            m_pReceiver, [done, ticket, count, error] { done(ticket, count, error); },
            Qt::QueuedConnection);
        if (job.anchorSql.isEmpty() || !error.isEmpty() || !db || !m_anchored)
            continue;
        QList<CGridRowset::Anchor> anchors;
        try {
            if (!RunStatement(*db, job.anchorSql, [&anchors](platform::odbc::Statement& st) {
                    anchors = CGridRowset::FetchAnchors(st);
                }))
                continue;
        } catch (const platform::odbc::DatabaseError&) {
            // Without places the long jumps go the long way; the list is right either way.
            if (!db->IsOpen())
                db.reset();
            continue;
        }
        if (Overtaken())
            continue;
        const Anchored anchored = m_anchored;
        QMetaObject::invokeMethod(
            m_pReceiver,
            [anchored, ticket, anchors = std::move(anchors)] { anchored(ticket, anchors); },
            Qt::QueuedConnection);
    }
}
