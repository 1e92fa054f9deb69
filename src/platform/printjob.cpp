#include "platform/printjob.h"

#include "platform/cupsdata.h"
#include "platform/printer.h"
#include "platform/printstephook.h"
#include "platform/rasterpage.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <vector>

namespace platform {

namespace {
// Jobs that were created but never finished, whose cancel could not reach the scheduler
// (it had stopped or died). The scheduler keeps such a job after a restart, waiting for its
// document, and holds every later label of its queue behind it: the next job cancels them.
struct OrphanJob {
    QString queue;
    int id = 0;
};
std::vector<OrphanJob>& Orphans() {
    static std::vector<OrphanJob> orphans;
    return orphans;
}

bool CancelJob(http_t* http, const OrphanJob& job) {
    const ipp_status_t status =
        static_cast<ipp_status_t>(cupsCancelJob2(http, job.queue.toUtf8().constData(), job.id, 0));
    // Cancelled, gone already or finished: nothing is left of it.
    return int(status) < 0x0100 || status == IPP_STATUS_ERROR_NOT_FOUND ||
           status == IPP_STATUS_ERROR_NOT_POSSIBLE;
}

void CancelOrphans() {
    std::vector<OrphanJob>& orphans = Orphans();
    if (orphans.empty())
        return;
    HttpConnection conn;
    if (!conn.http)
        return;
    orphans.erase(std::remove_if(orphans.begin(), orphans.end(),
                                 [&](const OrphanJob& j) { return CancelJob(conn.http, j); }),
                  orphans.end());
}

// Create-Job on the queue, asked directly: the library's own call first fetches every
// attribute of the printer, which costs the label tens of milliseconds.
int CreateJob(http_t* http, const QString& queue, const QString& title) {
    const QByteArray name = queue.toUtf8();
    ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
                 title.toUtf8().constData());
    ipp_t* response = cupsDoRequest(http, request, ("/printers/" + name).constData());
    int id = 0;
    if (response && int(cupsLastError()) < 0x0100)
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            id = ippGetInteger(a, 0);
    ippDelete(response);
    return id;
}

} // namespace

struct PrintJobData {
    std::unique_ptr<CCupsQueue> queue;
    QString docName;
    QString spoolerMessage;
    // Raster path.
    std::unique_ptr<HttpConnection> conn;
    int jobId = 0;
    cups_raster_t* raster = nullptr;
    bool writeFailed = false;
    bool finished = false;
    // Qt path: the printer's figures, read once when it is opened.
    PrinterPage qtPage;
    std::unique_ptr<QPrinter> printer;
    QPainter painter;

    bool Raster() const { return queue && queue->Format() != PageFormat::None; }
    bool Fail() {
        spoolerMessage = LastSpoolerError();
        return false;
    }
};

namespace {
// The raster stream goes into the request body of the started document.
ssize_t WriteToSpooler(void* ctx, unsigned char* buffer, size_t length) {
    auto* d = static_cast<PrintJobData*>(ctx);
    if (cupsWriteRequestData(d->conn->http, reinterpret_cast<const char*>(buffer), length) !=
        HTTP_STATUS_CONTINUE) {
        d->writeFailed = true;
        return -1;
    }
    return ssize_t(length);
}
} // namespace

CPrintJob::CPrintJob() : m_d(std::make_unique<PrintJobData>()) {}

CPrintJob::~CPrintJob() {
    PrintJobData& d = *m_d;
    if (d.raster)
        cupsRasterClose(d.raster);
    // A job that was not finished is cancelled, so that no part of it prints later. The
    // connection may be in the middle of a request: a new one carries the cancel.
    if (d.jobId > 0 && !d.finished) {
        const OrphanJob job{d.queue->Name(), d.jobId};
        HttpConnection conn;
        if (!conn.http || !CancelJob(conn.http, job))
            Orphans().push_back(job);
    }
    if (d.painter.isActive() && d.printer)
        d.printer->abort();
    if (d.painter.isActive())
        d.painter.end();
}

