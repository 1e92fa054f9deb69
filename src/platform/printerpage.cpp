#include "platform/printerpage.h"

#include <cmath>

namespace platform {

namespace {
PrinterPageQuery& Query() {
    static PrinterPageQuery query;
    return query;
}
} // namespace

std::optional<PrinterPage> QueryPrinterPage(const QString& name, QString* why) {
    if (name.isEmpty() || !Query())
        return std::nullopt;
    QString reason;
    std::optional<PrinterPage> page = Query()(name, &reason);
    if (why)
        *why = reason;
    return page;
}

QString BadPageMessage(const QString& printer, const QString& problem) {
    return QStringLiteral("Принтер «%1» сообщает недопустимую страницу: %2").arg(printer, problem);
}

PrinterPageQuery SetPrinterPageQuery(PrinterPageQuery query) {
    PrinterPageQuery previous = std::move(Query());
    Query() = std::move(query);
    return previous;
}

PrinterPage PageFromSize(double widthMM, double heightMM, int dpiX, int dpiY) {
    PrinterPage p;
    p.m_nDpiX = dpiX;
    p.m_nDpiY = dpiY;
    p.m_nPageWidth = static_cast<int>(std::lround(widthMM / 25.4 * dpiX));
    p.m_nPageHeight = static_cast<int>(std::lround(heightMM / 25.4 * dpiY));
    p.m_nPageWidthMM = static_cast<int>(std::lround(widthMM));
    p.m_nPageHeightMM = static_cast<int>(std::lround(heightMM));
    return p;
}

} // namespace platform
