#include "journal/journal.h"

#include "journal/journalservice.h"
#include "journal/journalwire.h"
#include "platform/clock.h"
#include "platform/counterfiles.h"
#include "platform/localsocket.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace {
// The longest a label waits on the journal service before its row waits in the account's file.
constexpr int kServiceTimeoutMs = 2000;
} // namespace

CJournal::CJournal(const QString& path, const QString& serviceSocket)
    : m_path(path), m_socket(serviceSocket) {}

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
    m_waitingCloses.clear();
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
    return pending.Open(path) && pending.Append(m_waiting) &&
           pending.AppendShiftCloses(m_waitingCloses);
}

void CJournal::Unstash(const QList<JournalRow>& written, const QList<ShiftClose>& closed) {
    const QString path = PendingPath();
    if (!QFileInfo::exists(path))
        return;
    QStringList ids;
    for (const JournalRow& r : written)
        ids.append(r.id);
    QStringList closeIds;
    for (const ShiftClose& c : closed)
        closeIds.append(c.id);
    CJournalFile pending;
    if (!pending.Open(path, false) || !pending.Remove(ids) || !pending.RemoveShiftCloses(closeIds))
        return; // the rows are in the journal; moving them again later adds nothing
    bool ok = false;
    bool closesOk = false;
    const bool empty = pending.All(&ok).isEmpty() && ok &&
                       pending.ShiftCloses(QDateTime(), &closesOk).isEmpty() && closesOk;
    pending.Close();
    if (empty)
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
}

void CJournal::Prepare() {
    // Opened (and with it checked) now, so that the first label never waits on the check.
    EnsureOpen();
    const QString path = PendingPath();
    if (!QFileInfo::exists(path))
        return;
    CJournalFile pending;
    bool ok = false;
    if (!pending.Open(path, false)) {
        // A FIFO or the like in its place is never waited on: said once, and labels print.
        if (pending.IsNotAFile())
            platform::ReportMessage(PendingNotAFileMessage(pending.Error()), Caption(),
                                    platform::MessageIcon::Exclamation);
        return;
    }
    const QList<JournalRow> kept = pending.All(&ok);
    bool closesOk = false;
    const QList<ShiftClose> keptCloses = pending.ShiftCloses(QDateTime(), &closesOk);
    pending.Close();
    for (const JournalRow& r : kept)
        if (std::none_of(m_waiting.cbegin(), m_waiting.cend(),
                         [&r](const JournalRow& w) { return w.id == r.id; }))
            m_waiting.append(r);
    for (const ShiftClose& c : keptCloses)
        if (std::none_of(m_waitingCloses.cbegin(), m_waitingCloses.cend(),
                         [&c](const ShiftClose& w) { return w.id == c.id; }))
            m_waitingCloses.append(c);
    if (Flush())
        return;
    ReportLastingOutage();
    ScheduleRetry();
}

void CJournal::ReportOutage() {
    if (m_bReported)
        return;
    m_bReported = true;
    platform::ReportMessage(IsServiced() ? ServiceDownMessage(m_serviceError)
                                         : UnwritableMessage(m_path, NotAFileReason()),
                            Caption(), platform::MessageIcon::Exclamation);
}

void CJournal::SetCentral(const QString& connectionString, const CJournalOutbox::Timing& timing) {
    if (m_outbox && m_outbox->ConnectionString() == connectionString)
        return;
    m_outbox.reset();
    m_centralTiming = timing;
    if (!connectionString.isEmpty())
        m_outbox = std::make_unique<CJournalOutbox>(m_path, connectionString, timing);
}

QString CJournal::FileName() {
    return QStringLiteral("Journal.db");
}

QString CJournal::Caption() {
    return QStringLiteral("Журнал фасовки");
}

QString CJournal::ServiceDownMessage(const QString& reason) {
    return QStringLiteral("Служба журнала фасовки недоступна:\n%1\n\nЭтикетки печатаются, "
                          "записи будут переданы в журнал, когда служба станет доступна")
        .arg(reason);
}

QString CJournal::RefusedByServiceMessage(int count, const QString& reason) {
    return QStringLiteral("Журнал фасовки не принял записей об этикетках: %1 (%2). Они "
                          "сохранены службой журнала отдельно от этикеток "
                          "(varnet-journal --refused)")
        .arg(count)
        .arg(reason);
}

