// A CUPS queue as the print path needs it: whether it exists, whether it is stopped and
// why, the page of its default settings, and the form in which a page reaches it dot for
// dot (CUPS raster for a driver queue, PWG raster for a driverless one, else none).
#pragma once

#include "platform/printerpage.h"

#include <QString>

#include <memory>

namespace platform {

enum class PageFormat {
    None,       // the queue takes no raster: the page goes through Qt PrintSupport
    CupsRaster, // application/vnd.cups-raster for the queue's driver
    PwgRaster,  // image/pwg-raster for a driverless printer
};

struct CupsQueueData;

class CCupsQueue {
public:
    ~CCupsQueue();
    CCupsQueue(const CCupsQueue&) = delete;
    CCupsQueue& operator=(const CCupsQueue&) = delete;

    // Asks the scheduler about the queue; nothing when the scheduler does not answer or has
    // no queue of that name (why then says so, in the spooler's words).
    static std::unique_ptr<CCupsQueue> Open(const QString& name, QString* why = nullptr);

    const QString& Name() const;
    // Disabled, or paused on a printer error: jobs would wait and print late.
    bool IsStopped() const;
    // The scheduler's reason for a stopped queue, for the operator.
    QString StopReason() const;
    bool IsAccepting() const;
    PageFormat Format() const;
    // The printable page of the default settings; m_nPageWidth is 0 when unknown.
    const PrinterPage& Page() const;
    // What is wrong with the page the queue's driver describes (a printable area off the
    // sheet, a size or resolution no label printer has), in the operator's words; empty
    // when a label fits on it. Such a queue gets no page and no job.
    QString PageProblem() const;

    CupsQueueData& Data() { return *m_d; }

private:
    CCupsQueue();
    std::unique_ptr<CupsQueueData> m_d;
};

} // namespace platform
