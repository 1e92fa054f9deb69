#include "catalogue/rowcounter.h"

#include "platform/odbc.h"

#include <QMetaObject>

#include <memory>

CRowCounter::CRowCounter(QString connectionString, QObject* receiver, Done done)
    : m_strConnect(std::move(connectionString)), m_pReceiver(receiver), m_done(std::move(done)),
      m_thread([this] { Run(); }) {}

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

void CRowCounter::Request(quint64 ticket, const QString& sql) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pending = Job{ticket, sql};
        // SQLCancel is the one call ODBC allows on a statement that another thread runs.
        if (m_hRunning)
            SQLCancel(static_cast<SQLHSTMT>(m_hRunning));
    }
    m_wake.notify_all();
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
            platform::odbc::Statement st(*db);
            st.SetReadOnly();
            {
                std::lock_guard<std::mutex> guard(m_lock);
                if (m_bStop || m_pending)
                    continue;
                m_hRunning = st.Handle();
            }
            try {
                st.ExecDirect(job.sql);
                if (st.Fetch())
                    count = static_cast<int>(st.GetInt(1).value_or(0));
            } catch (...) {
                std::lock_guard<std::mutex> guard(m_lock);
                m_hRunning = nullptr;
                throw;
            }
            std::lock_guard<std::mutex> guard(m_lock);
            m_hRunning = nullptr;
        } catch (const platform::odbc::DatabaseError& e) {
            error = e.Text();
            // A connection that failed is opened again for the next count.
            if (!db || !db->IsOpen())
                db.reset();
        }
        {
            // A cancelled or overtaken count is not worth delivering.
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_bStop || m_pending)
                continue;
        }
        const Done done = m_done;
        const quint64 ticket = job.ticket;
        QMetaObject::invokeMethod(
            m_pReceiver, [done, ticket, count, error] { done(ticket, count, error); },
            Qt::QueuedConnection);
    }
}
