// Turning a page bitmap (8-bit grey, one byte per printer dot) into the lines of a raster
// page for a printer: packed to 1 bit with one fixed threshold for a black-and-white
// printer, never dithered, so bars and text keep their edges; grey or colour bytes as drawn
// for a printer that takes them.
#pragma once

#include <QImage>

#include <cstdint>

namespace platform {

// A dot darker than this grey level prints black on a 1-bit printer.
constexpr int kBlackThreshold = 128;

// The colour spaces a page can be sent in (the values of the CUPS raster format).
enum class RasterColorSpace : unsigned {
    Gray = 0, // white is the highest value
    Rgb = 1,
    Black = 3,  // black is the highest value
    SGray = 18, // as Gray
    SRgb = 19,  // as Rgb
};

struct RasterLineFormat {
    unsigned bitsPerColor = 1;
    RasterColorSpace colorSpace = RasterColorSpace::Black;
    unsigned bytesPerLine = 0;
};

// Whether lines of this format can be made (1 or 8 bits, grey or black; 8 bits RGB).
bool IsSupportedRasterFormat(const RasterLineFormat& format, int width);

// One raster line from the grey dots of a page line; the dots beyond width are white.
void PackRasterLine(const uchar* grey, int width, const RasterLineFormat& format, uchar* out);

// The page as a 1-bit printer prints it: every dot black or white by the threshold.
QImage ToMonochrome(const QImage& grey);

} // namespace platform
