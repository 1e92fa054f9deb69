// Reading a drawn label back before it goes to the printer: the page must show something,
// and its barcode must read, as a scanner at the till would read it, as exactly the
// thirteen digits that were composed.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

// Where and what the renderer drew as the label's barcode.
struct DrawnBarcode {
    bool drawn = false;
    QString digits; // the thirteen digits, check digit included; empty when not twelve data digits
    QRect bounds;   // the bars and digits on the page, in page pixels
    int angle = 0;
    int module = 1;
};

// The operator's message when the page must not print; empty when it may. A page without a
// barcode element is only checked for being blank.
QString CheckLabelPage(const QImage& page, const DrawnBarcode& barcode);
