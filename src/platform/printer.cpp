#include "platform/printer.h"

#include "platform/cupsqueue.h"
#include "platform/printjob.h"

#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// A printer without a PPD: what Qt reports, printable to the edges, at the finest
// resolution it supports.
std::optional<PrinterPage> QtDefaults(const QString& name) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull())
        return std::nullopt;
    const QPageSize paper = info.defaultPageSize();
    if (!paper.isValid())
        return std::nullopt;
    const QList<int> resolutions = info.supportedResolutions();
    const int dpi =
        resolutions.isEmpty() ? 300 : *std::max_element(resolutions.begin(), resolutions.end());
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    return PageFromSize(mm.width(), mm.height(), dpi, dpi);
}

} // namespace

QStringList PrinterNames() {
    return QPrinterInfo::availablePrinterNames();
}

std::optional<PrinterPage> OpenPrinter(const QString& name, QString* why) {
    if (name.isEmpty())
        return std::nullopt;
    const std::unique_ptr<CCupsQueue> queue = CCupsQueue::Open(name);
    if (!queue)
        return std::nullopt;
    if (!queue->PageProblem().isEmpty()) {
        if (why)
            *why = BadPageMessage(name, queue->PageProblem());
        return std::nullopt;
    }
    // A queue with a PPD: the page header of its driver for the default settings.
    if (queue->Page().m_nPageWidth > 0)
        return queue->Page();
    return QtDefaults(name);
}

SpoolerState QuerySpoolerState(const QString& name) {
    SpoolerState state;
    const std::unique_ptr<CCupsQueue> queue = CCupsQueue::Open(name, &state.reason);
    if (!queue)
        return state;
    state.exists = true;
    state.stopped = queue->IsStopped();
    state.reason = state.stopped ? queue->StopReason() : QString();
    return state;
}

void InstallSpoolerPrinters() {
    SetPrinterPageQuery([](const QString& name, QString* why) { return OpenPrinter(name, why); });
}

} // namespace platform
