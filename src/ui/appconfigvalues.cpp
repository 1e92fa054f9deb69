#include "ui/appconfigvalues.h"

#include "platform/numbers.h"

#include <QRegularExpression>

namespace {

QString TooLongText(int limit) {
    return QStringLiteral("Введите не более %1 знаков.").arg(limit);
}

// A whole decimal number without sign; nothing for any other text, and nothing when it
// does not fit 64 bits.
std::optional<quint64> WholeNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const quint64 value = t.toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// A weight in kilograms above zero and below 100 tonnes, with a decimal point or comma.
std::optional<double> Kilograms(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (!QRegularExpression(QStringLiteral("^[0-9]{1,5}(\\.[0-9]{0,3})?$")).match(t).hasMatch())
        return std::nullopt;
    const double kg = t.toDouble();
    if (kg <= 0)
        return std::nullopt;
    return kg;
}

} // namespace

int TextLimit(int control) {
    switch (control) {
    case IDC_WMASK:
    case IDC_QMASK:
        return 12;
    case IDC_EIWEIGHT:
    case IDC_EIQUANTITY:
    case IDC_EICURRENCY:
        return 5;
    case IDC_SECTION:
        return 4;
    default:
        return 0;
    }
}

std::optional<ConfigInputError> ValidateConfigValues(const AppConfigValues& v) {
    const auto text = [](int control, const QString& value) -> std::optional<ConfigInputError> {
        const int limit = TextLimit(control);
        if (limit > 0 && value.size() > limit)
            return ConfigInputError{control, TooLongText(limit)};
        return std::nullopt;
    };
    if (auto e = text(IDC_WMASK, v.WBarCodeMask))
        return e;
    if (auto e = text(IDC_QMASK, v.QBarCodeMask))
        return e;
    const std::optional<quint64> port = WholeNumber(v.RS232Port);
    if (!port || *port > 255)
        return ConfigInputError{IDC_PORT, QStringLiteral("Введите целое число от 0 до 255.")};
    if (auto e = text(IDC_EIWEIGHT, v.EIWeight))
        return e;
    if (auto e = text(IDC_EIQUANTITY, v.EIQuantity))
        return e;
    if (auto e = text(IDC_EICURRENCY, v.EICurrency))
        return e;
    if (auto e = text(IDC_SECTION, v.SectionID))
        return e;
    // A number too long for any counter is as much out of range as one just above the limit.
    const QString round = v.RoundTo.trimmed();
    if (round.isEmpty() || round.contains(QRegularExpression(QStringLiteral("[^0-9]"))))
        return ConfigInputError{IDC_ROUNDTO, QStringLiteral("Введите положительное целое число.")};
    const std::optional<quint64> step = WholeNumber(round);
    if (!step || *step > 999999)
        return ConfigInputError{
            IDC_ROUNDTO, QStringLiteral("Введите целое число от %1 до %2.").arg(0).arg(999999)};
    if (!v.Capacity.trimmed().isEmpty() && !Kilograms(v.Capacity))
        return ConfigInputError{IDC_CAPACITY,
                                QStringLiteral("Введите наибольший вес в килограммах (например, 15 "
                                               "или 6.5) или оставьте поле пустым.")};
    return std::nullopt;
}

AppConfigValues ConfigValuesFromSettings(const AppSettings& s) {
    AppConfigValues v;
    v.PrinterName = s.PrinterName;
    v.WBarCodeMask = s.WBarCodeMask;
    v.QBarCodeMask = s.QBarCodeMask;
    v.Type = s.Type >= 0 && s.Type < ScaleEntries().size() ? s.Type : -1;
    v.RS232Port = QString::number(unsigned(s.RS232Port) & 0xFF);
    v.Server = s.Server;
    v.Database = s.Database;
    v.User = s.User;
    v.Password = s.Password;
    v.PrintEI = s.PrintEI;
    v.Driver = s.Driver;
    v.EIWeight = s.EIWeight;
    v.EIQuantity = s.EIQuantity;
    v.EICurrency = s.EICurrency;
    v.SectionID = s.SectionID;
    v.FindOrder = s.FindOrder >= 0 && s.FindOrder <= 2 ? s.FindOrder : -1;
    v.RoundTo = QString::number(s.RoundTo);
    v.Penny = s.Penny;
    v.WeightFromScaleOnly = s.WeightFromScaleOnly;
    v.Capacity = s.Capacity > 0 ? platform::FormatShort(s.Capacity, 3) : QString();
    v.Sound = s.Sound;
    return v;
}

void StoreConfigValues(const AppConfigValues& v, AppSettings& s) {
    s.PrinterName = v.PrinterName;
    s.WBarCodeMask = v.WBarCodeMask;
    s.QBarCodeMask = v.QBarCodeMask;
    s.Type = v.Type;
    s.RS232Port = int(WholeNumber(v.RS232Port).value_or(0) & 0xFF);
    s.Server = v.Server;
    s.Database = v.Database;
    s.User = v.User;
    s.Password = v.Password;
    s.PrintEI = v.PrintEI;
    s.Driver = v.Driver;
    s.EIWeight = v.EIWeight;
    s.EIQuantity = v.EIQuantity;
    s.EICurrency = v.EICurrency;
    s.SectionID = v.SectionID;
    s.FindOrder = v.FindOrder;
    s.RoundTo = uint32_t(WholeNumber(v.RoundTo).value_or(0));
    s.Penny = v.Penny;
    s.WeightFromScaleOnly = v.WeightFromScaleOnly;
    s.Capacity = Kilograms(v.Capacity).value_or(0.0);
    s.Sound = v.Sound;
}

int ChooseListEntry(const QStringList& entries, const QString& text) {
    if (text.isEmpty())
        return -1;
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).startsWith(text, Qt::CaseInsensitive))
            return i;
    return -1;
}

QStringList ScaleEntries() {
    return {
        QStringLiteral("Не подключены"),        QStringLiteral("Протокол \"ОКА\""),
        QStringLiteral("Протокол \"Масса-К\""), QStringLiteral("Протокол \"CAS\""),
        QStringLiteral("Протокол \"MT-SICS\""), QStringLiteral("Протокол \"Непрерывный вывод\"")};
}

QStringList SearchOrderEntries() {
    QStringList entries{QStringLiteral("Коду"), QStringLiteral("Названию"), QStringLiteral("Цене")};
    entries.sort();
    return entries;
}

QStringList DriverEntries(const QList<platform::odbc::DriverInfo>& drivers,
                          const QString& storedDriver) {
    QStringList entries;
    for (const platform::odbc::DriverInfo& d : drivers)
        entries.append(d.description);
    if (!storedDriver.isEmpty() && ChooseListEntry(entries, storedDriver) < 0)
        entries.append(storedDriver);
    return entries;
}
