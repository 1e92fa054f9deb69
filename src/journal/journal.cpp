#include "journal/journal.h"

#include "platform/counterfiles.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

CJournal::CJournal(const QString& path) : m_path(path) {}

CJournal::~CJournal() {
    Close();
}

QString CJournal::Close() {
    // The outbox reads the file this object writes: it stops first.
    m_outbox.reset();
    if (m_retry)
        m_retry->stop();
    if (Flush())
        return QString();
    const bool kept = Stash();
    const int count = int(m_waiting.size());
    m_waiting.clear();
    m_file.Close();
    if (!kept)
        return QStringLiteral("Этикеток, не записанных в журнал фасовки %1: %2. Сохранить их "
                              "в %3 тоже не удалось: эти записи потеряны")
            .arg(m_path)
            .arg(count)
            .arg(PendingPath());
    return QStringLiteral("Этикеток, не записанных в журнал фасовки %1: %2. Они сохранены в %3 "
                          "и будут перенесены в журнал при следующем запуске программы")
        .arg(m_path)
        .arg(count)
        .arg(PendingPath());
}

QString CJournal::PendingPath() const {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    const QByteArray key = QFileInfo(m_path).absoluteFilePath().toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    return data + QStringLiteral("/varnet/pending-%1.db").arg(hash);
}

bool CJournal::Stash() {
    const QString path = PendingPath();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    CJournalFile pending;
    return pending.Open(path) && pending.Append(m_waiting);
}

void CJournal::Unstash(const QList<JournalRow>& written) {
    const QString path = PendingPath();
    if (!QFileInfo::exists(path))
        return;
    QStringList ids;
    for (const JournalRow& r : written)
        ids.append(r.id);
    CJournalFile pending;
    if (!pending.Open(path, false) || !pending.Remove(ids))
        return; // the rows are in the journal; moving them again later adds nothing
    bool ok = false;
    const bool empty = pending.All(&ok).isEmpty() && ok;
    pending.Close();
    if (empty)
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
}

void CJournal::RecoverPending() {
    const QString path = PendingPath();
    if (!QFileInfo::exists(path))
        return;
    CJournalFile pending;
    bool ok = false;
    if (!pending.Open(path, false))
        return;
    const QList<JournalRow> kept = pending.All(&ok);
    pending.Close();
    for (const JournalRow& r : kept)
        if (std::none_of(m_waiting.cbegin(), m_waiting.cend(),
                         [&r](const JournalRow& w) { return w.id == r.id; }))
            m_waiting.append(r);
    if (Flush())
        return;
    if (!m_bReported) {
        m_bReported = true;
        platform::ReportMessage(UnwritableMessage(m_path), Caption(),
                                platform::MessageIcon::Exclamation);
    }
    ScheduleRetry();
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
    if (m_file.IsOpen())
        return true;
    // Another operator's link in the shared folder is never written through, and a new file
    // is made for the whole group of operators, whatever this account's umask.
    if (platform::PrepareCounterFile(m_path) != platform::FileError::None)
        return false;
    return m_file.Open(m_path);
}

void CJournal::Record(const JournalRow& row) {
    m_waiting.append(row);
    if (Flush())
        return;
    // At once, not at exit: a program that is killed or loses power keeps the row too.
    Stash();
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
    Unstash(m_waiting);
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
