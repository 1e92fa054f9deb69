#include "journal/journalcsv.h"

namespace journalcsv {

QString Field(const QString& text) {
    static const QString special = QStringLiteral(";\"\r\n");
    bool quote = false;
    for (const QChar c : text)
        quote = quote || special.contains(c);
    if (!quote)
        return text;
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString Text(const QString& text) {
    static const QString formula = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formula.contains(text.front()))
        return QLatin1Char('\'') + text;
    return text;
}

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

QByteArray File(const QList<QStringList>& lines) {
    QString text;
    for (const QStringList& line : lines) {
        QStringList fields;
        for (const QString& f : line)
            fields.append(Field(f));
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray Rows(const QList<JournalRow>& rows, const QList<QDateTime>& shifts) {
    QList<QStringList> lines;
    lines.append({QStringLiteral("Время"), QStringLiteral("Код"), QStringLiteral("Товар"),
                  QStringLiteral("Вид"), QStringLiteral("Количество"), QStringLiteral("Цена"),
                  QStringLiteral("Сумма"), QStringLiteral("Штрих-код"), QStringLiteral("Годен до"),
                  QStringLiteral("Принтер"), QStringLiteral("Задание"), QStringLiteral("Повтор"),
                  QStringLiteral("Идентификатор"), QStringLiteral("Оператор"),
                  QStringLiteral("Ввод"), QStringLiteral("Тара"), QStringLiteral("Смена")});
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const JournalRow& r = rows[i];
        const QDateTime shift = shifts.value(i);
        // Names, codes, the printer and the account come from a catalogue, a settings file
        // and the system: text.
        lines.append(
            {r.moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")), Text(r.code), Text(r.name),
             r.weighed ? QStringLiteral("весовой") : QStringLiteral("штучный"),
             Number(r.quantity, r.weighed ? 3 : 0), Number(r.price, 2), Number(r.sum, 2),
             // A leading apostrophe would show; Excel keeps thirteen digits of a
             // number intact, so the barcode stays a plain field.
             r.barcode,
             r.bestBefore.isValid() ? r.bestBefore.toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                                    : QString(),
             Text(r.printer), QString::number(r.jobId),
             r.reprint ? QStringLiteral("да") : QStringLiteral("нет"), Text(r.id), Text(r.account),
             r.EntryText(), Number(r.tare, 3),
             shift.isValid() ? shift.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString()});
    }
    return File(lines);
}

QByteArray Totals(const QList<JournalTotal>& totals, const JournalTotal& grand, bool byHour) {
    QList<QStringList> lines;
    if (byHour)
        lines.append({QStringLiteral("Час"), QStringLiteral("Этикеток"), QStringLiteral("Кг"),
                      QStringLiteral("Шт"), QStringLiteral("Сумма")});
    else
        lines.append({QStringLiteral("Код"), QStringLiteral("Товар"), QStringLiteral("Этикеток"),
                      QStringLiteral("Кг"), QStringLiteral("Шт"), QStringLiteral("Сумма")});
    const auto figures = [](const JournalTotal& t) {
        return QStringList{QString::number(t.labels), Number(t.kilograms, 3), Number(t.pieces, 0),
                           Number(t.sum, 2)};
    };
    for (const JournalTotal& t : totals)
        lines.append((byHour ? QStringList{t.key} : QStringList{Text(t.key), Text(t.name)}) +
                     figures(t));
    lines.append((byHour ? QStringList{QStringLiteral("Итого")}
                         : QStringList{QStringLiteral("Итого"), QString()}) +
                 figures(grand));
    return File(lines);
}

} // namespace journalcsv
