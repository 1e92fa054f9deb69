#include "journal/journal.h"

#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

CJournal::CJournal(const QString& path) : m_path(path) {}

CJournal::~CJournal() {
    Flush();
    // The outbox reads the file this object writes: it stops first.
    m_outbox.reset();
}

void CJournal::SetCentral(const QString& connectionString, const CJournalOutbox::Timing& timing) {
    if (m_outbox && m_outbox->ConnectionString() == connectionString)
        return;
    m_outbox.reset();
    if (!connectionString.isEmpty())
        m_outbox = std::make_unique<CJournalOutbox>(m_path, connectionString, timing);
}

QString CJournal::FileName() {
    return QStringLiteral("Journal.db");
}

QString CJournal::Caption() {
    return QStringLiteral("Журнал фасовки");
}

QString CJournal::UnwritableMessage(const QString& path) {
    return QStringLiteral("Журнал фасовки не записывается:\n%1\n\nЭтикетки печатаются, "
                          "записи будут сохранены, когда файл станет доступен")
        .arg(path);
}

void CJournal::SetRetryInterval(int ms) {
    m_retryMs = ms;
    if (m_retry)
        m_retry->setInterval(ms);
}

bool CJournal::EnsureOpen() {
    return m_file.IsOpen() || m_file.Open(m_path);
}

void CJournal::Record(const JournalRow& row) {
    m_waiting.append(row);
    if (Flush())
        return;
    if (!m_bReported) {
        m_bReported = true;
        platform::ReportMessage(UnwritableMessage(m_path), Caption(),
                                platform::MessageIcon::Exclamation);
    }
    ScheduleRetry();
}

bool CJournal::Flush() {
    if (m_waiting.isEmpty())
        return true;
    if (!EnsureOpen() || !m_file.Append(m_waiting)) {
        // A file that failed once is opened anew next time: the folder may have been
        // replaced or remounted in between.
        m_file.Close();
        return false;
    }
    m_waiting.clear();
    m_bReported = false;
    if (m_outbox)
        m_outbox->Nudge();
    if (m_retry)
        m_retry->stop();
    return true;
}

void CJournal::ScheduleRetry() {
    if (!QCoreApplication::instance())
        return;
    if (!m_retry) {
        m_retry = std::make_unique<QTimer>();
        m_retry->setInterval(m_retryMs);
        QObject::connect(m_retry.get(), &QTimer::timeout, m_retry.get(), [this] { Flush(); });
    }
    if (!m_retry->isActive())
        m_retry->start();
}

QList<JournalRow> CJournal::Rows(const QDateTime& from, const QDateTime& to) {
    QList<JournalRow> rows;
    if (EnsureOpen())
        rows = m_file.Rows(from, to);
    for (const JournalRow& r : m_waiting)
        if (r.moment >= from && r.moment < to)
            rows.append(r);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const JournalRow& a, const JournalRow& b) { return a.moment < b.moment; });
    return rows;
}

bool CJournal::LastRow(JournalRow* row) {
    if (!m_waiting.isEmpty()) {
        *row = m_waiting.last();
        return true;
    }
    return EnsureOpen() && m_file.LastRow(row);
}

CJournal& AppJournal() {
    static std::unique_ptr<CJournal> journal;
    const QString path = platform::ModuleDirectory() + QLatin1Char('/') + CJournal::FileName();
    if (!journal || journal->Path() != path)
        journal = std::make_unique<CJournal>(path);
    return *journal;
}
