// The CUPS side of a queue, shared by the queue query and the print job; included by the
// spooler code only, so no other file sees the CUPS headers.
#pragma once

#include "platform/cupsqueue.h"

// The PPD interface is the one CUPS offers for a driver's page header; it is marked
// deprecated in favour of IPP calls that do not describe raster pages.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>
#include <cups/raster.h>
#pragma GCC diagnostic pop

namespace platform {

// A connection of our own to the scheduler, with a time-out, so that a scheduler that
// hangs cannot hold the screen.
struct HttpConnection {
    http_t* http = nullptr;
    HttpConnection();
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;
};

struct CupsQueueData {
    QString name;
    bool stopped = false;
    QString stopReason;
    bool accepting = true;
    PageFormat format = PageFormat::None;
    PrinterPage page;
    QString pageProblem;
    cups_page_header2_t header{}; // for CUPS raster, and the page geometry of PWG raster
    cups_page_header2_t pwgHeader{};
    int pwgOffsetX = 0; // where the printable area starts on the PWG page, in dots
    int pwgOffsetY = 0;
};

// The text of the scheduler's last error on this thread.
QString LastSpoolerError();

} // namespace platform
