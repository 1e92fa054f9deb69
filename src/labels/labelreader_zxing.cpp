// The read-back through ZXing-C++, where the build has it, confirmed by the program's own
// reader.
#include "labels/ean13reader.h"
#include "labels/labelcheck.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

namespace {

QString ReadWithZxing(const QImage& area) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::EAN13);
    hints.setTryRotate(false);
    hints.setTryDownscale(false);
    hints.setBinarizer(ZXing::Binarizer::FixedThreshold);
    const ZXing::ImageView view(area.constBits(), area.width(), area.height(),
                                ZXing::ImageFormat::Lum, int(area.bytesPerLine()));
    const ZXing::Result r = ZXing::ReadBarcode(view, hints);
    return r.isValid() ? QString::fromStdString(r.text()) : QString();
}

// ZXing-C++ settles a digit whose runs lie about as close to two codes by the first code in
// its table, and so reads some symbols whose bars grew or shrank in print as another valid
// number. The program's own reader refuses such a digit: a reading counts only when both
// readers give the same thirteen digits.
QString ReadConfirmed(const QImage& area) {
    const QString digits = ReadWithZxing(area);
    return !digits.isEmpty() && ean13::ReadSymbol(area) == digits ? digits : QString();
}

} // namespace

BarcodeAreaReader DefaultBarcodeAreaReader() {
    return ReadConfirmed;
}
