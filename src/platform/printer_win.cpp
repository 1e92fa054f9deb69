// Printers of the Windows spooler: the local and connected printers by name, and the
// printable page of a printer's default settings from its device context.
#include "platform/printer.h"

#include <windows.h>

#include <vector>

namespace platform {

QStringList PrinterNames() {
    QStringList names;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0)
        return names;
    std::vector<BYTE> buffer(needed);
    if (!::EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count))
        return names;
    const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        names.append(QString::fromWCharArray(printers[i].pPrinterName));
    return names;
}

std::optional<PrinterPage> OpenPrinter(const QString& name, QString*) {
    if (name.isEmpty())
        return std::nullopt;
    const std::wstring printer = name.toStdWString();
    const HDC dc = ::CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
    if (!dc)
        return std::nullopt;
    PrinterPage page;
    page.m_nPageWidth = ::GetDeviceCaps(dc, HORZRES);
    page.m_nPageHeight = ::GetDeviceCaps(dc, VERTRES);
    page.m_nDpiX = ::GetDeviceCaps(dc, LOGPIXELSX);
    page.m_nDpiY = ::GetDeviceCaps(dc, LOGPIXELSY);
    page.m_nPageWidthMM = ::GetDeviceCaps(dc, HORZSIZE);
    page.m_nPageHeightMM = ::GetDeviceCaps(dc, VERTSIZE);
    if (page.m_nDpiX > 0 && page.m_nDpiY > 0) {
        page.m_dMarginLeftMM = ::GetDeviceCaps(dc, PHYSICALOFFSETX) * 25.4 / page.m_nDpiX;
        page.m_dMarginTopMM = ::GetDeviceCaps(dc, PHYSICALOFFSETY) * 25.4 / page.m_nDpiY;
    }
    ::DeleteDC(dc);
    if (page.m_nPageWidth <= 0 || page.m_nPageHeight <= 0 || page.m_nDpiX <= 0 || page.m_nDpiY <= 0)
        return std::nullopt;
    return page;
}

SpoolerState QuerySpoolerState(const QString& name) {
    SpoolerState state;
    std::wstring printerName = name.toStdWString();
    HANDLE printer = nullptr;
    if (name.isEmpty() || !::OpenPrinterW(printerName.data(), &printer, nullptr))
        return state;
    state.exists = true;
    DWORD needed = 0;
    ::GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed > 0) {
        std::vector<BYTE> buffer(needed);
        if (::GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
            const DWORD status = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->Status;
            state.stopped = (status & (PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR |
                                       PRINTER_STATUS_OFFLINE)) != 0;
            if (status & PRINTER_STATUS_PAUSED)
                state.reason = QStringLiteral("приостановлен");
            else if (status & PRINTER_STATUS_OFFLINE)
                state.reason = QStringLiteral("не в сети");
            else if (status & PRINTER_STATUS_ERROR)
                state.reason = QStringLiteral("ошибка принтера");
        }
    }
    ::ClosePrinter(printer);
    return state;
}

void InstallSpoolerPrinters() {
    SetPrinterPageQuery([](const QString& name, QString* why) { return OpenPrinter(name, why); });
}

} // namespace platform
