// The operators' shifts in the packing journal. A shift of an account begins with its first
// label after its last «Закрыть смену»; a shift that was never closed ends by itself after
// kGapSecs without a label of that account, and no shift reaches further back than
// kLookbackSecs. The screen's and the tool's shift totals, and the shift of each label in the
// CSV, all come from here.
#pragma once

#include "journal/journaltotals.h"

#include <QDateTime>
#include <QList>
#include <QString>

class CJournal;

// One «Закрыть смену»: the account's next label begins its next shift.
struct ShiftClose {
    QString id; // a UUID of its own, as a label's
    QDateTime moment;
    QString account;

    static ShiftClose Make(const QString& account, const QDateTime& moment);
};

namespace journalshift {

// A pause this long without a label of the account ends its shift (a close forgotten at the
// end of the day).
constexpr qint64 kGapSecs = 8 * 3600;
// How far before a moment the start of its shift is looked for: rows and closes read for a
// shift begin this long before it.
constexpr qint64 kLookbackSecs = 24 * 3600;

// The start of the shift each row belongs to (the moment of the shift's first label), for
// rows oldest first and the closes of the same accounts; rows before windowStart are not
// there, so no shift begins before the first row read.
QList<QDateTime> ShiftStarts(const QList<JournalRow>& rows, const QList<ShiftClose>& closes);

// The rows packed from `from` on, out of rows (oldest first) read from ReadFrom(from) on,
// with the start of each one's shift.
struct RowsWithShifts {
    QList<JournalRow> rows;
    QList<QDateTime> shifts;
};
RowsWithShifts From(const QList<JournalRow>& rows, const QList<ShiftClose>& closes,
                    const QDateTime& from);
// Where to begin reading for the shifts of labels from `from` on.
QDateTime ReadFrom(const QDateTime& from);

} // namespace journalshift

// The figures of «Итоги смены»: the account's current shift per product and the whole
// counter's day, from the rows and closes of the last kLookbackSecs before now (rows of the
// current day included; reprints listed by the rows but never counted).
struct ShiftReport {
    QString account;
    // The shift's first label; invalid while the shift has no label yet.
    QDateTime start;
    // The «Закрыть смену» that ended the previous shift, when the current one follows it.
    QDateTime closed;
    QList<JournalRow> rows; // the shift's labels, oldest first
    QList<JournalTotal> totals;
    JournalTotal grand;
    QDate day;
    QList<JournalTotal> dayTotals; // every account of the counter on that day
    JournalTotal dayGrand;

    // Why the journal could not give every row (empty when it could).
    QString error;

    static ShiftReport Make(const QList<JournalRow>& rows, const QList<ShiftClose>& closes,
                            const QString& account, const QDateTime& now);
    // The same from the counter's journal, its waiting rows and closes included.
    static ShiftReport Load(CJournal& journal, const QString& account, const QDateTime& now);
    // Where the rows and closes for Make must begin.
    static QDateTime WindowStart(const QDateTime& now);
    // "Смена kassir1 с 05.03.2024 08:02" or why it has no label yet.
    QString Heading() const;
};
