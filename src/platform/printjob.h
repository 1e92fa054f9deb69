// One print job of one page on a printer of the spooler, step by step, so that the step
// that fails can be told to the operator: the printer opened with its default settings, the
// job started, the page drawn on, the job handed over and accepted by the spooler.
#pragma once

#include "platform/printerpage.h"

#include <QPainter>
#include <QRect>
#include <QString>

#include <memory>

class QPrinter;

namespace platform {

class CPrintJob {
public:
    CPrintJob();
    ~CPrintJob();
    CPrintJob(const CPrintJob&) = delete;
    CPrintJob& operator=(const CPrintJob&) = delete;

    // A device for the named printer with its default page, printable area and resolution.
    bool Open(const QString& printerName);
    // The spooler opens a job named docName.
    bool StartDoc(const QString& docName);
    // The job's one page begins.
    bool StartPage();
    // Draws on the page; the printable area starts at (0, 0) and is PageSize() pixels.
    QPainter* Painter() { return m_painter.isActive() ? &m_painter : nullptr; }
    QSize PageSize() const { return {m_page.m_nPageWidth, m_page.m_nPageHeight}; }
    // The page is done.
    bool EndPage();
    // The job goes to the spooler; false when the spooler refuses it.
    bool EndDoc();

private:
    std::unique_ptr<QPrinter> m_pPrinter;
    QPainter m_painter;
    PrinterPage m_page;
};

} // namespace platform
