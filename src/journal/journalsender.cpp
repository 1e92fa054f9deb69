#include "journal/journalsender.h"

#include "platform/paths.h"

#include <QFileInfo>
#include <QStringList>

namespace {

QStringList Ids(const QList<JournalRow>& rows) {
    QStringList ids;
    ids.reserve(rows.size());
    for (const JournalRow& r : rows)
        ids.append(r.id);
    return ids;
}

} // namespace

CJournalSender::CJournalSender(const QString& journalPath, const QString& connectionString,
                               const QString& counter)
    : m_path(journalPath), m_connect(connectionString), m_counter(counter) {}

void CJournalSender::Close() {
    m_file.Close();
    m_central.Close();
}

void CJournalSender::Finish(const Batch& batch) {
    m_total.sent += batch.counts.sent;
    m_total.inserted += batch.counts.inserted;
    m_total.setAside += batch.counts.setAside;
    if (m_fnBatch)
        m_fnBatch(batch.counts, batch.refused);
}

bool CJournalSender::SendSplitting(const QList<JournalRow>& rows, Batch& batch, QString* reason) {
    int inserted = 0;
    try {
        inserted = m_central.Send(rows, m_counter);
    } catch (const platform::odbc::DatabaseError& e) {
        if (!CCentralJournal::IsDataRefusal(e))
            throw;
        if (rows.size() == 1) {
            // Never sent again; a file that cannot keep the mark now meets it next time.
            const SetAsideRow refused{rows.first(), e.Text()};
            batch.refused.append(refused);
            if (m_file.SetAside({refused}))
                batch.counts.setAside += 1;
            return true;
        }
        const qsizetype half = rows.size() / 2;
        return SendSplitting(rows.mid(0, half), batch, reason) &&
               SendSplitting(rows.mid(half), batch, reason);
    }
    batch.counts.sent += int(rows.size());
    batch.counts.inserted += inserted;
    // Rows the server holds but the file could not mark go again later: the server keeps
    // the copy it has.
    if (!m_file.MarkSent(Ids(rows))) {
        *reason = m_file.Error();
        m_file.Close();
        return false;
    }
    return true;
}

bool CJournalSender::SendAll(QString* reason, const std::function<bool()>& stop) {
    try {
        for (;;) {
            if (stop && stop())
                return true;
            if (!m_file.IsOpen()) {
                // No journal file yet: nothing was recorded, so nothing is to be sent.
                if (!m_file.Open(m_path, false))
                    return true;
                m_file.SetMarksLazy();
            }
            bool ok = false;
            const QList<JournalRow> rows = m_file.Unsent(m_nBatchRows, &ok);
            if (!ok) {
                *reason = m_file.Error();
                m_file.Close();
                return false;
            }
            if (rows.isEmpty())
                return true;
            if (!m_central.IsUsable()) {
                m_central.Close();
                m_central.Open(m_connect);
            }
            Batch batch;
            bool marked = false;
            try {
                marked = SendSplitting(rows, batch, reason);
            } catch (const platform::odbc::DatabaseError&) {
                // What was settled before the failure counts.
                Finish(batch);
                throw;
            }
            Finish(batch);
            if (!marked)
                return false;
        }
    } catch (const platform::odbc::DatabaseError& e) {
        m_central.Close();
        *reason = e.Text();
        return false;
    }
}

CJournalSender::Result CJournalSender::SendUnsent(const QString& journalPath,
                                                  const QString& connectionString, int timeoutS) {
    Result result;
    {
        // A missing or unwritable file is an error here, not "nothing recorded yet".
        CJournalFile file;
        if (!QFileInfo::exists(journalPath)) {
            result.error = QStringLiteral("%1 does not exist").arg(journalPath);
            return result;
        }
        if (!file.Open(journalPath, false)) {
            result.error = file.Error();
            return result;
        }
    }
    CJournalSender sender(journalPath, connectionString, platform::ComputerName());
    sender.SetTimeout(timeoutS);
    result.ok = sender.SendAll(&result.error);
    result.counts = sender.Total();
    sender.Close();
    return result;
}
