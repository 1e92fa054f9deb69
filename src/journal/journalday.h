// One day of the journal as the journal dialog shows it: the labels newest first, the totals
// per product and the grand total, and the texts of their cells.
#pragma once

#include "journal/journaltotals.h"

#include <QDate>
#include <QList>
#include <QStringList>

class CJournal;

class CJournalDay {
public:
    void Load(CJournal& journal, const QDate& day);

    QDate Day() const { return m_day; }
    const QList<JournalRow>& Rows() const { return m_rows; } // newest first
    // The start of each row's shift, in the order of Rows().
    const QList<QDateTime>& Shifts() const { return m_shifts; }
    const QList<JournalTotal>& Totals() const { return m_totals; }
    const JournalTotal& Grand() const { return m_grand; }
    // Why the day may lack rows of the file (it could not be read, or was set aside as
    // damaged); empty when it shows them all.
    const QString& Error() const { return m_error; }

    static QStringList RowHeader();
    static QStringList RowCells(const JournalRow& r);
    static QStringList TotalHeader();
    static QStringList TotalCells(const JournalTotal& t);
    // "Итого: 3 этикетки, 1.762 кг, 3 шт, 1048.51"
    static QString GrandText(const JournalTotal& t);

private:
    QDate m_day;
    QList<JournalRow> m_rows;
    QList<QDateTime> m_shifts;
    QList<JournalTotal> m_totals;
    JournalTotal m_grand;
    QString m_error;
};