QString CJournal::UnwritableMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Журнал фасовки не записывается:\n%1\n\nЭтикетки печатаются, "
                          "записи будут сохранены, когда файл станет доступен")
        .arg(reason.isEmpty() ? path : reason);
}

QString CJournal::PendingNotAFileMessage(const QString& reason) {
    return QStringLiteral("Этикетки, которые не удастся сразу записать в журнал фасовки, "
                          "хранить негде:\n%1\n\nПока его не уберут, такие записи хранятся "
                          "только до закрытия программы")
        .arg(reason);
}

QString CJournal::NotAFileReason() const {
    return m_file.IsNotAFile() ? m_file.Error() : QString();
}

void CJournal::SetRetryInterval(int ms) {
    m_retryMs = ms;
    if (m_retry)
        m_retry->setInterval(ms);
}

QString CJournal::DamagedMessage(const QString& reason, const QString& aside) {
    return QStringLiteral("Файл журнала фасовки повреждён (%1).\n\nОн сохранён без изменений "
                          "как\n%2\n\nНовые записи пишутся в новый файл журнала.")
        .arg(reason, aside);
}

bool CJournal::EnsureOpen() {
    if (m_file.IsOpen())
        return true;
    // The service's file is only read here.
    if (IsServiced())
        return m_file.OpenReadOnly(m_path);
    // Another operator's link in the shared folder is never written through, and a new file
    // is made for the whole group of operators, whatever this account's umask.
    if (platform::PrepareCounterFile(m_path) != platform::FileError::None)
        return false;
    // Checked before anything writes to it: a damaged file is kept as it was found.
    QString damage;
    if (!CJournalFile::IsIntact(m_path, &damage))
        return SetDamagedFileAside(damage);
    if (m_file.Open(m_path))
        return true;
    return m_file.IsDamaged() && SetDamagedFileAside(m_file.Error());
}

bool CJournal::SetDamagedFileAside(const QString& reason) {
    m_file.Close();
    // The outbox reads and marks the same file: it lets go of it first.
    const QString central = m_outbox ? m_outbox->ConnectionString() : QString();
    m_outbox.reset();
    const QString aside = SetJournalFileAside(m_path);
    if (!central.isEmpty())
        m_outbox = std::make_unique<CJournalOutbox>(m_path, central, m_centralTiming);
    if (aside.isEmpty())
        return false;
    m_damage = DamagedMessage(reason, aside);
    platform::ReportMessage(m_damage, Caption(), platform::MessageIcon::Exclamation);
    // The fresh file, too, is the whole group's.
    return platform::PrepareCounterFile(m_path) == platform::FileError::None && m_file.Open(m_path);
}

QString CJournal::ReadError() const {
    if (!m_readError.isEmpty())
        return m_readError;
    return m_damage;
}

void CJournal::Record(const JournalRow& row) {
    m_waiting.append(row);
    KeepWaiting();
}

void CJournal::CloseShift(const ShiftClose& close) {
    m_waitingCloses.append(close);
    KeepWaiting();
}

void CJournal::KeepWaiting() {
    if (Flush())
        return;
    // At once, not at exit: a program that is killed or loses power keeps the row too.
    Stash();
    ReportLastingOutage();
    ScheduleRetry();
}

void CJournal::ReportLastingOutage() {
    // Another connection that holds the file a moment longer than the writer waits is no
    // outage: the rows are kept and written at the next try.
    constexpr qint64 kBusyPatienceMs = 10000;
    if (!m_busySince.isValid() || m_busySince.elapsed() >= kBusyPatienceMs)
        ReportOutage();
}

bool CJournal::Flush() {
    if (m_waiting.isEmpty() && m_waitingCloses.isEmpty())
        return true;
    if (IsServiced())
        return FlushToService();
    const auto write = [this] {
        return m_file.Append(m_waiting) && m_file.AppendShiftCloses(m_waitingCloses);
    };
    if (!EnsureOpen() || !write()) {
        // A file found damaged only now is set aside, and the rows go to a fresh one.
        const bool damaged = m_file.IsOpen() && m_file.IsDamaged();
        if (!damaged || !SetDamagedFileAside(m_file.Error()) || !write()) {
            if (!m_file.IsBusy())
                m_busySince.invalidate();
            else if (!m_busySince.isValid())
                m_busySince.start();
            // A file that failed once is opened anew next time: the folder may have been
            // replaced or remounted in between.
            m_file.Close();
            return false;
        }
    }
    m_busySince.invalidate();
    Unstash(m_waiting, m_waitingCloses);
    m_waiting.clear();
    m_waitingCloses.clear();
    m_bReported = false;
    if (m_outbox)
        m_outbox->Nudge();
    if (m_retry)
        m_retry->stop();
    return true;
}

