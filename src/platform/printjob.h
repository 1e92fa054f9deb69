// One print job of one page on a printer of the spooler, step by step, so that the step
// that fails can be told to the operator: the printer opened (a stopped queue is refused
// here), the job created, the document started, the page written, the page and the
// document finished with the spooler's answer. A driver or driverless queue gets the page
// as raster at its own resolution, dot for dot; any other queue through Qt PrintSupport.
#pragma once

#include "platform/cupsqueue.h"
#include "platform/printerpage.h"

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPrinter;

namespace platform {

// CheckPage: the page made for the printer's size was refused by its maker (an empty image)
// before any job was created.
enum class PrintStep {
    Open,
    CreateJob,
    StartDocument,
    WritePage,
    EndPage,
    FinishDocument,
    CheckPage
};

// The operator's message for a step that failed.
QString PrintStepFailure(PrintStep step);
// The operator's message for a stopped queue, with the spooler's reason when it gave one.
QString StoppedPrinterMessage(const QString& reason);

// Called before each step of every job; tests put real faults between the steps.
using PrintStepHook = std::function<void(PrintStep)>;
PrintStepHook SetPrintStepHook(PrintStepHook hook);

struct PrintJobData;
class CPrintJob;

// The page of a job for the printer's page size in dots, exactly as it will be sent; a null
// image when it must not print (its maker knows why).
using PageForSize = std::function<QImage(const QSize& size)>;

// Runs every step of a one-page job named docName on the printer; the step that failed, or
// nothing when the spooler accepted the job. The page is made once the printer is open and
// before any job exists. A failed Open with job.IsStopped() is a stopped queue, with
// job.PageProblem() a queue whose page cannot take a label.
std::optional<PrintStep> PrintOnePage(CPrintJob& job, const QString& printerName,
                                      const QString& docName, const PageForSize& page);

class CPrintJob {
public:
    CPrintJob();
    ~CPrintJob();
    CPrintJob(const CPrintJob&) = delete;
    CPrintJob& operator=(const CPrintJob&) = delete;

    // The named printer with its default page, printable area and resolution. False for an
    // unknown printer, a scheduler that does not answer, and a stopped queue (IsStopped).
    bool Open(const QString& printerName);
    bool IsStopped() const;
    QString StopReason() const;
    // The operator's message for a queue whose page figures fit no label; empty otherwise.
    QString PageProblem() const;
    // The spooler opens a job named docName.
    bool StartDoc(const QString& docName);
    // The job's one document, and its page, begins.
    bool StartPage();
    // The printable area in printer dots.
    QSize PageSize() const;
    // The page bitmap, PageSize() dots of 8-bit grey, goes to the printer as it is: placed
    // on the sheet whole, never cut.
    bool WritePage(const QImage& page);
    // The page is done.
    bool EndPage();
    // The document is finished; false when the spooler refuses the job.
    bool EndDoc();

    PageFormat Format() const;
    int JobId() const;
    // The spooler's own words on the last failure, for logs and tools.
    QString SpoolerMessage() const;

private:
    std::unique_ptr<PrintJobData> m_d;
};

} // namespace platform
