#include "workstation/weighing.h"

#include "platform/numbers.h"

namespace weighing {

double Capacity(const AppSettings& settings, double reportedCapacity) {
    if (settings.Capacity > 0)
        return settings.Capacity;
    return reportedCapacity > 0 ? reportedCapacity : kDefaultCapacity;
}

QString KeyedWeightError(const AppSettings& settings, double reportedCapacity, double weight) {
    if (settings.WeightFromScaleOnly)
        return QStringLiteral("Вес товара берётся только с весов (настройка «Вес только с "
                              "весов»): положите товар на весы");
    const double capacity = Capacity(settings, reportedCapacity);
    // Compared as the label would print them, to the gram.
    if (qRound64(weight * 1000) > qRound64(capacity * 1000))
        return QStringLiteral("Введённый вес %1 кг больше, чем могут взвесить весы (%2 кг): "
                              "этикетка не напечатана")
            .arg(platform::FormatFixed(weight, 3), platform::FormatFixed(capacity, 3));
    return QString();
}

QString NetWeightError(double net, double tare) {
    if (qRound64(net * 1000) > 0)
        return QString();
    return QStringLiteral("Вес нетто %1 кг: на весах не больше тары (%2 кг), этикетка не "
                          "напечатана")
        .arg(platform::FormatFixed(net, 3), platform::FormatFixed(tare, 3));
}

} // namespace weighing