bool CJournal::FlushToService() {
    int refused = 0;
    QString firstReason;
    while (!m_waiting.isEmpty() || !m_waitingCloses.isEmpty()) {
        const QList<JournalRow> batch = m_waiting.mid(0, CJournalService::kMaxRows);
        // The closes of shifts go with the first request; they are few.
        const QList<ShiftClose> closes = m_waitingCloses;
        QByteArray line;
        if (!platform::LocalRequest(m_socket, journalwire::Request(batch, closes), &line,
                                    &m_serviceError, kServiceTimeoutMs))
            return false;
        const QJsonObject answer = QJsonDocument::fromJson(line).object();
        if (!answer.contains(QStringLiteral("written"))) {
            m_serviceError = answer.value(QStringLiteral("error"))
                                 .toString(QStringLiteral("служба журнала ответила неверно"));
            return false;
        }
        // Written or kept apart by the service: either way the rows have left this program.
        for (const QJsonValue& r : answer.value(QStringLiteral("refused")).toArray()) {
            if (refused++ == 0)
                firstReason = r.toObject().value(QStringLiteral("reason")).toString();
        }
        if (const QString notice = answer.value(QStringLiteral("notice")).toString();
            !notice.isEmpty()) {
            m_damage = notice;
            platform::ReportMessage(notice, Caption(), platform::MessageIcon::Exclamation);
        }
        Unstash(batch, closes);
        m_waiting.erase(m_waiting.begin(), m_waiting.begin() + batch.size());
        m_waitingCloses.clear();
    }
    m_bReported = false;
    if (m_retry)
        m_retry->stop();
    if (refused > 0)
        platform::ReportMessage(RefusedByServiceMessage(refused, firstReason), Caption(),
                                platform::MessageIcon::Exclamation);
    return true;
}

void CJournal::ScheduleRetry() {
    if (!QCoreApplication::instance())
        return;
    if (!m_retry) {
        m_retry = std::make_unique<QTimer>();
        m_retry->setInterval(m_retryMs);
        QObject::connect(m_retry.get(), &QTimer::timeout, m_retry.get(), [this] {
            if (!Flush())
                ReportLastingOutage();
        });
    }
    if (!m_retry->isActive())
        m_retry->start();
}

QList<JournalRow> CJournal::Rows(const QDateTime& from, const QDateTime& to) {
    QList<JournalRow> rows;
    bool read = EnsureOpen();
    if (read)
        rows = m_file.Rows(from, to, &read);
    if (read && m_file.IsDamaged() && !IsServiced()) {
        // Damaged while open: set aside, and the fresh file read instead.
        read = SetDamagedFileAside(m_file.Error());
        rows = read ? m_file.Rows(from, to, &read) : QList<JournalRow>();
    }
    m_readError = read ? QString()
                       : QStringLiteral("Журнал фасовки не читается: %1")
                             .arg(m_file.Error().isEmpty() ? m_path : m_file.Error());
    if (!read)
        m_file.Close();
    for (const JournalRow& r : m_waiting)
        if (r.moment >= from && r.moment < to)
            rows.append(r);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const JournalRow& a, const JournalRow& b) { return a.moment < b.moment; });
    return rows;
}

QList<ShiftClose> CJournal::ShiftCloses(const QDateTime& from) {
    bool read = false;
    QList<ShiftClose> closes;
    if (EnsureOpen())
        closes = m_file.ShiftCloses(from, &read);
    if (!read && m_readError.isEmpty())
        m_readError = QStringLiteral("Журнал фасовки не читается: %1")
                          .arg(m_file.Error().isEmpty() ? m_path : m_file.Error());
    for (const ShiftClose& c : m_waitingCloses)
        if (c.moment >= from)
            closes.append(c);
    std::stable_sort(closes.begin(), closes.end(),
                     [](const ShiftClose& a, const ShiftClose& b) { return a.moment < b.moment; });
    return closes;
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
    const QString path = platform::JournalDirectory() + QLatin1Char('/') + CJournal::FileName();
    const QString socket = platform::JournalServiceSocket();
    if (!journal || journal->Path() != path || journal->IsServiced() != !socket.isEmpty())
        journal = std::make_unique<CJournal>(path, socket);
    return *journal;
}
