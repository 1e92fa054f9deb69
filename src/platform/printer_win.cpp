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

std::optional<PrinterPage> OpenPrinter(const QString& name) {
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

void InstallSpoolerPrinters() {
    SetPrinterPageQuery([](const QString& name) { return OpenPrinter(name); });
}

} // namespace platform
