#include "journal/journaloutbox.h"

#include "journal/journal.h"
#include "journal/journalsender.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// What the outbox's thread works with. The thread holds it too, so that a thread the
// destructor could not wait for (held up in the driver) still finds it.
struct OutboxCore {
    OutboxCore(const QString& path, const QString& connect, const CJournalOutbox::Timing& timing)
        : m_path(path), m_connect(connect), m_counter(platform::ComputerName()), m_timing(timing) {}

    void Run();
    // Sends every unsent row; false with the reason when something failed on the way.
    bool SendAll(CJournalSender& sender, QString* reason);
    // What a batch did: counted, and the operator told of the rows the server refused.
    void BatchDone(const CJournalSender::Counts& batch, const QList<SetAsideRow>& refused);
    bool Stopping() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bStop;
    }
    // Message sinks belong to the screen thread: the text is posted there, unless the
    // program is closing.
    void Report(const QString& text);

    const QString m_path;
    const QString m_connect;
    const QString m_counter;
    const CJournalOutbox::Timing m_timing;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    bool m_bNudged = false;
    bool m_bDone = false;
    CJournalSender* m_pSender = nullptr; // while the thread has one, for the cancel
    std::atomic<CJournalOutbox::State> m_state{CJournalOutbox::State::Idle};
    std::atomic<int> m_sent{0};
    std::atomic<int> m_inserted{0};
    std::atomic<int> m_setAside{0};
};

CJournalOutbox::CJournalOutbox(const QString& journalPath, const QString& connectionString)
    : CJournalOutbox(journalPath, connectionString, Timing()) {}

CJournalOutbox::CJournalOutbox(const QString& journalPath, const QString& connectionString,
                               const Timing& timing)
    : m_core(std::make_shared<OutboxCore>(journalPath, connectionString, timing)) {
    m_thread = std::thread([core = m_core] { core->Run(); });
}

CJournalOutbox::~CJournalOutbox() {
    OutboxCore& core = *m_core;
    std::unique_lock<std::mutex> lock(core.m_mutex);
    core.m_bStop = true;
    if (core.m_pSender)
        core.m_pSender->Cancel();
    core.m_wake.notify_all();
    const bool done = core.m_wake.wait_for(lock, std::chrono::milliseconds(core.m_timing.closeMs),
                                           [&core] { return core.m_bDone; });
    lock.unlock();
    if (done)
        m_thread.join();
    else
        m_thread.detach();
}

void CJournalOutbox::Nudge() {
    {
        std::lock_guard<std::mutex> lock(m_core->m_mutex);
        m_core->m_bNudged = true;
    }
    m_core->m_wake.notify_all();
}

QString CJournalOutbox::ConnectionString() const {
    return m_core->m_connect;
}
CJournalOutbox::State CJournalOutbox::GetState() const {
    return m_core->m_state.load();
}
int CJournalOutbox::Sent() const {
    return m_core->m_sent.load();
}
int CJournalOutbox::Inserted() const {
    return m_core->m_inserted.load();
}
int CJournalOutbox::SetAside() const {
    return m_core->m_setAside.load();
}

QString CJournalOutbox::UnreachableMessage(const QString& reason) {
    return QStringLiteral("Центральный журнал фасовки недоступен:\n%1\n\nЭтикетки печатаются "
                          "и записываются в журнал рабочего места; записи будут переданы, "
                          "когда сервер станет доступен")
        .arg(reason);
}

QString CJournalOutbox::RefusedMessage(const JournalRow& first, const QString& error, int count) {
    return QStringLiteral("Центральный журнал фасовки не принял запись об этикетке «%1» "
                          "(код %2, %3):\n%4\n\nНе принято записей: %5. Они остались в журнале "
                          "рабочего места (varnet-journal --refused), остальные записи "
                          "передаются")
        .arg(first.name, first.code, first.moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
             error)
        .arg(count);
}

void OutboxCore::Report(const QString& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || Stopping())
        return;
    QMetaObject::invokeMethod(
        app,
        [text] {
            platform::ReportMessage(text, CJournal::Caption(), platform::MessageIcon::Exclamation);
        },
        Qt::QueuedConnection);
}

void OutboxCore::BatchDone(const CJournalSender::Counts& batch, const QList<SetAsideRow>& refused) {
    m_sent += batch.sent;
    m_inserted += batch.inserted;
    m_setAside += batch.setAside;
    if (batch.sent > 0 || !refused.isEmpty())
        m_state = CJournalOutbox::State::Sent;
    if (!refused.isEmpty())
        Report(CJournalOutbox::RefusedMessage(refused.first().row, refused.first().error,
                                              int(refused.size())));
}

bool OutboxCore::SendAll(CJournalSender& sender, QString* reason) {
    return sender.SendAll(reason, [this] { return Stopping(); });
}

void OutboxCore::Run() {
    CJournalSender sender(m_path, m_connect, m_counter);
    sender.SetTimeout(m_timing.statementS);
    sender.SetBatchHook([this](const CJournalSender::Counts& batch,
                               const QList<SetAsideRow>& refused) { BatchDone(batch, refused); });
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pSender = &sender;
    }
    bool reported = false;
    int failures = 0; // attempts in a row that failed
    int pauseMs = 0;  // 0 while the last attempt went well
    for (;;) {
        QString reason;
        if (SendAll(sender, &reason)) {
            pauseMs = 0;
            failures = 0;
            reported = false;
            if (m_state.load() == CJournalOutbox::State::Failing)
                m_state = CJournalOutbox::State::Idle;
        } else {
            m_state = CJournalOutbox::State::Failing;
            pauseMs =
                pauseMs == 0 ? m_timing.firstRetryMs : std::min(pauseMs * 2, m_timing.lastRetryMs);
            // A server that was restarted cuts the connection the outbox held: the first
            // attempt fails on it and the retry a moment later connects again. Only a retry
            // that fails too is an outage the operator must hear of.
            if (++failures >= 2 && !reported) {
                reported = true;
                Report(CJournalOutbox::UnreachableMessage(reason));
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
            break;
    }
    // The connections close before the destructor hears that the thread is done.
    sender.Close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pSender = nullptr;
    m_bDone = true;
    m_wake.notify_all();
}
