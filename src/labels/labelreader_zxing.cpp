// The read-back through ZXing-C++, where the build has it.
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

} // namespace

BarcodeAreaReader DefaultBarcodeAreaReader() {
    return ReadWithZxing;
}
