// Printers of the spooler (CUPS here, through Qt PrintSupport): their names, the printable
// page of a printer's default settings, and printing one page image as a job.
#pragma once

#include "platform/printerpage.h"

#include <QString>
#include <QStringList>

#include <optional>

class QImage;

namespace platform {

QStringList PrinterNames();

// The printable page of the named printer for its default page size, imageable area and
// resolution, as the spooler reports them; nothing for an empty or unknown name, and nothing
// for a printer whose page cannot take a label (why then holds the operator's message).
std::optional<PrinterPage> OpenPrinter(const QString& name, QString* why = nullptr);

// What the spooler says of a printer now: whether it is there, and whether it takes no jobs
// (disabled, paused on an error) and why.
struct SpoolerState {
    bool exists = false;
    bool stopped = false;
    QString reason; // why it is stopped, or why it is not there
};
SpoolerState QuerySpoolerState(const QString& name);

// Makes QueryPrinterPage (and so the label renderer) ask the spooler.
void InstallSpoolerPrinters();

// Prints image (one printer pixel per image pixel) onto the printable area of one page, as
// one job named jobName, with the printer's default page size and resolution. On failure
// returns false and puts the reason into error.
bool PrintPageImage(const QString& printerName, const QImage& image, const QString& jobName,
                    QString* error = nullptr);

} // namespace platform
