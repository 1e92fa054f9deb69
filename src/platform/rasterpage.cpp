#include "platform/rasterpage.h"

#include <cstring>

namespace platform {

namespace {
bool IsWhiteHigh(RasterColorSpace cs) {
    return cs == RasterColorSpace::Gray || cs == RasterColorSpace::SGray ||
           cs == RasterColorSpace::Rgb || cs == RasterColorSpace::SRgb;
}
bool IsRgb(RasterColorSpace cs) {
    return cs == RasterColorSpace::Rgb || cs == RasterColorSpace::SRgb;
}
} // namespace

bool IsSupportedRasterFormat(const RasterLineFormat& f, int width) {
    const bool grey = f.colorSpace == RasterColorSpace::Gray ||
                      f.colorSpace == RasterColorSpace::SGray ||
                      f.colorSpace == RasterColorSpace::Black;
    if (width <= 0)
        return false;
    if (grey && f.bitsPerColor == 1)
        return f.bytesPerLine >= unsigned((width + 7) / 8);
    if (grey && f.bitsPerColor == 8)
        return f.bytesPerLine >= unsigned(width);
    if (IsRgb(f.colorSpace) && f.bitsPerColor == 8)
        return f.bytesPerLine >= unsigned(width) * 3;
    return false;
}

void PackRasterLine(const uchar* grey, int width, const RasterLineFormat& f, uchar* out) {
    const bool whiteHigh = IsWhiteHigh(f.colorSpace);
    if (f.bitsPerColor == 1) {
        // A set bit is a black dot in the black colour space and a white one otherwise.
        std::memset(out, whiteHigh ? 0xFF : 0x00, f.bytesPerLine);
        for (int x = 0; x < width; ++x) {
            const bool black = grey[x] < kBlackThreshold;
            if (black != whiteHigh)
                out[x >> 3] |= uchar(0x80u >> (x & 7));
            else
                out[x >> 3] &= uchar(~(0x80u >> (x & 7)));
        }
        return;
    }
    std::memset(out, whiteHigh ? 0xFF : 0x00, f.bytesPerLine);
    if (IsRgb(f.colorSpace)) {
        for (int x = 0; x < width; ++x)
            std::memset(out + 3 * x, grey[x], 3);
        return;
    }
    for (int x = 0; x < width; ++x)
        out[x] = whiteHigh ? grey[x] : uchar(255 - grey[x]);
}

QImage ToMonochrome(const QImage& page) {
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    QImage mono(grey.size(), QImage::Format_Grayscale8);
    mono.setDotsPerMeterX(grey.dotsPerMeterX());
    mono.setDotsPerMeterY(grey.dotsPerMeterY());
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* out = mono.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            out[x] = in[x] < kBlackThreshold ? 0 : 255;
    }
    return mono;
}

} // namespace platform
