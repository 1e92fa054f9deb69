#include "journal/journalshift.h"

#include "journal/journal.h"

#include <QHash>

#include <algorithm>

ShiftClose ShiftClose::Make(const QString& account, const QDateTime& moment) {
    return {JournalRow::NewId(), moment, account};
}

namespace journalshift {

QList<QDateTime> ShiftStarts(const QList<JournalRow>& rows, const QList<ShiftClose>& closes) {
    QHash<QString, QList<QDateTime>> closedAt;
    for (const ShiftClose& c : closes)
        closedAt[c.account].append(c.moment);
    for (QList<QDateTime>& moments : closedAt)
        std::sort(moments.begin(), moments.end());
    struct Running {
        QDateTime last;  // the account's label before this one
        QDateTime start; // and the start of its shift
    };
    QHash<QString, Running> running;
    QList<QDateTime> starts;
    starts.reserve(rows.size());
    for (const JournalRow& r : rows) {
        Running& run = running[r.account];
        bool fresh = !run.last.isValid() || run.last.secsTo(r.moment) > kGapSecs;
        if (!fresh) {
            // A close belongs before the labels of its moment and after the earlier ones.
            const QList<QDateTime>& moments = closedAt.value(r.account);
            const auto after = std::upper_bound(moments.cbegin(), moments.cend(), run.last);
            fresh = after != moments.cend() && *after <= r.moment;
        }
        if (fresh)
            run.start = r.moment;
        run.last = r.moment;
        starts.append(run.start);
    }
    return starts;
}

QDateTime ReadFrom(const QDateTime& from) {
    return from.addSecs(-kLookbackSecs);
}

RowsWithShifts From(const QList<JournalRow>& rows, const QList<ShiftClose>& closes,
                    const QDateTime& from) {
    const QList<QDateTime> starts = ShiftStarts(rows, closes);
    RowsWithShifts out;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].moment < from)
            continue;
        out.rows.append(rows[i]);
        out.shifts.append(starts[i]);
    }
    return out;
}

} // namespace journalshift

QDateTime ShiftReport::WindowStart(const QDateTime& now) {
    return journalshift::ReadFrom(now);
}

ShiftReport ShiftReport::Make(const QList<JournalRow>& rows, const QList<ShiftClose>& closes,
                              const QString& account, const QDateTime& now) {
    ShiftReport report;
    report.account = account;
    report.day = now.date();
    const QList<QDateTime> starts = journalshift::ShiftStarts(rows, closes);

    QList<JournalRow> dayRows;
    qsizetype last = -1; // the account's latest label up to now
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].moment.date() == report.day)
            dayRows.append(rows[i]);
        if (rows[i].account == account && rows[i].moment <= now)
            last = i;
    }
    QDateTime lastClose;
    for (const ShiftClose& c : closes)
        if (c.account == account && c.moment <= now &&
            (!lastClose.isValid() || c.moment > lastClose))
            lastClose = c.moment;

    const bool open = last >= 0 && rows[last].moment.secsTo(now) <= journalshift::kGapSecs &&
                      !(lastClose.isValid() && lastClose > rows[last].moment);
    if (open) {
        report.start = starts[last];
        for (qsizetype i = 0; i <= last; ++i)
            if (rows[i].account == account && starts[i] == report.start)
                report.rows.append(rows[i]);
        // The shift follows a close when no label of the account came between the two.
        if (lastClose.isValid() && lastClose <= report.start &&
            std::none_of(rows.cbegin(), rows.cend(), [&](const JournalRow& r) {
                return r.account == account && r.moment >= lastClose && r.moment < report.start;
            }))
            report.closed = lastClose;
    } else if (lastClose.isValid() && (last < 0 || lastClose > rows[last].moment)) {
        report.closed = lastClose;
    }
    report.totals = TotalsByProduct(report.rows);
    report.grand = GrandTotal(report.rows);
    report.dayTotals = TotalsByProduct(dayRows);
    report.dayGrand = GrandTotal(dayRows);
    return report;
}

ShiftReport ShiftReport::Load(CJournal& journal, const QString& account, const QDateTime& now) {
    const QDateTime from = WindowStart(now);
    // Open at the end: a label stamped a little ahead of now by a clock set back still counts.
    const QList<JournalRow> rows = journal.Rows(from, QDateTime(QDate(10000, 1, 1), QTime(0, 0)));
    QString error = journal.ReadError();
    const QList<ShiftClose> closes = journal.ShiftCloses(from);
    if (error.isEmpty())
        error = journal.ReadError();
    ShiftReport report = Make(rows, closes, account, now);
    report.error = error;
    return report;
}

QString ShiftReport::Heading() const {
    const QString who = account.isEmpty() ? QString() : QLatin1Char(' ') + account;
    if (start.isValid())
        return QStringLiteral("Смена%1 с %2")
            .arg(who, start.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    if (closed.isValid())
        return QStringLiteral("Смена%1 закрыта %2; новая начнётся с первой этикетки")
            .arg(who, closed.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    return QStringLiteral("Смена%1: этикеток ещё нет").arg(who);
}
