// The texts of the main screen's state strip: the scale's state, the printer's state and the
// last label, each one line (the label two) with the colour it is shown in. Plain logic that
// tests drive without a window; the screen only shows what comes out.
#pragma once

#include "scales/scalestate.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QString>

// The spooler's word on the configured printer.
struct PrinterStatus {
    enum Kind {
        Unknown,      // not asked yet
        NoPrinter,    // no printer in the settings
        Ready,        // the queue takes jobs and prints them
        Stopped,      // disabled, or paused on a printer error: reason says why
        NotInstalled, // no queue of that name, or no scheduler answering: reason says which
    };
    Kind kind = Unknown;
    QString reason;

    bool operator==(const PrinterStatus& o) const { return kind == o.kind && reason == o.reason; }
    bool operator!=(const PrinterStatus& o) const { return !(*this == o); }
};

// The last label the screen tried: printed (with what it carried), or refused and why.
struct LastLabel {
    enum Kind { None, Printed, Refused };
    Kind kind = None;
    QDateTime moment;
    QString name;
    bool weighed = true;
    double quantity = 0.0;
    QString sum;     // as the screen shows money
    QString barcode; // the thirteen digits
    QString reason;  // why it was refused
    int copies = 1;  // identical labels of one press
    // The page as it went to the spooler, dot for dot (the one read back); null when refused.
    QImage page;
};

struct StripLine {
    QString text;
    bool bFault = false; // shown in the colour of a fault

    QColor Colour() const;
};

// scaleConfigured false: no scale in the settings. portName names the port ("COM1
// (/dev/ttyUSB0)").
StripLine ScaleStateLine(bool scaleConfigured, ScaleState state, const QString& portName);
StripLine PrinterStateLine(const QString& printerName, const PrinterStatus& status);
StripLine LastLabelLine(const LastLabel& label);
