#include "journal/journaltotals.h"

#include <QMap>

#include <algorithm>

namespace {
void Add(JournalTotal& t, const JournalRow& r) {
    ++t.labels;
    (r.weighed ? t.kilograms : t.pieces) += r.quantity;
    t.sum += r.sum;
}
} // namespace

QList<JournalTotal> TotalsByProduct(const QList<JournalRow>& rows) {
    QMap<QString, JournalTotal> byCode;
    for (const JournalRow& r : rows) {
        if (r.reprint)
            continue;
        JournalTotal& t = byCode[r.code];
        t.key = r.code;
        t.name = r.name;
        Add(t, r);
    }
    QList<JournalTotal> out = byCode.values();
    std::stable_sort(out.begin(), out.end(), [](const JournalTotal& a, const JournalTotal& b) {
        const int byName = a.name.localeAwareCompare(b.name);
        return byName != 0 ? byName < 0 : a.key < b.key;
    });
    return out;
}

QList<JournalTotal> TotalsByHour(const QList<JournalRow>& rows) {
    QMap<QString, JournalTotal> byHour;
    for (const JournalRow& r : rows) {
        if (r.reprint)
            continue;
        const QString hour = r.moment.toString(QStringLiteral("yyyy-MM-dd HH:00"));
        JournalTotal& t = byHour[hour];
        t.key = hour;
        Add(t, r);
    }
    return byHour.values();
}

JournalTotal GrandTotal(const QList<JournalRow>& rows) {
    JournalTotal t;
    for (const JournalRow& r : rows)
        if (!r.reprint)
            Add(t, r);
    return t;
}
