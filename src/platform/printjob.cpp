#include "platform/printjob.h"

#include "platform/printer.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <dlfcn.h>

namespace platform {

namespace {
// The status of the last request of the CUPS library on this thread. Qt hands the finished
// job to CUPS without looking at the answer; this is where a refused job shows.
bool SpoolerRefusedLastRequest() {
    using LastError = int (*)();
    static LastError lastError = [] {
        void* lib = dlopen("libcups.so.2", RTLD_LAZY | RTLD_LOCAL);
        return lib ? reinterpret_cast<LastError>(dlsym(lib, "cupsLastError")) : nullptr;
    }();
    // IPP status codes below 0x0100 are successes.
    return lastError && lastError() >= 0x0100;
}
} // namespace

CPrintJob::CPrintJob() = default;

CPrintJob::~CPrintJob() {
    // A job that did not reach EndDoc is abandoned: nothing reaches the spooler.
    if (m_painter.isActive() && m_pPrinter)
        m_pPrinter->abort();
    if (m_painter.isActive())
        m_painter.end();
}

bool CPrintJob::Open(const QString& printerName) {
    const std::optional<PrinterPage> page = OpenPrinter(printerName);
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (!page || info.isNull())
        return false;
    m_page = *page;
    m_pPrinter = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!m_pPrinter->isValid())
        return false;
    // QPrinter starts from its own defaults; the printer's are set one by one.
    m_pPrinter->setResolution(m_page.m_nDpiX);
    m_pPrinter->setPageOrientation(QPageLayout::Portrait);
    const QPageSize paper = info.defaultPageSize();
    if (paper.isValid())
        m_pPrinter->setPageSize(paper);
    m_pPrinter->setFullPage(true);
    m_pPrinter->setCopyCount(1);
    return true;
}

bool CPrintJob::StartDoc(const QString& docName) {
    if (!m_pPrinter)
        return false;
    m_pPrinter->setDocName(docName);
    if (!m_painter.begin(m_pPrinter.get()))
        return false;
    // With the full page the origin is the paper's corner; drawing starts at the printable
    // area, one unit per printer pixel.
    const double scale = m_pPrinter->resolution() / double(m_page.m_nDpiX);
    m_painter.translate(m_page.m_dMarginLeftMM / 25.4 * m_pPrinter->resolution(),
                        m_page.m_dMarginTopMM / 25.4 * m_pPrinter->resolution());
    m_painter.scale(scale, m_pPrinter->resolution() / double(m_page.m_nDpiY));
    return true;
}

bool CPrintJob::StartPage() {
    // The first page begins with the job.
    return m_painter.isActive() && m_pPrinter->printerState() != QPrinter::Error;
}

bool CPrintJob::EndPage() {
    return m_painter.isActive() && m_pPrinter->printerState() != QPrinter::Error;
}

bool CPrintJob::EndDoc() {
    if (!m_painter.isActive())
        return false;
    if (!m_painter.end())
        return false;
    return m_pPrinter->printerState() != QPrinter::Error && !SpoolerRefusedLastRequest();
}

} // namespace platform
