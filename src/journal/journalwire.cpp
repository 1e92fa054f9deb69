#include "journal/journalwire.h"

#include "journal/journalfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <cmath>

namespace journalwire {

namespace {

QDateTime Moment(const QString& text) {
    return text.isEmpty() ? QDateTime()
                          : QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

bool Ean13Sound(const QString& digits) {
    if (digits.size() != 13)
        return false;
    int sum = 0;
    for (int i = 0; i < 13; ++i) {
        if (!digits.at(i).isDigit() || digits.at(i).unicode() > '9')
            return false;
        sum += (digits.at(i).unicode() - '0') * (i % 2 ? 3 : 1);
    }
    return sum % 10 == 0;
}

bool Printable(const QString& text, qsizetype longest) {
    if (text.size() > longest)
        return false;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r') && c != QLatin1Char('\t'))
            return false;
    return true;
}

// The largest quantity a label's barcode holds: five digits of grams or of pieces, and the
// same in kilograms for the longest weight field a mask can give.
constexpr double kMaxQuantity = 99999;

} // namespace

QJsonObject ToJson(const JournalRow& r) {
    return QJsonObject{
        {QStringLiteral("id"), r.id},
        {QStringLiteral("moment"), CJournalFile::MomentText(r.moment)},
        {QStringLiteral("code"), r.code},
        {QStringLiteral("name"), r.name},
        {QStringLiteral("weighed"), r.weighed},
        {QStringLiteral("quantity"), r.quantity},
        {QStringLiteral("price"), r.price},
        {QStringLiteral("sum"), r.sum},
        {QStringLiteral("barcode"), r.barcode},
        {QStringLiteral("best_before"), CJournalFile::MomentText(r.bestBefore)},
        {QStringLiteral("printer"), r.printer},
        {QStringLiteral("job_id"), QString::number(r.jobId)},
        {QStringLiteral("reprint"), r.reprint},
        {QStringLiteral("label_name"), r.labelName},
        {QStringLiteral("label_info"), r.labelInfo},
        {QStringLiteral("keyed"), r.keyed.has_value() ? QJsonValue(*r.keyed) : QJsonValue()},
        {QStringLiteral("tare"), r.tare},
    };
}

QJsonObject ToJson(const ShiftClose& c) {
    return QJsonObject{{QStringLiteral("id"), c.id},
                       {QStringLiteral("moment"), CJournalFile::MomentText(c.moment)}};
}

bool FromJson(const QJsonObject& o, ShiftClose* c) {
    const QJsonValue id = o.value(QStringLiteral("id"));
    const QJsonValue moment = o.value(QStringLiteral("moment"));
    if (!id.isString() || !moment.isString())
        return false;
    c->id = id.toString();
    c->moment = Moment(moment.toString());
    c->account.clear();
    return c->id.size() == 36 && !QUuid::fromString(c->id).isNull() && c->moment.isValid();
}

QByteArray Request(const QList<JournalRow>& rows, const QList<ShiftClose>& closes) {
    QJsonArray rowItems;
    for (const JournalRow& r : rows)
        rowItems.append(ToJson(r));
    QJsonArray closeItems;
    for (const ShiftClose& c : closes)
        closeItems.append(ToJson(c));
    return QJsonDocument(QJsonObject{{QStringLiteral("rows"), rowItems},
                                     {QStringLiteral("closes"), closeItems}})
        .toJson(QJsonDocument::Compact);
}

bool FromJson(const QJsonObject& o, JournalRow* r) {
    const auto text = [&](const char* key, QString* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString())
            return false;
        *out = v.toString();
        return true;
    };
    const auto number = [&](const char* key, double* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble())
            return false;
        *out = v.toDouble();
        return true;
    };
    const auto flag = [&](const char* key, bool* out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isBool())
            return false;
        *out = v.toBool();
        return true;
    };
    QString moment;
    QString bestBefore;
    QString job;
    if (!text("id", &r->id) || !text("moment", &moment) || !text("code", &r->code) ||
        !text("name", &r->name) || !flag("weighed", &r->weighed) ||
        !number("quantity", &r->quantity) || !number("price", &r->price) ||
        !number("sum", &r->sum) || !text("barcode", &r->barcode) ||
        !text("best_before", &bestBefore) || !text("printer", &r->printer) ||
        !text("job_id", &job) || !flag("reprint", &r->reprint) ||
        !text("label_name", &r->labelName) || !text("label_info", &r->labelInfo))
        return false;
    // Older programs send neither; a keyed mark is a flag or nothing, a tare a number.
    const QJsonValue keyed = o.value(QStringLiteral("keyed"));
    const QJsonValue tare = o.value(QStringLiteral("tare"));
    if ((!keyed.isUndefined() && !keyed.isNull() && !keyed.isBool()) ||
        (!tare.isUndefined() && !tare.isDouble()))
        return false;
    r->keyed = keyed.isBool() ? std::optional<bool>(keyed.toBool()) : std::nullopt;
    r->tare = tare.toDouble(0);
    bool ok = false;
    r->jobId = job.toLongLong(&ok);
    r->moment = Moment(moment);
    r->bestBefore = Moment(bestBefore);
    r->account.clear();
    return ok;
}

QString Implausible(const JournalRow& r) {
    if (r.id.size() != 36 || QUuid::fromString(r.id).isNull())
        return QStringLiteral("неверный идентификатор записи");
    if (!r.moment.isValid())
        return QStringLiteral("нет времени упаковки");
    if (r.code.isEmpty() || !Printable(r.code, 64))
        return QStringLiteral("неверный код товара");
    if (!Printable(r.name, 1024) || !Printable(r.labelName, 4096) ||
        !Printable(r.labelInfo, 4096) || !Printable(r.printer, 256))
        return QStringLiteral("слишком длинный или неверный текст");
    if (!Ean13Sound(r.barcode))
        return QStringLiteral("штрих-код «%1» не может быть на этикетке").arg(r.barcode.left(20));
    if (!std::isfinite(r.quantity) || r.quantity <= 0 || r.quantity > kMaxQuantity)
        return QStringLiteral("количество %1 вне пределов этикетки").arg(r.quantity);
    for (const double money : {r.price, r.sum})
        if (!std::isfinite(money) || money < 0 || money > kMaxJournalMoney)
            return QStringLiteral("сумма или цена %1 вне пределов журнала").arg(money);
    if (!std::isfinite(r.tare) || r.tare < 0 || r.tare > kMaxQuantity)
        return QStringLiteral("тара %1 вне пределов весов").arg(r.tare);
    if (r.jobId < 0)
        return QStringLiteral("неверный номер задания печати");
    return QString();
}

} // namespace journalwire
