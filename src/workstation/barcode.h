// The twelve data digits of an item's EAN-13 barcode: product code and weight in grams or
// piece count, placed by the mask of the kind of sale.
#pragma once

#include "app/settings.h"

#include <QString>

#include <cstdint>

struct BarcodeResult {
    uint64_t value = 0; // the twelve digits as a number; 0 when error is set
    QString error;      // the operator's message when the barcode cannot be composed
};

// code: the product code's number; weighed: goods sold by weight (value in kilograms) or by
// the piece (value is the count). A negative value cannot be carried by a barcode and is
// refused like a value too long for the mask.
BarcodeResult ComposeBarcode(const AppSettings& settings, uint64_t code, bool weighed,
                             double value);
