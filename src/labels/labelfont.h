// Fonts of label elements: a stored LOGFONTW becomes a QFont at the printer's resolution.
#pragma once

#include "labels/winrecords.h"

#include <QFont>

namespace labels {

// The logical resolution of the screen on which layout fonts are chosen; fixed, so a label
// prints the same whatever the monitor of the workstation.
constexpr int kScreenDpi = 96;

// Taller than an A4 page at 600 dpi: no text on a label is larger, and damaged layouts
// cannot ask the rasteriser for absurd glyphs.
constexpr int kMaxFontPixels = 8000;

// A font height picked on the screen, converted through points to printer pixels; the sign
// (character height or cell height) is kept.
int PrinterFontHeight(int lfHeight, int screenDpi, int printerDpiY);

// The QFont for a record whose lfHeight is already in device pixels: a negative height is
// the character height, a positive one the cell height (ascent plus descent). Weight,
// italic, underline, strike-out and quality are honoured; the width and the escapement are
// left to the caller, which scales and rotates the painter.
QFont FontFromLogFont(const LOGFONTW& lf, int deviceDpiY);

// The average character width of font in pixels, as Windows reports it for a TrueType font
// such as Arial: the weighted average of the advances of the lower-case letters and the
// space, with the weights of English letter frequencies. Fonts here often declare a plain
// average of all their glyphs instead (Liberation Sans 1187/2048 em against Arial's 904),
// which would make every stored width come out narrower than on Windows.
qreal AverageCharWidth(const QFont& font);

// The horizontal scale that gives font the average character width lfWidth; 1 for 0. A
// painter scale rather than a font stretch: the rasteriser then draws very wide text as
// outlines instead of caching giant glyph bitmaps.
qreal WidthScale(const LOGFONTW& lf, const QFont& font);

} // namespace labels
