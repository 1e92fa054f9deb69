// The jobs that the test label queue stores in its capture folder, and reading a job's
// barcode back the way a scanner would: pdftoppm at the printer's resolution, then zbarimg.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace printcapture {

QString Queue();
QString Folder();
// The captured jobs, oldest first (file names job-<id>-<title>.pdf).
QStringList Jobs();
// Waits up to timeoutMs for a job that is not in before; its path, or empty.
QString WaitForNewJob(const QStringList& before, int timeoutMs = 60000);
// The digits of the barcodes zbarimg finds on the job's page (one per line), or empty;
// size, when given, receives the size of the page image.
QString ReadBarcode(const QString& pdf, int dpi = 203, QSize* size = nullptr);

} // namespace printcapture
