// The figures of a printer's printable page for its default settings, and the one place
// that looks them up by printer name. The spooler access (Qt PrintSupport) lives in a
// library of its own and installs itself here, so code that only draws labels needs no
// print support.
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace platform {

struct PrinterPage {
    int m_nPageWidth = 0;  // printable width in printer pixels
    int m_nPageHeight = 0; // printable height in printer pixels
    int m_nDpiX = 0;       // printer pixels per inch
    int m_nDpiY = 0;
    int m_nPageWidthMM = 0;     // printable width in millimetres
    int m_nPageHeightMM = 0;    // printable height in millimetres
    double m_dMarginLeftMM = 0; // where the printable area starts on the paper
    double m_dMarginTopMM = 0;
};

// The printable page of a printer, or nothing; why then says what is wrong with a printer
// that exists (empty for an unknown one).
using PrinterPageQuery =
    std::function<std::optional<PrinterPage>(const QString& name, QString* why)>;

// The printable page of the named printer; nothing for an empty or unknown name, for a
// printer whose page cannot take a label (why then says so), and nothing until a spooler
// query is installed.
std::optional<PrinterPage> QueryPrinterPage(const QString& name, QString* why = nullptr);

// Installs the spooler query; returns the previous one.
PrinterPageQuery SetPrinterPageQuery(PrinterPageQuery query);

// The operator's message for a printer whose page figures describe no page a label fits on.
QString BadPageMessage(const QString& printer, const QString& problem);

// The page of a label of widthMM x heightMM at dpi pixels per inch, printable to the edges.
PrinterPage PageFromSize(double widthMM, double heightMM, int dpiX, int dpiY);

} // namespace platform
