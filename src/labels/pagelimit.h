// The largest page a label is drawn on. A label printer's page is a few centimetres; a page
// of more dots than this is a mistyped size or a printer that reports nonsense, and its
// bitmap alone would take gigabytes before anything could be refused.
#pragma once

#include <QtGlobal>

namespace labels {

// 64 million dots: an A4 page at 600 dpi (35 million) still fits.
constexpr qint64 kMaxPageDots = 64LL * 1024 * 1024;
// QPainter's raster engine draws on sides up to this length.
constexpr int kMaxPageSide = 32767;

constexpr bool IsDrawablePage(int widthDots, int heightDots) {
    return widthDots > 0 && heightDots > 0 && widthDots <= kMaxPageSide &&
           heightDots <= kMaxPageSide && qint64(widthDots) * qint64(heightDots) <= kMaxPageDots;
}

} // namespace labels
