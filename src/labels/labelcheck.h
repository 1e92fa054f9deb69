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

// Reads the EAN-13 symbol of an area of the page whose bars stand upright: the thirteen
// digits, or empty when none reads.
using BarcodeAreaReader = QString (*)(const QImage& area);
// The reader the read-back uses: ZXing-C++ confirmed by the program's own reader
// (ean13::ReadSymbol) where the build has ZXing-C++, the program's own reader where it has not.
BarcodeAreaReader DefaultBarcodeAreaReader();
// Puts another reader in place and returns the one it replaces; tests read the same pages
// with both readers.
BarcodeAreaReader SetBarcodeAreaReader(BarcodeAreaReader reader);

// The operator's message when the page must not print; empty when it may. A page without a
// barcode element is only checked for being blank.
QString CheckLabelPage(const QImage& page, const DrawnBarcode& barcode);
