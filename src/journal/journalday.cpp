#include "journal/journalday.h"

#include "journal/journal.h"

#include <algorithm>

void CJournalDay::Load(CJournal& journal, const QDate& day) {
    m_day = day;
    m_rows = journal.Rows(day.startOfDay(), day.addDays(1).startOfDay());
    m_error = journal.ReadError();
    m_totals = TotalsByProduct(m_rows);
    m_grand = GrandTotal(m_rows);
    std::reverse(m_rows.begin(), m_rows.end());
}

QStringList CJournalDay::RowHeader() {
    return {QStringLiteral("Время"),     QStringLiteral("Код"),    QStringLiteral("Товар"),
            QStringLiteral("Кол-во"),    QStringLiteral("Цена"),   QStringLiteral("Сумма"),
            QStringLiteral("Штрих-код"), QStringLiteral("Повтор"), QStringLiteral("Оператор")};
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
            r.account};
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
