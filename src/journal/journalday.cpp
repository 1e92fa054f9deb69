#include "journal/journalday.h"

#include "journal/journal.h"
#include "journal/journalshift.h"

#include <algorithm>

void CJournalDay::Load(CJournal& journal, const QDate& day) {
    m_day = day;
    // The labels before the day too, for the shifts that began before it.
    const QDateTime from = day.startOfDay();
    const QDateTime readFrom = journalshift::ReadFrom(from);
    const QList<JournalRow> read = journal.Rows(readFrom, day.addDays(1).startOfDay());
    m_error = journal.ReadError();
    const QList<ShiftClose> closes = journal.ShiftCloses(readFrom);
    if (m_error.isEmpty())
        m_error = journal.ReadError();
    const journalshift::RowsWithShifts ofDay = journalshift::From(read, closes, from);
    m_rows = ofDay.rows;
    m_shifts = ofDay.shifts;
    m_totals = TotalsByProduct(m_rows);
    m_grand = GrandTotal(m_rows);
    std::reverse(m_rows.begin(), m_rows.end());
    std::reverse(m_shifts.begin(), m_shifts.end());
}

QStringList CJournalDay::RowHeader() {
    return {QStringLiteral("Время"),     QStringLiteral("Код"),    QStringLiteral("Товар"),
            QStringLiteral("Кол-во"),    QStringLiteral("Цена"),   QStringLiteral("Сумма"),
            QStringLiteral("Штрих-код"), QStringLiteral("Повтор"), QStringLiteral("Оператор"),
            QStringLiteral("Ввод"),      QStringLiteral("Тара")};
}

QStringList CJournalDay::RowCells(const JournalRow& r) {
    return {r.moment.toString(QStringLiteral("HH:mm:ss")),
            r.code,
            r.name,
            r.weighed ? QString::number(r.quantity, 'f', 3) + QStringLiteral(" кг")
                      : QString::number(r.quantity, 'f', 0) + QStringLiteral(" шт"),
            QString::number(r.price, 'f', 2),
            QString::number(r.sum, 'f', 2),
            r.barcode,
            r.reprint ? QStringLiteral("повтор") : QString(),
            r.account,
            r.EntryText(),
            r.tare > 0 ? QString::number(r.tare, 'f', 3) + QStringLiteral(" кг") : QString()};
}

QStringList CJournalDay::TotalHeader() {
    return {QStringLiteral("Код"), QStringLiteral("Товар"), QStringLiteral("Этикеток"),
            QStringLiteral("Кг"),  QStringLiteral("Шт"),    QStringLiteral("Сумма")};
}

QStringList CJournalDay::TotalCells(const JournalTotal& t) {
    return {t.key,
            t.name,
            QString::number(t.labels),
            QString::number(t.kilograms, 'f', 3),
            QString::number(t.pieces, 'f', 0),
            QString::number(t.sum, 'f', 2)};
}

QString CJournalDay::GrandText(const JournalTotal& t) {
    return QStringLiteral("Итого: этикеток %1, %2 кг, %3 шт, сумма %4")
        .arg(t.labels)
        .arg(QString::number(t.kilograms, 'f', 3), QString::number(t.pieces, 'f', 0),
             QString::number(t.sum, 'f', 2));
}
