#include "workstation/statusstrip.h"

#include "platform/numbers.h"

QColor StripLine::Colour() const {
    return bFault ? QColor(180, 0, 0) : QColor(0, 0, 200);
}

StripLine ScaleStateLine(bool scaleConfigured, ScaleState state, const QString& portName) {
    if (!scaleConfigured)
        return {QStringLiteral("Весы: не подключены"), false};
    switch (state) {
    case ScaleState::Unknown:
        return {QStringLiteral("Весы: %1").arg(portName), false};
    case ScaleState::Stable:
        return {QStringLiteral("Весы: вес стабилен"), false};
    case ScaleState::Moving:
        return {QStringLiteral("Весы: вес меняется"), false};
    case ScaleState::Zero:
        return {QStringLiteral("Весы: ноль"), false};
    case ScaleState::Overload:
        return {QStringLiteral("Весы: перегруз"), true};
    case ScaleState::Underload:
        return {QStringLiteral("Весы: недогруз"), true};
    case ScaleState::NoAnswer:
        return {QStringLiteral("Весы: нет ответа (%1)").arg(portName), true};
    case ScaleState::PortClosed:
        return {QStringLiteral("Весы: порт %1 не открыт").arg(portName), true};
    }
    return {};
}

StripLine PrinterStateLine(const QString& printerName, const PrinterStatus& status) {
    switch (status.kind) {
    case PrinterStatus::Unknown:
        return {QStringLiteral("Принтер %1: ...").arg(printerName), false};
    case PrinterStatus::NoPrinter:
        return {QStringLiteral("Принтер: не выбран"), true};
    case PrinterStatus::Ready:
        return {QStringLiteral("Принтер %1: готов").arg(printerName), false};
    case PrinterStatus::Stopped:
        return {status.reason.isEmpty()
                    ? QStringLiteral("Принтер %1: остановлен").arg(printerName)
                    : QStringLiteral("Принтер %1: остановлен: %2").arg(printerName, status.reason),
                true};
    case PrinterStatus::NotInstalled:
        return {QStringLiteral("Принтер %1: не установлен").arg(printerName), true};
    }
    return {};
}

StripLine LastLabelLine(const LastLabel& label) {
    switch (label.kind) {
    case LastLabel::None:
        return {QStringLiteral("Этикеток ещё не было"), false};
    case LastLabel::Refused:
        return {QStringLiteral("Этикетка не напечатана: %1").arg(label.reason), true};
    case LastLabel::Printed: {
        const QString amount =
            label.weighed ? platform::FormatFixed(label.quantity, 3) + QStringLiteral(" кг")
                          : QStringLiteral("%1 шт").arg(platform::FormatFixed(label.quantity, 0));
        QString text = QStringLiteral("%1 %2, %3, %4, %5")
                           .arg(label.moment.toString(QStringLiteral("HH:mm:ss")), label.name,
                                amount, label.sum.trimmed(), label.barcode);
        if (label.copies > 1)
            text += QStringLiteral(", копий: %1").arg(label.copies);
        return {text, false};
    }
    }
    return {};
}