bool CPrintJob::Open(const QString& printerName) {
    RunPrintStepHook(PrintStep::Open);
    PrintJobData& d = *m_d;
    d.queue = CCupsQueue::Open(printerName, &d.spoolerMessage);
    if (!d.queue)
        return false;
    CancelOrphans();
    if (d.queue->IsStopped() || !d.queue->PageProblem().isEmpty())
        return false;
    if (d.Raster())
        return true;
    // Through Qt PrintSupport: QPrinter starts from its own defaults; the printer's are set
    // one by one.
    const std::optional<PrinterPage> page = OpenPrinter(printerName);
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (!page || info.isNull())
        return false;
    d.qtPage = *page;
    d.printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!d.printer->isValid())
        return false;
    d.printer->setResolution(page->m_nDpiX);
    d.printer->setPageOrientation(QPageLayout::Portrait);
    const QPageSize paper = info.defaultPageSize();
    if (paper.isValid())
        d.printer->setPageSize(paper);
    d.printer->setFullPage(true);
    d.printer->setCopyCount(1);
    return true;
}

bool CPrintJob::IsStopped() const {
    return m_d->queue && m_d->queue->IsStopped();
}

QString CPrintJob::StopReason() const {
    return m_d->queue ? m_d->queue->StopReason() : QString();
}

QString CPrintJob::PageProblem() const {
    const CCupsQueue* queue = m_d->queue.get();
    return queue && !queue->PageProblem().isEmpty()
               ? BadPageMessage(queue->Name(), queue->PageProblem())
               : QString();
}

bool CPrintJob::StartDoc(const QString& docName) {
    RunPrintStepHook(PrintStep::CreateJob);
    PrintJobData& d = *m_d;
    d.docName = docName;
    if (!d.queue)
        return false;
    if (d.Raster()) {
        d.conn = std::make_unique<HttpConnection>();
        if (!d.conn->http)
            return d.Fail();
        d.jobId = CreateJob(d.conn->http, d.queue->Name(), docName);
        return d.jobId > 0 || d.Fail();
    }
    // Qt hands the job over only at its end; a queue that takes no jobs is told here.
    if (!d.printer || !d.queue->IsAccepting())
        return false;
    d.printer->setDocName(docName);
    return d.painter.begin(d.printer.get());
}

bool CPrintJob::StartPage() {
    RunPrintStepHook(PrintStep::StartDocument);
    PrintJobData& d = *m_d;
    if (!d.Raster())
        return d.painter.isActive() && d.printer->printerState() != QPrinter::Error;
    if (d.jobId <= 0)
        return false;
    const bool pwg = d.queue->Format() == PageFormat::PwgRaster;
    if (cupsStartDocument(d.conn->http, d.queue->Name().toUtf8().constData(), d.jobId,
                          d.docName.toUtf8().constData(),
                          pwg ? "image/pwg-raster" : "application/vnd.cups-raster",
                          1) != HTTP_STATUS_CONTINUE)
        return d.Fail();
    d.raster = cupsRasterOpenIO(WriteToSpooler, &d,
                                pwg ? CUPS_RASTER_WRITE_PWG : CUPS_RASTER_WRITE_COMPRESSED);
    return d.raster || d.Fail();
}

QSize CPrintJob::PageSize() const {
    if (!m_d->queue)
        return QSize();
    if (m_d->Raster())
        return {m_d->queue->Page().m_nPageWidth, m_d->queue->Page().m_nPageHeight};
    return QSize(m_d->qtPage.m_nPageWidth, m_d->qtPage.m_nPageHeight);
}

