// The jobs that the test label queues store in their capture folders, what the driver wrote
// decoded back to dots, and reading a job's barcode back the way a scanner would (zbarimg
// on the dots, or on pdftoppm's picture of a PDF job).
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

namespace printcapture {

// The queue without a driver (jobs as PDF) and its folder.
QString Queue();
QString Folder();
// The driver queues: CUPS's sample Zebra ZPL, EPL2 and DYMO drivers, and the driverless
// IPP printer.
inline const char* const kZpl = "VarnetZPL";
inline const char* const kZpl300 = "VarnetZPL300";
inline const char* const kEpl = "VarnetEPL";
inline const char* const kDymo = "VarnetDymo";
inline const char* const kIpp = "VarnetIPP";
QString Folder(const QString& queue);

// The captured jobs of a queue, oldest first (job-<id>-<title>.pdf or .prn; the IPP
// printer's <id>-<title>.pwg).
QStringList Jobs();
QStringList Jobs(const QString& queue);
// Waits up to timeoutMs for a job that is not in before; its path, or empty.
QString WaitForNewJob(const QStringList& before, int timeoutMs = 60000);
QString WaitForNewJob(const QString& queue, const QStringList& before, int timeoutMs = 60000);
// What the queue's driver wrote for the job, as dots (0 black, 255 white); page is the
// printable page in dots, which EPL2 and DYMO data do not carry.
QImage JobDots(const QString& queue, const QString& path, const QSize& page, QString* error);
// The digits of the barcodes zbarimg finds on an image of dots.
QString ReadBarcode(const QImage& dots);
// The digits of the barcodes zbarimg finds on the job's page (one per line), or empty;
// size, when given, receives the size of the page image.
QString ReadBarcode(const QString& pdf, int dpi = 203, QSize* size = nullptr);

} // namespace printcapture
