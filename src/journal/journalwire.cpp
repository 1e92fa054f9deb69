#include "journal/journalwire.h"

#include "journal/journalfile.h"

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
    };
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
    if (r.jobId < 0)
        return QStringLiteral("неверный номер задания печати");
    return QString();
}

} // namespace journalwire