bool CPrintJob::WritePage(const QImage& image) {
    RunPrintStepHook(PrintStep::WritePage);
    PrintJobData& d = *m_d;
    const QImage page = image.convertToFormat(QImage::Format_Grayscale8);
    if (!d.Raster()) {
        if (!d.painter.isActive())
            return false;
        const PrinterPage* figures = &d.qtPage;
        if (figures->m_nDpiX <= 0 || figures->m_nDpiY <= 0)
            return false;
        // With the full page the origin is the paper's corner: the image goes onto the
        // printable area, one image pixel per printer pixel.
        const double res = d.printer->resolution();
        d.painter.save();
        d.painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        d.painter.drawImage(
            QRectF(figures->m_dMarginLeftMM / 25.4 * res, figures->m_dMarginTopMM / 25.4 * res,
                   page.width() * res / figures->m_nDpiX, page.height() * res / figures->m_nDpiY),
            page);
        d.painter.restore();
        return d.printer->printerState() != QPrinter::Error;
    }
    if (!d.raster || page.size() != PageSize())
        return false;
    const bool pwg = d.queue->Format() == PageFormat::PwgRaster;
    CupsQueueData& q = d.queue->Data();
    cups_page_header2_t header = pwg ? q.pwgHeader : q.header;
    RasterLineFormat format;
    format.bitsPerColor = header.cupsBitsPerColor;
    format.colorSpace = static_cast<RasterColorSpace>(header.cupsColorSpace);
    format.bytesPerLine = header.cupsBytesPerLine;
    const int offsetX = pwg ? q.pwgOffsetX : 0;
    const int offsetY = pwg ? q.pwgOffsetY : 0;
    // The page lies whole on the sheet, or nothing is written: a page cut or shifted here
    // would not be the page that was read back.
    if (offsetX < 0 || offsetY < 0 || offsetX + page.width() > int(header.cupsWidth) ||
        offsetY + page.height() > int(header.cupsHeight))
        return false;
    if (!cupsRasterWriteHeader2(d.raster, &header))
        return d.Fail();
    std::vector<uchar> white(size_t(header.cupsWidth), 255);
    std::vector<uchar> grey(size_t(header.cupsWidth), 255);
    std::vector<uchar> line(header.cupsBytesPerLine);
    for (int y = 0; y < int(header.cupsHeight); ++y) {
        const int py = y - offsetY;
        const uchar* dots = white.data();
        if (py >= 0 && py < page.height()) {
            std::copy_n(page.constScanLine(py), page.width(), grey.begin() + offsetX);
            dots = grey.data();
        }
        PackRasterLine(dots, int(header.cupsWidth), format, line.data());
        if (cupsRasterWritePixels(d.raster, line.data(), header.cupsBytesPerLine) !=
            header.cupsBytesPerLine)
            return d.Fail();
    }
    return !d.writeFailed;
}

bool CPrintJob::EndPage() {
    RunPrintStepHook(PrintStep::EndPage);
    PrintJobData& d = *m_d;
    if (!d.Raster())
        return d.painter.isActive() && d.printer->printerState() != QPrinter::Error;
    if (!d.raster)
        return false;
    cupsRasterClose(d.raster); // writes what the stream still holds
    d.raster = nullptr;
    return !d.writeFailed || d.Fail();
}

bool CPrintJob::EndDoc() {
    RunPrintStepHook(PrintStep::FinishDocument);
    PrintJobData& d = *m_d;
    if (!d.Raster()) {
        if (!d.painter.isActive() || !d.painter.end())
            return false;
        // Qt hands the finished job to CUPS without looking at the answer; the status of
        // the last request on this thread shows a refused job.
        return d.printer->printerState() != QPrinter::Error && cupsLastError() < 0x0100;
    }
    if (d.jobId <= 0 || d.raster)
        return false;
    const ipp_status_t status =
        cupsFinishDocument(d.conn->http, d.queue->Name().toUtf8().constData());
    if (int(status) >= 0x0100) // IPP successes are below 0x0100
        return d.Fail();
    d.finished = true;
    return true;
}

PageFormat CPrintJob::Format() const {
    return m_d->queue ? m_d->queue->Format() : PageFormat::None;
}

int CPrintJob::JobId() const {
    return m_d->jobId;
}

QString CPrintJob::SpoolerMessage() const {
    return m_d->spoolerMessage;
}

} // namespace platform
