// The program's own reader of EAN-13 symbols on a page bitmap, for builds without ZXing-C++
// (Windows). It reads as a scanner at the till would: rows across the bars from the middle
// outwards, each in both directions, dark below a fixed grey level, guards with their quiet
// zones, digits by the closest module pattern, the check digit; a symbol counts only when
// two rows agree.
#pragma once

#include <QImage>
#include <QString>

namespace ean13 {

// The thirteen digits of the EAN-13 symbol whose bars stand upright in the image (8-bit
// grey); empty when none reads.
QString ReadSymbol(const QImage& image);

} // namespace ean13
