#include "journal/journaloutbox.h"

#include "journal/centraljournal.h"
#include "journal/journal.h"
#include "journal/journalfile.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

namespace {
// Rows per server transaction: one round trip each, and a batch a dead link cuts off is
// small to send again.
constexpr int kBatch = 200;
} // namespace

CJournalOutbox::CJournalOutbox(const QString& journalPath, const QString& connectionString)
    : CJournalOutbox(journalPath, connectionString, Timing()) {}

CJournalOutbox::CJournalOutbox(const QString& journalPath, const QString& connectionString,
                               const Timing& timing)
    : m_path(journalPath), m_connect(connectionString), m_counter(platform::ComputerName()),
      m_timing(timing) {
    m_thread = std::thread([this] { Run(); });
}

CJournalOutbox::~CJournalOutbox() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CJournalOutbox::Nudge() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bNudged = true;
    }
    m_wake.notify_all();
}

QString CJournalOutbox::UnreachableMessage(const QString& reason) {
    return QStringLiteral("Центральный журнал фасовки недоступен:\n%1\n\nЭтикетки печатаются "
                          "и записываются в журнал рабочего места; записи будут переданы, "
                          "когда сервер станет доступен")
        .arg(reason);
}

void CJournalOutbox::ReportOutage(const QString& reason) {
    // Message sinks belong to the screen thread: the text is posted there.
    QCoreApplication* app = QCoreApplication::instance();
    const QString text = UnreachableMessage(reason);
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [text] {
            platform::ReportMessage(text, CJournal::Caption(), platform::MessageIcon::Exclamation);
        },
        Qt::QueuedConnection);
}

bool CJournalOutbox::SendAll(CCentralJournal& central, CJournalFile& file, QString* reason) {
    try {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_bStop)
                    return true;
            }
            if (!file.IsOpen() && !file.Open(m_path, false)) {
                // No journal file yet: nothing was recorded, so nothing is to be sent.
                return true;
            }
            bool ok = false;
            const QList<JournalRow> rows = file.Unsent(kBatch, &ok);
            if (!ok) {
                file.Close();
                *reason = file.Error();
                return false;
            }
            if (rows.isEmpty())
                return true;
            if (!central.IsUsable()) {
                central.Close();
                central.Open(m_connect);
            }
            m_inserted += central.Send(rows, m_counter);
            m_sent += int(rows.size());
            QStringList ids;
            for (const JournalRow& r : rows)
                ids.append(r.id);
            // Rows the server holds but the file could not mark go again later: the server
            // keeps the copy it has.
            if (!file.MarkSent(ids)) {
                file.Close();
                *reason = file.Error();
                return false;
            }
            m_state = State::Sent;
        }
    } catch (const platform::odbc::DatabaseError& e) {
        central.Close();
        *reason = e.Text();
        return false;
    }
}

void CJournalOutbox::Run() {
    CCentralJournal central;
    CJournalFile file;
    bool reported = false;
    int pauseMs = 0; // 0 while the last attempt went well
    for (;;) {
        QString reason;
        if (SendAll(central, file, &reason)) {
            pauseMs = 0;
            reported = false;
            if (m_state.load() == State::Failing)
                m_state = State::Idle;
        } else {
            m_state = State::Failing;
            pauseMs =
                pauseMs == 0 ? m_timing.firstRetryMs : std::min(pauseMs * 2, m_timing.lastRetryMs);
            if (!reported) {
                reported = true;
                ReportOutage(reason);
            }
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        if (pauseMs > 0) {
            // A failure is waited out whatever the screen records meanwhile: every label would
            // otherwise knock at a dead server.
            m_wake.wait_for(lock, std::chrono::milliseconds(pauseMs), [this] { return m_bStop; });
        } else {
            m_wake.wait_for(lock, std::chrono::milliseconds(m_timing.idleMs),
                            [this] { return m_bStop || m_bNudged; });
        }
        m_bNudged = false;
        if (m_bStop)
            return;
    }
}
