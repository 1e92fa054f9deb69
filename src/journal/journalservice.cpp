#include "journal/journalservice.h"

#include "journal/journal.h"
#include "journal/journalwire.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray Answer(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray Failure(const QString& text) {
    return Answer({{QStringLiteral("error"), text}});
}

} // namespace

CJournalService::CJournalService(const QString& journalPath) : m_path(journalPath) {
    // The operators and root read what the service alone writes, also while it is stopped.
    m_file.SetKeepWalFiles(true);
}

bool CJournalService::Open() {
    if (m_file.IsOpen())
        return true;
    QString damage;
    if (!CJournalFile::IsIntact(m_path, &damage)) {
        const QString aside = SetJournalFileAside(m_path);
        if (aside.isEmpty())
            return false;
        m_notice = CJournal::DamagedMessage(damage, aside);
    }
    if (m_file.Open(m_path))
        return true;
    if (!m_file.IsDamaged())
        return false;
    const QString reason = m_file.Error();
    m_file.Close();
    const QString aside = SetJournalFileAside(m_path);
    if (aside.isEmpty())
        return false;
    m_notice = CJournal::DamagedMessage(reason, aside);
    return m_file.Open(m_path);
}

bool CJournalService::Append(const QList<JournalRow>& rows, const QList<ShiftClose>& closes) {
    const auto write = [&] { return m_file.Append(rows) && m_file.AppendShiftCloses(closes); };
    if (!Open())
        return false;
    if (write())
        return true;
    // Found damaged only now: set aside, and the rows go to a fresh file.
    if (!m_file.IsDamaged())
        return false;
    m_file.Close();
    return Open() && write();
}

QByteArray CJournalService::Handle(const QByteArray& line, const QString& account) {
    QJsonParseError parsed{};
    const QJsonDocument request = QJsonDocument::fromJson(line, &parsed);
    const QJsonArray items = request.object().value(QStringLiteral("rows")).toArray();
    const QJsonArray closeItems = request.object().value(QStringLiteral("closes")).toArray();
    if (parsed.error != QJsonParseError::NoError || !request.isObject() ||
        (items.isEmpty() && closeItems.isEmpty()) || items.size() > kMaxRows ||
        closeItems.size() > kMaxRows)
        return Failure(QStringLiteral("неверный запрос к службе журнала"));
    // A close of a shift is the account's own: the socket's, whatever was sent.
    QList<ShiftClose> closes;
    for (const QJsonValue& item : closeItems) {
        ShiftClose close;
        if (!journalwire::FromJson(item.toObject(), &close))
            return Failure(QStringLiteral("неверный запрос к службе журнала"));
        close.account = account;
        closes.append(close);
    }
    QList<JournalRow> accepted;
    QList<RefusedRow> refused;
    for (const QJsonValue& item : items) {
        JournalRow row;
        QString reason = journalwire::FromJson(item.toObject(), &row)
                             ? journalwire::Implausible(row)
                             : QStringLiteral("запись не читается");
        if (!reason.isEmpty()) {
            refused.append({row.id.left(64),
                            account,
                            reason,
                            QJsonDocument(item.toObject()).toJson(QJsonDocument::Compact),
                            {}});
            continue;
        }
        row.account = account;
        accepted.append(row);
    }
    if ((!accepted.isEmpty() || !closes.isEmpty()) && !Append(accepted, closes))
        return Failure(m_file.Error());
    if (!refused.isEmpty() && !(Open() && m_file.KeepRefused(refused)))
        return Failure(m_file.Error());
    QJsonArray refusedIds;
    for (const RefusedRow& r : refused)
        refusedIds.append(
            QJsonObject{{QStringLiteral("id"), r.id}, {QStringLiteral("reason"), r.reason}});
    QJsonObject answer{{QStringLiteral("written"), accepted.size()},
                       {QStringLiteral("refused"), refusedIds}};
    if (!m_notice.isEmpty()) {
        answer.insert(QStringLiteral("notice"), m_notice);
        m_notice.clear();
    }
    return Answer(answer);
}
