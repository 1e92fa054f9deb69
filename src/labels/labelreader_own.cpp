// The read-back through the program's own EAN-13 reader, where the build has no ZXing-C++.
#include "labels/ean13reader.h"
#include "labels/labelcheck.h"

BarcodeAreaReader DefaultBarcodeAreaReader() {
    return ean13::ReadSymbol;
}
